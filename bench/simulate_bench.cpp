// Simulating whole games headless, as tolvane-replay verify does: no pixel work, silent
// sound. Reports simulated frames per second.
#include <benchmark/benchmark.h>

#include <memory>

#include "media/dtools.h"
#include "session/harness.h"

namespace {

// A restless player: sweeps the screen, taps for the speed boost and bombs now and then.
void fillWanderingInput(tolvane::World& w) {
    for (int t = 0; t <= tolvane::kLastReplayIndex; ++t) {
        int phase = (t / 45) % 8;
        static const int dirs[8] = {1, 8, 2, 4, 1 | 8, 2 | 4, 2 | 8, 1 | 4};
        int b = dirs[phase];
        if (t % 700 == 350) b |= 16;
        w.replayInput[t] = static_cast<tolvane::u8>(b);
    }
}

void BM_VerifyWholeGame(benchmark::State& state) {
    media::setDrawBackend(media::DrawBackend::Null);
    long frames = 0;
    for (auto _ : state) {
        tolvane::Session game;
        fillWanderingInput(game.world());
        game.preparePlayback();
        game.begin();
        frames += game.runToEnd(1000000) + 1;
        benchmark::DoNotOptimize(game.world().score);
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VerifyWholeGame)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

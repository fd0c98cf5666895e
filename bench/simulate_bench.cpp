// Simulating whole games headless, as tolvane-replay verify does: no pixel work, silent
// sound. Reports simulated frames per second; and a rival's frame beside a game.
#include <benchmark/benchmark.h>

#include <memory>

#include "media/dtools.h"
#include "session/harness.h"
#include "session/race.h"

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

// What a rival costs the window per frame: its world stepped one frame, silent and
// unseen, over the whole of a golden game that reaches the last boss. The time per
// iteration is the time per frame (the goal: under 0.1 ms).
void BM_RivalFrame(benchmark::State& state) {
    media::setDrawBackend(media::DrawBackend::Offscreen);
    const std::string file = std::string(TOLVANE_TEST_DATA) + "/autoplay.rep";
    auto rival = std::make_unique<tolvane::RivalRun>();
    std::string why;
    if (!rival->load(file, &why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    rival->begin();
    for (auto _ : state) {
        if (rival->ended()) {
            state.PauseTiming();
            rival = std::make_unique<tolvane::RivalRun>();
            rival->load(file, &why);
            rival->begin();
            state.ResumeTiming();
        }
        rival->step();
        benchmark::DoNotOptimize(rival->score());
    }
    media::setDrawBackend(media::DrawBackend::Null);
}
BENCHMARK(BM_RivalFrame)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(24401)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

// Composing a frame into surface 0 with the real sheets: a busy frame of the size the
// game can produce (clear, 150 star streaks, 2000 keyed 16x16 sprites, the time text).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "media/dtools.h"
#include "presentation/presentation.h"
#include "records/records.h"
#include "session/harness.h"

namespace {

void loadSheets() {
    media::setDrawBackend(media::DrawBackend::Offscreen);
    DTInit(1, nullptr);
    tolvane::createSpriteSheets();
}

void BM_ComposeBusyFrame(benchmark::State& state) {
    loadSheets();
    tolvane::TextPass text{};
    int frame = 0;
    for (auto _ : state) {
        DTClear(0, 0, 0);
        tolvane::beginText(text, 0);
        tolvane::selectFont(text, "2", 20, 0, 4, 0, 0, 0);
        tolvane::setTextColors(text, 16777215, 0, 0);
        tolvane::drawText(text, tolvane::timeText(10800 - frame % 10800), 280, 32);
        tolvane::endText(text);
        for (int s = 0; s < 150; ++s)
            DTBitBlt(0, (s * 37) % 640, (s * 53 + frame) % 480 - 240, 1, 240, 8, 0, 240, 1);
        for (int k = 0; k < 2000; ++k) {
            int heading = (k * 7 + frame) % 360;
            DTBitBlt(0, (k * 13) % 656 - 8, (k * 29) % 496 - 8, 16, 16, 2, (heading % 40) * 16,
                     96 + heading / 40 * 16, 0);
        }
        ++frame;
        benchmark::ClobberMemory();
    }
    DTEnd();
    media::setDrawBackend(media::DrawBackend::Null);
}
BENCHMARK(BM_ComposeBusyFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

namespace {

// The busiest frame of a whole game (the last boss, over 1400 objects): the game is
// played up to it without pixels, then that one frame is simulated and composed again
// and again from the same starting state.
void BM_BusiestGameFrame(benchmark::State& state) {
    tolvane::Session game, trial;
    const tolvane::World& w = game.world();
    std::string why;
    media::setDrawBackend(media::DrawBackend::Null);
    if (!game.startPlayback(TOLVANE_TEST_DATA "/autoplay.rep", &why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    while (game.nextFrame() < 23396) game.frame();
    loadSheets();
    int live = 0;
    for (int i = 0; i < tolvane::kObjectSlots; ++i) live += w.objKind[i] != 0;
    for (auto _ : state) {
        std::memcpy(static_cast<void*>(&trial.world()), &w, sizeof(tolvane::World));
        trial.frame();
        benchmark::ClobberMemory();
    }
    state.counters["objects"] = live;
    DTEnd();
    media::setDrawBackend(media::DrawBackend::Null);
}
BENCHMARK(BM_BusiestGameFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

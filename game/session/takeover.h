// Taking over a playback: from the frame shown on, the game is played live by the
// player, its first bytes the original's. A take-over can be started again from its
// frame (retry), rewound by re-simulating from the start the bytes played so far, and
// practised section by section (a miss rewinds, a section starts over). It ranks
// nothing and writes no NewReplay.rep: its own replay is takeover-<run>-f<F>-<time>.rep.
//
// Frames: "taken over at frame F" is the world after frame index F (frames 0..F are
// the original's, frameCounter F + 1); the first live frame has index F + 1.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "session/harness.h"
#include "session/race.h"
#include "session/world_state.h"

namespace tolvane {

// How far the Rewind key goes back, and a miss with [practice] on_miss = rewind.
constexpr long kRewindFrames = 300;
constexpr long kMissRewindFrames = 180;
// How many frames a section's gain stays on show.
constexpr long kSectionLineFrames = 300;

// What a practice does on a miss and at a section's end ([practice] in the settings).
struct PracticeChoice {
    bool rewindOnMiss = false;
    bool loopSection = false;
};

// The run id of a replay file's bytes (the verdict's); the game library cannot reach it itself.
using RunIdOf = std::function<std::string(std::string_view replayBytes)>;

class TakeOver {
  public:
    // `game` is a playback whose replay buffer holds the original's input as loaded
    // (begun or not). The original is played once now, unseen and silent, for its end
    // frame, its score after every frame and its split points.
    TakeOver(Session& game, PracticeChoice choice, RunIdOf runIdOf);
    ~TakeOver();
    TakeOver(const TakeOver&) = delete;
    TakeOver& operator=(const TakeOver&) = delete;

    long originalEnd() const { return originalEnd_; }
    i32 originalScore() const;
    // The original's score after frame `frame` (its last for frames past its end).
    i32 originalScoreAfter(long frame) const;

    bool active() const { return firstFrame_ >= 0; }
    // The earliest frame taken over in this game: the bytes up to it are the original's.
    long firstFrame() const { return firstFrame_; }
    // The frame whose world is shown (the last one run).
    long shownFrame() const;

    // Takes over at the frame shown. False, changing nothing, when the game is not a
    // playback or no frame of the original's is shown.
    bool takeOverShown();
    // The world after `frame` (0 .. the original's end), played again from the start of
    // the game with the bytes played so far, unseen and silent, the last frame drawn; then
    // live from frame + 1. The song of that moment starts again.
    void restartAt(long frame);
    void retry() { restartAt(firstFrame_); }
    void rewind(long frames);

    // After every frame run while active: notes the frame, applies the practice choice
    // and writes the replay when the game has just ended. The seconds of countdown the
    // window is to show before the next frame (0: none).
    int afterFrame();

    // The gain of the last section that ended, against the original's over the same frames.
    struct Section {
        long from = -1, to = -1; // the worlds after these frames
        long long gain = 0, originalGain = 0;
    };
    const Section& lastSection() const { return section_; }

    // The lines the window shows: the countdown's, the section's while it is fresh, the
    // results' once the game has ended (with the write failure, if any).
    std::string countdownLine() const;
    std::vector<std::string> notes() const;
    // Draws them into the back buffer of the picture about to be shown (the countdown's
    // line only while `countingDown`), on black, in the font of the game's text.
    void drawLines(bool countingDown);

    // The replay of the take-over: the original's bytes up to firstFrame, then the player's.
    std::string fileBytes() const;
    // takeover-<first 12 hex of the original's run id>-f<firstFrame>-<YYYYMMDD-HHMMSS>.rep, local time.
    std::string fileName(std::time_t when);
    // The original's run id, found (by playing it once more) when first asked for.
    const std::string& runId();
    // Writes it into the records folder (whole or not at all); a failure sets
    // recordNotSaved. Once per attempt: again only after a restart.
    bool save(std::time_t when);
    bool saved() const { return saved_; }
    // The name last written ("" for none).
    const std::string& savedName() const { return savedName_; }

  private:
    void goLive(long frame);
    void noteFrame();
    bool bossPresent() const;

    Session& game_;
    PracticeChoice choice_;
    RunIdOf runIdOf_;
    std::string runId_;
    std::vector<u8> original_;       // the original's replay buffer as loaded
    std::vector<i32> originalScore_; // after each frame 0..originalEnd_
    long originalEnd_ = -1;
    std::vector<SplitPoint> points_;
    long firstFrame_ = -1;
    std::vector<i32> played_;  // the take-over's score after each frame
    std::vector<long> starts_; // the frames its sections started after
    bool bossBefore_ = false;
    bool endedBefore_ = false;
    long endFrame_ = -1; // the frame the take-over's game ended in
    Section section_;
    long sectionLineLeft_ = 0; // frames the section's line stays on show
    bool saved_ = false;
    std::string savedName_;
    HFONT font_ = 0; // made at the first line drawn and kept
};

} // namespace tolvane

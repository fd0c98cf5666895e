// A race against a rival: the rival's run played back in a world of its own, one frame
// beside each of the player's, silent and unseen, and what the window shows of it (the
// ghost of its ship, the score gap, the splits, the results line). Nothing here writes
// the player's world; the player's game and replay are the same with or without a rival.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "session/harness.h"
#include "session/world_state.h"

namespace tolvane {

// A moment a race is measured at: a stage start (its banner) or a boss entry, in the
// frame of the stage script that brings it.
struct SplitPoint {
    enum Kind { Stage, Boss };
    long frame = 0;
    Kind kind = Stage;
    int number = 0; // stage 2 and 3; boss 1, 2, 3
    // "stage 2", "boss 1": the tool's words, never translated.
    std::string name() const;
    // As the window shows it, in the player's language.
    std::string shownName() const;
};

// The split points of the stage script of a game that has begun, in frame order. The
// first stage starts with the game itself and is left out.
std::vector<SplitPoint> splitPoints(const World& w);

// A figure with thousands separators: "12,345", "-12,345".
std::string groupedFigure(long long value);
// A score difference as the window writes it: "+12,345", "−12,345" (U+2212), "±0".
std::string signedFigure(long long value);

// A text as TextOutA takes it: ASCII as it is, anything else in CP932 (as drawText does).
std::string textBytes(const std::string& utf8);
// One line of such bytes on black in `colour`, as drawText with setTextColors(colour, 0, 0)
// draws it: the readouts drawn into the back buffer after a frame.
void drawLine(HDC dc, COLORREF colour, const std::string& bytes, int x, int y);

// While one lives, the frames played are a game beside the one on show: nothing drawn
// or heard, not even logged; composing as it was before.
struct UnseenFrames {
    UnseenFrames();
    ~UnseenFrames();
    UnseenFrames(const UnseenFrames&) = delete;
    UnseenFrames& operator=(const UnseenFrames&) = delete;
};

// A span of frames in which one game lost against another: frames from..to-1, by how much.
struct Loss {
    long from, to;
    long long by;
};
// The `count` spans of `span` frames that do not overlap in which the gap (after each
// frame; 0 before the first) fell most, largest first; only spans in which it fell.
std::vector<Loss> worstSpans(const std::vector<long long>& gap, long span, int count);

// A game played back headless beside another: its frames run with the drawing and the
// sound off (not even logged), so that it neither shows nor sounds nor disturbs the
// other game's picture. It stops at its own end.
class RivalRun {
  public:
    RivalRun();
    // Loads the replay (refused with the loader's message, naming the file) and plays a
    // copy of it to its end for the final score.
    bool load(const std::string& path, std::string* why);
    // The new game; then one frame per step until it has ended.
    void begin();
    void step();

    const World& world() const { return game_->world(); }
    bool ended() const { return game_->ended(); }
    i32 score() const { return game_->world().score; }
    i32 finalScore() const { return finalScore_; }

  private:
    std::unique_ptr<Session> game_;
    i32 finalScore_ = 0;
};

struct RaceLook {
    int ghostPercent = 45; // the ghost's opacity
    bool splits = true;
};

// The race the window and `tolvane-replay render` show: the rival stepped after every
// frame of the player's, the ghost drawn under the player's ship, and the gap, the
// splits and the results line drawn into the back buffer of every composed frame.
class Race {
  public:
    Race(Session& player, RaceLook look);
    ~Race();
    Race(const Race&) = delete;
    Race& operator=(const Race&) = delete;

    bool load(const std::string& rivalPath, std::string* why);
    // After the player's game has begun.
    void begin();
    // After each of the player's frames, composed or not.
    void afterFrame();

    void toggleGhost() { ghostShown_ = !ghostShown_; }
    bool ghostShown() const { return ghostShown_; }
    // The player's score less the rival's, after the last frame run.
    long long gap() const;
    const RivalRun& rival() const { return rival_; }

    // The split shown now, if any ("" for none), and the whole line as drawn.
    struct Split {
        std::string line;
        long long gap = 0, change = 0;
        long until = -1; // the last frame it shows in
    };
    const Split& split() const { return split_; }

  private:
    static void drawGhost(const void* self);
    void drawReadouts();
    // The readouts as TextOutA takes them (CP932 bytes), made again only when they change.
    struct Shown {
        long long value = 0;
        bool made = false;
        std::string bytes;
    };
    const std::string& gapText(long long value);

    Session& player_;
    RaceLook look_;
    RivalRun rival_;
    UnderShipLayer layer_;
    bool ghostShown_ = true;
    std::vector<SplitPoint> points_;
    std::size_t nextPoint_ = 0;
    long long lastSplitGap_ = 0;
    Split split_;
    HFONT font_ = 0; // the readouts' font, made at the first readout drawn and kept
    Shown gapShown_, wholeShown_;
    std::string splitBytes_;
};

// How many frames a split stays.
constexpr long kSplitFrames = 240;

} // namespace tolvane

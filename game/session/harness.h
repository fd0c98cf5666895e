// One game from its start to its end, run the same way by the window, the headless
// tool, the autoplay player, the benchmarks and the tests: the world, the joystick
// module and the text pass, a start in live play or in playback, and one frame at a
// time. It touches no window, clock or sound of its own; whoever runs it sets up the
// media first and presents the frames.
#pragma once

#include <memory>
#include <string>

#include "presentation/presentation.h"
#include "session/session.h"
#include "session/world_state.h"

namespace tolvane {

class Session {
  public:
    Session();

    // Live play: the joystick is probed and the input read once, so that keys already
    // held when the game starts do not count as newly pressed in its first frame.
    void prepareLive();
    // Playback of a replay file named by an argument string (see loadReplay). False,
    // with the reason, when the file cannot be used; nothing changes then.
    bool preparePlayback(const std::string& commandLine, std::string* why);
    // Playback of whatever input is already in the replay buffer.
    void preparePlayback();

    // The stage script (left empty when `withScript` is false, so only the time-out
    // ends the game) and a new game.
    void begin(bool withScript = true);

    // Playback of a file from its start, headless: prepare, running, begin.
    bool startPlayback(const std::string& commandLine, std::string* why);

    // Steps 1 to 17 of one frame. True when the end-of-game object was spawned in it.
    bool frame();
    // Frames until the game ends, at most `limit`. The index of the frame in which it
    // ended, or -1 when it had not ended.
    long runToEnd(long limit);

    bool ended() const { return world_->gameEnded != 0; }
    // The index of the next frame to run (frameCounter during it).
    long nextFrame() const { return world_->frameCounter; }

    // A display-only companion drawn under the ship of every composed frame; null for none.
    void setUnderShipLayer(const UnderShipLayer* layer) { layer_ = layer; }

    World& world() { return *world_; }
    const World& world() const { return *world_; }
    Joystick& joystick() { return joy_; }

  private:
    std::unique_ptr<World> world_;
    Joystick joy_{};
    TextPass text_{};
    const UnderShipLayer* layer_ = nullptr;
};

} // namespace tolvane

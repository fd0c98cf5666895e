// One game, started live or in playback and run frame by frame.
#include "session/harness.h"

#include "media/dtools.h"
#include "records/records.h"

namespace tolvane {

Session::Session() : world_(std::make_unique<World>()) {}

void Session::prepareLive() {
    world_->replayMode = 0;
    probeJoystick(joy_);
    readInput(*world_, joy_);
}

bool Session::preparePlayback(const std::string& commandLine, std::string* why) {
    if (!loadReplay(*world_, commandLine, why)) return false;
    world_->replayMode = 1;
    return true;
}

void Session::preparePlayback() { world_->replayMode = 1; }

void Session::begin(bool withScript) {
    if (withScript) buildStageScript(*world_);
    newGame(*world_);
}

bool Session::startPlayback(const std::string& commandLine, std::string* why) {
    if (!preparePlayback(commandLine, why)) return false;
    world_->running = 1;
    begin();
    return true;
}

bool Session::frame() {
    const bool endedBefore = ended();
    // A frame that is not presented is not composed either.
    media::setComposing(world_->frameSkip == 0);
    runFrame(*world_, joy_, text_, layer_);
    return !endedBefore && ended();
}

long Session::runToEnd(long limit) {
    for (long f = 0; f < limit; ++f) {
        const long index = nextFrame();
        if (frame()) return index;
    }
    return -1;
}

} // namespace tolvane

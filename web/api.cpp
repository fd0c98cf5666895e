// Everything the page and the Node runner call, in one C interface: open a replay from
// its bytes, run frames, read the trace line, the picture and the sounds of a frame.
// JavaScript calls nothing else.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <string>

#include "media/dtools.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "records/records.h"
#include "session/harness.h"
#include "session/trace.h"
#include "web/media_web.h"

using namespace tolvane;

namespace {

std::unique_ptr<Session> game;
std::string text;    // the last string handed out
long lastFrame = -1; // index of the frame run last
bool picturesReady = false;
bool pictures = false; // the page wants pictures at all

} // namespace

extern "C" {

// Opens a replay from the bytes of its file and starts its playback at frame 0.
// 0 when it cannot be used; tv_text() then says why.
EMSCRIPTEN_KEEPALIVE int tv_open(const unsigned char* bytes, int size, int wantPictures) {
    auto next = std::make_unique<Session>();
    if (!bytes || size < 0 ||
        !loadReplayBytes(next->world(), std::string_view(reinterpret_cast<const char*>(bytes), size), &text))
        return 0;
    pictures = wantPictures != 0;
    web::setPictures(pictures);
    DTInit(1, nullptr);
    if (pictures && !picturesReady) {
        createSpriteSheets();
        picturesReady = true;
    }
    media::setSoundLogging(true);
    next->preparePlayback();
    next->world().running = 1;
    next->begin();
    game = std::move(next);
    lastFrame = -1;
    return 1;
}

// Runs one frame. `shown`: whether it is presented (composed and drawn); a frame not
// shown costs the simulation only. 1 when the game ended in this frame.
EMSCRIPTEN_KEEPALIVE int tv_frame(int shown) {
    if (!game) return 0;
    media::soundLog().clear(); // the calls of this frame only
    lastFrame = game->nextFrame();
    // Pixel work only for a frame that is shown: the page decides, as the window's
    // playback speeds do, which frames it shows.
    web::setPictures(pictures && shown);
    const bool ended = game->frame();
    if (pictures && shown) DTUpdate(0);
    return ended ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int tv_ended() { return game && game->ended() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int tv_next_frame() { return game ? static_cast<int>(game->nextFrame()) : 0; }
EMSCRIPTEN_KEEPALIVE int tv_score() { return game ? game->world().score : 0; }

// The trace line of the frame run last, as tolvane-replay trace prints it.
EMSCRIPTEN_KEEPALIVE const char* tv_trace(int objects, int sounds) {
    text =
        game ? traceLine(game->world(), lastFrame, objects != 0, sounds ? &media::soundLog() : nullptr) : "";
    return text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* tv_text() { return text.c_str(); }

// The input byte the game reads in frame `frame` (0 past the recorded frames).
EMSCRIPTEN_KEEPALIVE int tv_input(int frame) {
    if (!game || frame < 0 || frame >= kReplaySlots) return 0;
    return game->world().replayInput[frame];
}

// The number of sound calls of the frame run last; 0 when there were none, so the page
// asks for them (tv_sounds) only when there are some.
EMSCRIPTEN_KEEPALIVE int tv_sound_count() { return static_cast<int>(media::soundLog().size()); }

// The sound calls of the frame run last, as the "sounds" list of a trace line.
EMSCRIPTEN_KEEPALIVE const char* tv_sounds() {
    if (!game) return "[]";
    text = traceLine(game->world(), lastFrame, false, &media::soundLog());
    const std::size_t at = text.find("\"sounds\": ");
    text = at == std::string::npos ? "[]" : text.substr(at + 10, text.size() - at - 11);
    return text.c_str();
}

// The picture of the last shown frame: 640 x 480 R, G, B, A bytes.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* tv_picture() { return web::shownRgba(); }

} // extern "C"

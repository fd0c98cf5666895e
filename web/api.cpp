// Everything the page and the Node runner call, in one C interface: open a replay from
// its bytes, run frames, read the trace line, the picture and the sounds of a frame;
// race a rival beside it; two runs' scores compared as tolvane-replay compare does.
// JavaScript calls nothing else.
#include <emscripten/emscripten.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "media/dtools.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "records/records.h"
#include "session/harness.h"
#include "session/race.h"
#include "session/trace.h"
#include "web/compare.h"
#include "web/media_web.h"

using namespace tolvane;

namespace {

std::unique_ptr<Session> game;
std::unique_ptr<Race> race; // the rival beside `game`, when one was handed in
bool rivalSet = false;
std::string text;    // the last string handed out
long lastFrame = -1; // index of the frame run last
bool picturesReady = false;
bool pictures = false; // the page wants pictures at all

// The race's loader reads a file: the rival's bytes go into the module's in-memory
// file system under this name, and nowhere else.
constexpr const char* kRivalFile = "/rival.rep";

bool writeFile(const char* path, std::string_view bytes) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Games played headless for tv_compare: slot 0 the run, slot 1 its rival.
std::array<web::PlayedGame, 2> played;

} // namespace

extern "C" {

// The rival that the games opened from now on race against: the bytes of its replay
// file, or none (null). 0 when they cannot be used; tv_text() then says why, and no
// rival is set. Takes effect at the next tv_open.
EMSCRIPTEN_KEEPALIVE int tv_rival(const unsigned char* bytes, int size) {
    rivalSet = false;
    if (!bytes) return 1;
    if (size < 0) {
        text = "no replay";
        return 0;
    }
    const std::string_view file(reinterpret_cast<const char*>(bytes), size);
    Session probe;
    if (!loadReplayBytes(probe.world(), file, &text)) return 0;
    if (!writeFile(kRivalFile, file)) {
        text = "the rival's replay cannot be kept";
        return 0;
    }
    rivalSet = true;
    return 1;
}

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
    race.reset(); // it draws into the game it was made for
    game = std::move(next);
    lastFrame = -1;
    if (rivalSet) {
        // As tolvane-replay render --rival: the game's own look of a race.
        race = std::make_unique<Race>(*game, RaceLook{});
        std::string why;
        if (!race->load(kRivalFile, &why)) {
            race.reset(); // checked by tv_rival; the game plays on without it
            rivalSet = false;
        } else {
            race->begin();
        }
    }
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
    if (race) race->afterFrame();
    if (pictures && shown) DTUpdate(0);
    return ended ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int tv_ended() { return game && game->ended() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int tv_next_frame() { return game ? static_cast<int>(game->nextFrame()) : 0; }
EMSCRIPTEN_KEEPALIVE int tv_score() { return game ? game->world().score : 0; }
// Whether the game opened last races a rival, and the rival's score after the last frame.
EMSCRIPTEN_KEEPALIVE int tv_racing() { return race ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int tv_rival_score() { return race ? race->rival().score() : 0; }

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

// Plays a replay headless to its end into slot 0 (the run) or 1 (its rival), beside
// whatever is open, which it neither draws into nor sounds in. 0 when the bytes cannot
// be used or the game does not end; tv_text() then says why.
EMSCRIPTEN_KEEPALIVE int tv_play(int slot, const unsigned char* bytes, int size) {
    if (slot < 0 || slot > 1 || !bytes || size < 0) {
        text = "no replay";
        return 0;
    }
    played[slot] = {};
    return web::playHeadless(std::string_view(reinterpret_cast<const char*>(bytes), size), played[slot],
                             &text)
               ? 1
               : 0;
}

// Slot 0 against slot 1 as JSON: {"every": 60, "a": [...], "b": [...], "splits": [...],
// "lost": [...], "endA", "endB"} (web/compare.h); {"error": ...} when a slot is empty.
EMSCRIPTEN_KEEPALIVE const char* tv_compare() {
    text = web::compareJson(played[0], played[1]);
    return text.c_str();
}

// The picture of the last shown frame: 640 x 480 R, G, B, A bytes.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* tv_picture() { return web::shownRgba(); }

} // extern "C"

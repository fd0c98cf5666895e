// The sound library on the real mixer (SDL's dummy audio device, the installed
// soundfont): songs load on a thread of their own, and whatever the game asked for last
// is what plays; effects held during a jump sound nothing.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/stools.h"

namespace {

std::string song(const char* file) { return std::string(TOLVANE_SONGS_DIR) + "/" + file; }

// A RIFF WAVE file image: two seconds of a square wave, 16-bit mono.
std::vector<unsigned char> squareWave() {
    const std::uint32_t rate = 22050, samples = rate * 2, data = samples * 2;
    std::vector<unsigned char> b;
    b.reserve(44 + data);
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(t[i]));
    };
    tag("RIFF");
    put(36 + data, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2); // PCM
    put(1, 2); // mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(data, 4);
    for (std::uint32_t i = 0; i < samples; ++i) put(i / 50 % 2 ? 8000 : static_cast<std::uint16_t>(-8000), 2);
    return b;
}

class SdlSound : public ::testing::Test {
  protected:
    void SetUp() override {
        STInit(nullptr, 0);
        ASSERT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 1) << "no audio device, not even the dummy one";
    }
    void TearDown() override { media::soundShutdown(); }
};

TEST_F(SdlSound, HeldEffectsSoundNothing) {
    const std::vector<unsigned char> wave = squareWave();
    STReadBytes(2, wave.data(), wave.size(), 2);
    media::holdEffects(true);
    STPlay(2);
    EXPECT_EQ(Mix_Playing(-1), 0);
    media::holdEffects(false);
    STPlay(2);
    EXPECT_EQ(Mix_Playing(-1), 1);
}

TEST_F(SdlSound, APausedGameIsSilentAndGoesOnWhereItStopped) {
    const std::vector<unsigned char> wave = squareWave();
    STReadBytes(2, wave.data(), wave.size(), 2);
    STPlay(2);
    const bool songs = Mix_HasMusicDecoder("MIDI") == SDL_TRUE;
    if (songs) {
        MTReadFile(song("stage1.mid").c_str());
        MTPlay();
        media::waitForSongs();
    }
    media::pauseSound(true);
    EXPECT_EQ(Mix_Paused(-1), 1);
    EXPECT_EQ(Mix_PausedMusic(), songs ? 1 : 0);
    if (songs) {
        // A song changed while paused comes in paused.
        MTStop();
        MTReadFile(song("boss.mid").c_str());
        MTPlay();
        media::waitForSongs();
        EXPECT_EQ(media::songPlaying(), song("boss.mid"));
        EXPECT_EQ(Mix_PausedMusic(), 1);
    }
    media::pauseSound(false);
    EXPECT_EQ(Mix_Paused(-1), 0);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(Mix_PausedMusic(), 0);
}

TEST_F(SdlSound, TheLastSongAskedForIsTheOnePlaying) {
    if (Mix_HasMusicDecoder("MIDI") != SDL_TRUE) GTEST_SKIP() << "no MIDI synthesiser or soundfont";
    const std::string stage1 = song("stage1.mid"), boss = song("boss.mid");
    const auto read = [](const std::string& path) { return [path] { MTReadFile(path.c_str()); }; };
    const std::function<void()> play = MTPlay, stop = MTStop, settle = media::waitForSongs;
    const std::function<void()> midway = [] { SDL_Delay(5); }; // the loader is at work then, most likely
    const struct {
        const char* what;
        std::vector<std::function<void()>> calls;
        std::string playing;
    } cases[] = {
        {"read and play", {read(stage1), play}, stage1},
        {"a change before the first song has loaded", {read(stage1), play, read(boss), play}, boss},
        {"a change while it loads", {read(stage1), play, midway, read(boss), play}, boss},
        {"stopped while it loads", {read(stage1), play, midway, stop}, ""},
        {"a change after it has loaded", {read(stage1), play, settle, stop, read(boss), play}, boss},
        {"stopped before it has loaded", {read(stage1), play, stop}, ""},
        {"stopped while it plays", {read(stage1), play, settle, stop}, ""},
        {"read but not played", {read(stage1)}, ""},
        {"played after a stop, with nothing read since", {read(stage1), stop, play}, ""},
        {"a file that is not there", {read(song("missing.mid")), play}, ""},
        {"played again once loaded", {read(boss), settle, play, play}, boss},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& call : c.calls) call();
        media::waitForSongs();
        EXPECT_EQ(media::songPlaying(), c.playing);
        MTStop();
        media::waitForSongs();
        EXPECT_EQ(media::songPlaying(), "");
    }
}

} // namespace

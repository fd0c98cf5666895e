// The sound library on the real mixer (SDL's dummy audio device, the installed
// soundfont): songs load on a thread of their own, and whatever the game asked for last
// is what plays; effects held during a jump sound nothing.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <functional>
#include <string>
#include <vector>

#include "media/stools.h"
#include "resources/embedded.h"

namespace {

std::string song(const char* file) { return std::string(TOLVANE_SONGS_DIR) + "/" + file; }

// The game's own longest effect (the second level-up sound), as the game loads it.
void loadEffect(int slot) {
    const res::Blob wave = res::find("WAVE", 106);
    ASSERT_TRUE(wave) << "no embedded wave 106";
    STReadBytes(slot, wave.data, wave.size, 2);
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
    loadEffect(2);
    media::holdEffects(true);
    STPlay(2);
    EXPECT_EQ(Mix_Playing(-1), 0);
    media::holdEffects(false);
    STPlay(2);
    EXPECT_EQ(Mix_Playing(-1), 1);
}

TEST_F(SdlSound, AMutedThreadReachesNoDevice) {
    // What a muted thread asks for (the menu checking a replay) leaves the sound of
    // the others as it was: the effect loaded, no effect or song started.
    loadEffect(2);
    media::muteThisThread(true);
    STPlay(2);
    MTReadFile(song("stage1.mid").c_str());
    MTPlay();
    media::waitForSongs();
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_EQ(media::songPlaying(), "");
    media::muteThisThread(false);
    STPlay(2);
    EXPECT_EQ(Mix_Playing(-1), 1) << "the slot kept its effect";
}

TEST_F(SdlSound, APausedGameIsSilentAndGoesOnWhereItStopped) {
    loadEffect(2);
    const bool songs = Mix_HasMusicDecoder("MIDI") == SDL_TRUE;
    if (songs) {
        MTReadFile(song("stage1.mid").c_str());
        MTPlay();
        media::waitForSongs();
    }
    STPlay(2); // paused at once, so it is still sounding when the game goes on
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

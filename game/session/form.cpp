// The game window, Form1: start-up, the paced main loop, the window's events and
// shut-down. Window events run only between frames, after a presented frame.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <vector>

#include "language/language.h"
#include "media/dtools.h"
#include "media/platform.h"
#include "media/present.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "records/records.h"
#include "records/screenshot.h"
#include "session/harness.h"
#include "session/race.h"
#include "session/session.h"
#include "session/takeover.h"
#include "session/window.h"
#include "settings/settings.h"

namespace tolvane {

std::string rankMessage(i16 hiscoreRank, bool recordNotSaved) {
    // Ranks run from 1; a game quit before its end (even during start-up) has none.
    std::string text;
    if (hiscoreRank < 1) {
        text = _("今回のスコアはランク外です。");
    } else {
        // The rank stands where the text's %d is.
        const std::string format = _("今回のスコアは%d位に入りました。");
        const size_t at = format.find("%d");
        text = at == std::string::npos
                   ? format
                   : format.substr(0, at) + std::to_string(hiscoreRank) + format.substr(at + 2);
    }
    if (recordNotSaved) text += std::string("\n") + _("記録を保存できませんでした。");
    return text;
}

namespace {

// End runs at most this many frames; a game always ends long before.
constexpr long kMostFramesToResults = 1000000;

// The sound effects: slot, WAVE resource, voices.
// clang-format off
constexpr int kWaves[6][3] = {
    {kContactSound, 101, 3},      {kLevelUpSound, 102, 3},      {kMissSound, 103, 2},
    {kBombSound, 104, 2},         {kLaserWarningSound, 105, 2}, {kLevelUpSound2, 106, 2},
};
// clang-format on

// Frame timing for the pacing benchmark, kept only when TOLVANE_TIMING_LOG names a file:
// the start-up time, the start of every frame in microseconds, and the peak memory.
struct TimingLog {
    const char* path = std::getenv("TOLVANE_TIMING_LOG");
    long long firstPresentEpochUs = 0;
    std::vector<std::uint64_t> frameStarts;

    TimingLog() {
        if (path) frameStarts.reserve(200000);
    }
    void frame() {
        if (path && frameStarts.size() < frameStarts.capacity())
            frameStarts.push_back(platform::microseconds());
    }
    void presented() {
        if (!path || firstPresentEpochUs != 0) return;
        firstPresentEpochUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
    }
    void write() const {
        if (!path) return;
        std::ofstream out(path);
        out << "first_present_epoch_us " << firstPresentEpochUs << "\n";
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0) out << "peak_rss " << line.substr(6) << "\n";
        }
        for (std::uint64_t t : frameStarts) out << "frame " << t << "\n";
    }
};

// The virtual key that each action of the player's keys feeds: the keys the game and
// its window have always asked about.
// clang-format off
constexpr std::pair<settings::Action, int> kActionKeys[] = {
    {settings::Action::Up, VK_UP},               {settings::Action::Down, VK_DOWN},
    {settings::Action::Left, VK_LEFT},           {settings::Action::Right, VK_RIGHT},
    {settings::Action::Bomb, VK_Z},              {settings::Action::Pause, VK_P},
    {settings::Action::Fullscreen, VK_F11},      {settings::Action::Screenshot, VK_F12},
    {settings::Action::Quit, VK_ESCAPE},         {settings::Action::Faster, VK_F1},
    {settings::Action::Slower, VK_F2},           {settings::Action::Fastest, VK_F3},
    {settings::Action::ReplayPause, VK_SPACE},   {settings::Action::Step, VK_OEM_PERIOD},
    {settings::Action::Jump, VK_NEXT},           {settings::Action::Results, VK_END},
    {settings::Action::Panel, VK_H},             {settings::Action::Ghost, VK_G},
    {settings::Action::TakeOver, VK_T},          {settings::Action::Retry, VK_BACK},
    {settings::Action::Rewind, VK_R},
};
// clang-format on

struct Form1 {
    Session& game;
    const settings::Settings& chosen;
    Race* race = nullptr;           // a rival raced beside the game, or none
    TakeOver* takeOver = nullptr;   // in a playback: taking it over
    std::uint32_t countdownEnd = 0; // the clock time a take-over's countdown ends at (0: none)
    bool countdownShown = false;    // its fresh picture presented
    World& w = game.world();
    TimingLog timing{};
    HWND window = nullptr;
    bool unloaded = false;
    WindowControls controls{};
    bool soundPaused = false; // what the sound library was last told
    bool fullscreen = false;
    bool fullscreenToggled = false; // by the player, during this game

    // Shut-down. Any unload ends the loop before its next library call, however the
    // window was closed.
    void unload() {
        if (unloaded) return;
        unloaded = true;
        // A take-over quit before its end keeps what was played.
        const bool practice = takeOver && takeOver->active();
        if (practice && !takeOver->saved()) takeOver->save(std::time(nullptr));
        w.running = 0;
        DTEnd();
        MTStop();
        timeEndPeriod(1);
        platform::showForm(window, false);
        ShowCursor(true);
        // A game ended by SIGTERM or SIGINT (a logout, kill) leaves without a word.
        if (platform::terminationRequested()) return;
        if (practice) {
            // A take-over has no rank; its results line said the rest.
            if (w.recordNotSaved != 0 && !game.ended())
                platform::messageBox(_("記録を保存できませんでした。"), "Tolvane");
        } else if (w.replayMode == 0) {
            platform::messageBox(rankMessage(w.hiscoreRank, w.recordNotSaved != 0), "Tolvane");
        }
    }

    void keyDown(const platform::FormEvent& key) {
        if (key.keyCode == VK_ESCAPE) {
            w.running = 0;
            unload();
            return;
        }
        if (!windowKey(controls, w, key)) changePlaybackSpeed(w, key.keyCode);
    }

    void doEvents() {
        if (!unloaded && platform::terminationRequested()) { // ends the game as Esc does
            w.running = 0;
            unload();
        }
        platform::FormEvent e;
        while (!unloaded && platform::nextEvent(e)) {
            switch (e.type) {
            case platform::FormEvent::KeyDown: keyDown(e); break;
            case platform::FormEvent::MouseDown:
                w.running = 0;
                unload();
                break;
            case platform::FormEvent::Close: unload(); break;
            case platform::FormEvent::FocusLost: windowFocusLost(controls, w); break;
            case platform::FormEvent::Exposed: controls.repaint = true; break;
            case platform::FormEvent::PadStart: windowPadStart(controls); break;
            case platform::FormEvent::PadBack: windowPadBack(controls, w); break;
            case platform::FormEvent::None: break;
            }
        }
        if (!unloaded) windowRequests();
    }

    // One frame of the game, and the rival's beside it; in a take-over the practice's
    // rewinds and loops, each followed by a countdown.
    void stepFrame() {
        game.frame();
        if (race) race->afterFrame();
        if (takeOver && takeOver->active()) {
            if (const int seconds = takeOver->afterFrame(); seconds > 0) startCountdown(seconds);
        }
    }

    // The picture of the frame taken over stays while the countdown runs; the input held
    // at its end is the first live frame's.
    void startCountdown(int seconds) {
        countdownEnd = timeGetTime() + 1000u * static_cast<std::uint32_t>(seconds);
        if (countdownEnd == 0) countdownEnd = 1;
        countdownShown = false;
        setPaused(controls, false);
    }

    // Live from the frame shown, or from a frame played again: the live keys act, the
    // playback's no longer. A rival's run is left behind: its frames are the playback's.
    void goneLive(int seconds) {
        if (race) {
            race = nullptr;
            game.setUnderShipLayer(nullptr);
        }
        platform::bindKeys(keyBindings(chosen, false));
        startCountdown(seconds);
    }

    void holdCountdown() {
        const std::uint32_t now = timeGetTime();
        const bool over = static_cast<std::int32_t>(now - countdownEnd) >= 0;
        const int left = over ? 0 : static_cast<int>((countdownEnd - now + 999) / 1000);
        if (!countdownShown || left != controls.countdown) {
            controls.countdown = left;
            if (!countdownShown) {
                countdownShown = true;
                present();
            } else {
                controls.repaint = true;
            }
        }
        if (over) {
            countdownEnd = 0;
            controls.countdown = 0;
            controls.restartClock = true;
            controls.repaint = true;
            return;
        }
        holdPaused();
    }

    // Fullscreen, screenshots, the ghost and the take-over, asked for by the window's keys.
    void windowRequests() {
        const bool takeOverAsked = controls.takeOver, retryAsked = controls.retry,
                   rewindAsked = controls.rewind;
        controls.takeOver = controls.retry = controls.rewind = false;
        if (takeOver && takeOverAsked && takeOver->takeOverShown()) goneLive(3);
        if (takeOver && takeOver->active() && (retryAsked || rewindAsked)) {
            if (retryAsked)
                takeOver->retry();
            else
                takeOver->rewind(kRewindFrames);
            startCountdown(3);
        }
        if (controls.toggleGhost) {
            controls.toggleGhost = false;
            if (race) race->toggleGhost();
        }
        if (controls.toggleFullscreen) {
            controls.toggleFullscreen = false;
            platform::setFullscreen(window, !platform::isFullscreen(window));
            fullscreen = platform::isFullscreen(window);
            fullscreenToggled = true;
            controls.repaint = true;
        }
        if (controls.screenshot) {
            controls.screenshot = false;
            saveScreenshot();
        }
    }

    // Presents the frame just run, with the window layer over it.
    void present() {
        if (takeOver && takeOver->active() && media::drawing()) takeOver->drawLines(countdownEnd != 0);
        describeWindowLayer(controls, w);
        DTUpdate(0);
        controls.repaint = false;
        timing.presented();
    }

    // While paused no frame runs: the last picture stays (shown again whenever the
    // window needs it) and the window's events are handled.
    void holdPaused() {
        if (controls.repaint) {
            describeWindowLayer(controls, w);
            media::presentAgain();
            controls.repaint = false;
        }
        platform::sleepMs(10);
        doEvents();
    }

    // The playback's frame steps and jumps: every frame is run, flat out; only the
    // last is drawn and shown. False when none was asked for.
    bool runRequestedFrames() {
        if (controls.runAhead <= 0 && !controls.toResults) return false;
        long frames = controls.runAhead;
        if (controls.toResults) frames = game.ended() ? 0 : 1; // the results' first frame is shown
        const bool toResults = controls.toResults;
        controls.runAhead = 0;
        controls.toResults = false;
        if (frames == 0) return true;
        // Frames that are not shown are not composed (Session::frame): frameSkip says so.
        // Nor are their sound effects played, which would all sound at once.
        media::holdEffects(true);
        if (toResults) {
            for (long f = 0; !game.ended() && f < kMostFramesToResults; ++f) {
                w.frameSkip = 1;
                stepFrame();
            }
        }
        for (long f = 1; f < frames; ++f) {
            w.frameSkip = 1;
            stepFrame();
        }
        media::holdEffects(false);
        w.frameSkip = 0;
        stepFrame();
        controls.stepped = controls.paused;
        controls.restartClock = true;
        present();
        doEvents();
        return true;
    }

    void startUp() {
        ShowCursor(false);
        int desktopWidth = 0, desktopHeight = 0;
        const int scale = platform::desktopSize(&desktopWidth, &desktopHeight)
                              ? windowScale(chosen.window, desktopWidth, desktopHeight)
                              : std::max(1, chosen.window);
        window = platform::createForm("Tolvane", 640 * scale, 480 * scale);
        if (chosen.fullscreen) {
            platform::setFullscreen(window, true);
            fullscreen = platform::isFullscreen(window);
        }
        platform::showForm(window, true);
        if (w.replayMode == 0) game.prepareLive();
        DTInit(1, window);
        loadPaletteResource(101, 2);
        doEvents();
        if (unloaded) return; // quit already: nothing more is started, nothing touched
        DTSetMemoryMode(0);
        createSpriteSheets();
        DTClear(0, 0, 0);
        DTUpdate(0);
        DTClear(0, 0, 0);
        DTUpdate(0);
        STInit(window, 0);
        for (const auto& wave : kWaves) loadWaveResource(wave[0], wave[1], "WAVE", wave[2]);
        if (!unloaded) w.running = 1;
        timeBeginPeriod(1);
        game.begin();
        if (race) race->begin();
    }

    // Runs the frames, each when it is due, until the window is unloaded.
    void runMainLoop() {
        w.lastFrameTime = static_cast<i32>(timeGetTime());
        while (w.running != 0) {
            if (countdownEnd != 0) {
                holdCountdown();
                continue;
            }
            if (runRequestedFrames()) continue;
            if (controls.paused != soundPaused) {
                soundPaused = controls.paused;
                media::pauseSound(soundPaused);
            }
            if (controls.paused) {
                holdPaused();
                continue;
            }
            if (controls.restartClock) {
                controls.restartClock = false;
                w.lastFrameTime = static_cast<i32>(timeGetTime());
            }
            std::uint32_t now = 0;
            if (!waitForFrame(w, now)) return;
            w.lastFrameTime = static_cast<i32>(now);
            timing.frame();
            w.frameSkip = nextFrameSkip(w.frameSkip, w.playbackSpeed);
            stepFrame();
            if (w.frameSkip == 0) {
                present();
                doEvents();
            }
        }
    }
};

} // namespace

std::vector<platform::KeyBinding> keyBindings(const settings::Settings& chosen, bool playback) {
    std::vector<platform::KeyBinding> out;
    for (const auto& [action, virtualKey] : kActionKeys) {
        const settings::When when = settings::actionInfo(action).when;
        if (when == (playback ? settings::When::Live : settings::When::Playback)) continue;
        out.push_back({virtualKey, chosen.of(action)});
    }
    return out;
}

int windowScale(int chosen, int desktopWidth, int desktopHeight) {
    const int fits = std::min(desktopWidth / 640, desktopHeight / 480);
    if (chosen > 0) return std::max(1, std::min(chosen, fits));
    return std::max(1, std::min(desktopWidth * 3 / 4 / 640, desktopHeight * 3 / 4 / 480));
}

int runGame(const std::string& commandLine, const std::string& rival, long takeOverFrame,
            std::function<std::string(std::string_view)> runIdOf) {
    Session game; // every field of the world zero

    std::string why;
    if (!platform::open(&why)) {
        std::fprintf(stderr, "tolvane: %s\n", why.c_str());
        return 1;
    }
    // The player's keys, pad, loudness and window: none of it changes what a frame computes.
    const settings::Settings chosen = settings::loadAndWarn("tolvane");
    language::useChosen(settings::languageName(chosen.language));
    platform::bindKeys(keyBindings(chosen, !commandLine.empty()));
    platform::configurePad(chosen.padBomb, chosen.padPause, chosen.deadzone);
    media::setVolumes(chosen.effects, chosen.music);
    media::setWholeMultiples(chosen.scale == settings::Scale::Integer);
    // A save past the file-size limit (ulimit -f) then fails with EFBIG and takes the
    // "not saved" path, instead of the signal killing the game halfway through it.
    std::signal(SIGXFSZ, SIG_IGN);
    removeStaleTemporaries(recordsDirectory());
    // A replay is read before anything is drawn, so that a file that cannot be used
    // only costs a message.
    if (!commandLine.empty()) {
        if (!game.preparePlayback(commandLine, &why)) {
            platform::messageBox(why, "Tolvane");
            platform::close();
            return 2;
        }
    }
    // So is a rival's: its world is its own, and it is played once to its end now.
    std::unique_ptr<Race> race;
    if (!rival.empty()) {
        race = std::make_unique<Race>(game, RaceLook{chosen.ghost, chosen.splits});
        if (!race->load(rival, &why)) {
            platform::messageBox(why, "Tolvane");
            platform::close();
            return 2;
        }
    }
    // Any playback can be taken over; the original is played once now for its figures.
    std::unique_ptr<TakeOver> takeOver;
    if (!commandLine.empty()) {
        takeOver = std::make_unique<TakeOver>(game,
                                              PracticeChoice{chosen.onMiss == settings::PracticeMiss::Rewind,
                                                             chosen.loop == settings::PracticeLoop::Section},
                                              std::move(runIdOf));
        if (takeOverFrame > takeOver->originalEnd()) {
            std::fprintf(
                stderr,
                "tolvane: --take-over %ld: the frame must be from 0 to %ld, the frame the game ends in\n",
                takeOverFrame, takeOver->originalEnd());
            platform::close();
            return 2;
        }
    }
    media::setDrawBackend(media::DrawBackend::Window);

    Form1 form{game, chosen, race.get(), takeOver.get()};
    form.startUp();
    if (takeOver && takeOverFrame >= 0 && !form.unloaded) {
        takeOver->restartAt(takeOverFrame);
        form.goneLive(3);
    }
    form.runMainLoop();
    form.unload();
    // The next game starts as this one was left.
    if (form.fullscreenToggled && form.fullscreen != chosen.fullscreen) {
        settings::Settings left = chosen;
        left.fullscreen = form.fullscreen;
        if (!settings::save(settings::settingsFile(), settings::changes(chosen, left), &why))
            std::fprintf(stderr, "tolvane: the fullscreen setting was not saved: %s\n", why.c_str());
    }
    form.timing.write();
    media::soundShutdown();
    platform::close();
    return 0;
}

} // namespace tolvane

// What the message box takes as its answer, with events made by hand: only its own
// window's, never a repeat, never a key held since before it opened, and a click only
// when it both began and ended on OK.
#include <gtest/gtest.h>

#include <SDL.h>

#include <utility>
#include <vector>

#include "media/msgbox_input.h"

namespace {

constexpr Uint32 kBox = 7, kGame = 1;
const SDL_Rect kOk{100, 80, 88, 28}; // OK spans x 100..187, y 80..107

SDL_Event key(Uint32 type, SDL_Scancode sc, Uint32 window = kBox, bool repeat = false) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = window;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = sc;
    // The keys of the default layout (SDL has no keymap here: no video driver is open).
    const std::pair<SDL_Scancode, SDL_Keycode> layout[] = {{SDL_SCANCODE_RETURN, SDLK_RETURN},
                                                           {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER},
                                                           {SDL_SCANCODE_SPACE, SDLK_SPACE},
                                                           {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE},
                                                           {SDL_SCANCODE_Z, SDLK_z}};
    for (const auto& [code, sym] : layout) {
        if (code == sc) e.key.keysym.sym = sym;
    }
    return e;
}
SDL_Event down(SDL_Scancode sc, Uint32 window = kBox, bool repeat = false) {
    return key(SDL_KEYDOWN, sc, window, repeat);
}
SDL_Event up(SDL_Scancode sc, Uint32 window = kBox) { return key(SDL_KEYUP, sc, window); }
SDL_Event button(Uint32 type, int x, int y, Uint32 window = kBox, Uint8 which = SDL_BUTTON_LEFT) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = window;
    e.button.button = which;
    e.button.x = x;
    e.button.y = y;
    return e;
}
SDL_Event press(int x, int y, Uint32 window = kBox) { return button(SDL_MOUSEBUTTONDOWN, x, y, window); }
SDL_Event release(int x, int y, Uint32 window = kBox) { return button(SDL_MOUSEBUTTONUP, x, y, window); }
SDL_Event windowEvent(Uint8 what, Uint32 window) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = what;
    return e;
}
SDL_Event quit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return e;
}

} // namespace

TEST(MessageBoxInput, AnswersOnlyWhatWasMeantForIt) {
    struct Case {
        const char* what;
        std::vector<SDL_Scancode> heldAtOpen;
        std::vector<SDL_Event> events;
        int answeredBy; // index of the event that answers, -1 for none
    } cases[] = {
        {"Enter", {}, {down(SDL_SCANCODE_RETURN)}, 0},
        {"keypad Enter", {}, {down(SDL_SCANCODE_KP_ENTER)}, 0},
        {"Space", {}, {down(SDL_SCANCODE_SPACE)}, 0},
        {"Esc", {}, {down(SDL_SCANCODE_ESCAPE)}, 0},
        {"another key", {}, {down(SDL_SCANCODE_Z)}, -1},
        {"a key repeat", {}, {down(SDL_SCANCODE_ESCAPE, kBox, true)}, -1},
        {"a key of the game window", {}, {down(SDL_SCANCODE_RETURN, kGame)}, -1},
        {"Esc held since the game: its repeats, reported fresh after the focus moved",
         {SDL_SCANCODE_ESCAPE},
         {down(SDL_SCANCODE_ESCAPE), down(SDL_SCANCODE_ESCAPE, kBox, true), down(SDL_SCANCODE_ESCAPE)},
         -1},
        {"Esc held since the game, let go, pressed again",
         {SDL_SCANCODE_ESCAPE},
         {down(SDL_SCANCODE_ESCAPE), up(SDL_SCANCODE_ESCAPE), down(SDL_SCANCODE_ESCAPE)},
         2},
        {"a held key let go while the game window was told",
         {SDL_SCANCODE_RETURN},
         {up(SDL_SCANCODE_RETURN, kGame), down(SDL_SCANCODE_RETURN)},
         1},
        {"a held key does not stop another", {SDL_SCANCODE_ESCAPE}, {down(SDL_SCANCODE_RETURN)}, 0},
        {"a click on OK", {}, {press(120, 90), release(120, 90)}, 1},
        {"the release of the click that quit the game", {}, {release(120, 70, kGame)}, -1},
        {"a button held since before the box, let go over OK", {}, {release(120, 90)}, -1},
        {"a click of the game window at the same place",
         {},
         {press(120, 90, kGame), release(120, 90, kGame)},
         -1},
        {"a click begun beside OK", {}, {press(20, 20), release(120, 90)}, -1},
        {"a click begun on OK, let go beside it", {}, {press(120, 90), release(20, 20)}, -1},
        {"the right button on OK",
         {},
         {button(SDL_MOUSEBUTTONDOWN, 120, 90, kBox, SDL_BUTTON_RIGHT),
          button(SDL_MOUSEBUTTONUP, 120, 90, kBox, SDL_BUTTON_RIGHT)},
         -1},
        {"the window manager closes the box", {}, {windowEvent(SDL_WINDOWEVENT_CLOSE, kBox)}, 0},
        {"the game window's close and the quit queued behind it",
         {},
         {windowEvent(SDL_WINDOWEVENT_CLOSE, kGame), quit()},
         -1},
    };
    for (const Case& c : cases) {
        media::MessageBoxInput input(kBox, kOk);
        for (SDL_Scancode k : c.heldAtOpen) input.held(k);
        int answeredBy = -1;
        for (std::size_t i = 0; i < c.events.size() && answeredBy < 0; ++i) {
            if (input.answers(c.events[i])) answeredBy = static_cast<int>(i);
        }
        EXPECT_EQ(answeredBy, c.answeredBy) << c.what;
    }
}

TEST(MessageBoxInput, ForgetsHeldKeysTheServerSaysAreUp) {
    media::MessageBoxInput input(kBox, kOk);
    input.held(SDL_SCANCODE_ESCAPE);
    input.held(SDL_SCANCODE_RETURN);
    input.keepOnlyDown([](SDL_Scancode k) { return k == SDL_SCANCODE_ESCAPE; });
    EXPECT_TRUE(input.isHeld(SDL_SCANCODE_ESCAPE));
    EXPECT_FALSE(input.isHeld(SDL_SCANCODE_RETURN));
    EXPECT_FALSE(input.answers(down(SDL_SCANCODE_ESCAPE)));
    EXPECT_TRUE(input.answers(down(SDL_SCANCODE_RETURN)));
}

// A modal message box drawn with SDL and our own fonts: a small window with the text
// and an OK button, closed by Enter, Space, Esc, a click on OK or the window manager.
// SDL's own box on X11 draws with X core fonts, which have no Japanese glyphs.
#include "media/platform.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/fontmap.h"
#include "media/msgbox_input.h"
#include "media/window_icon_sdl.h"
#include "media/window_renderer.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/keysym.h>
#endif

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return lines;
}

SDL_Texture* renderText(SDL_Renderer* r, TTF_Font* font, const std::string& s, int* w, int* h) {
    SDL_Surface* surf = TTF_RenderUTF8_Blended(font, s.empty() ? " " : s.c_str(), SDL_Color{0, 0, 0, 255});
    if (!surf) return nullptr;
    *w = surf->w;
    *h = surf->h;
    SDL_Texture* t = SDL_CreateTextureFromSurface(r, surf);
    SDL_FreeSurface(surf);
    return t;
}

// The keys that answer the box.
constexpr SDL_Scancode kAnswerKeys[] = {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_SPACE,
                                        SDL_SCANCODE_ESCAPE};

// Which of the answer keys are down now, as the display server sees them, or false when
// it cannot tell. It matters on X11: SDL forgets its key state when the game window
// loses the keyboard, and the server's auto-repeat of a key still held then reaches the
// box as a fresh press. (A Wayland client makes its own repeats, only for presses it saw.)
bool answerKeysDown(SDL_Window* window, std::bitset<SDL_NUM_SCANCODES>& down) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) return false;
    Display* display = wm.info.x11.display;
    char keymap[32] = {};
    XQueryKeymap(display, keymap);
    const KeySym syms[] = {XK_Return, XK_KP_Enter, XK_space, XK_Escape};
    for (std::size_t i = 0; i < std::size(syms); ++i) {
        KeyCode code = XKeysymToKeycode(display, syms[i]);
        if (code != 0 && (keymap[code / 8] & (1 << (code % 8)))) down.set(kAnswerKeys[i]);
    }
    return true;
#else
    (void)window;
    (void)down;
    return false;
#endif
}

// Where the display server can tell, it has the last word on the answer keys.
void takeServerKeyState(SDL_Window* window, media::MessageBoxInput& input) {
    std::bitset<SDL_NUM_SCANCODES> down;
    if (!answerKeysDown(window, down)) return;
    auto answerKey = [](SDL_Scancode k) {
        return std::find(std::begin(kAnswerKeys), std::end(kAnswerKeys), k) != std::end(kAnswerKeys);
    };
    input.keepOnlyDown([&](SDL_Scancode k) { return !answerKey(k) || down.test(k); });
    for (SDL_Scancode k : kAnswerKeys) {
        if (down.test(k)) input.held(k);
    }
}

// The keys held as the box opens: what SDL knows, corrected by the display server.
void noteHeldKeys(SDL_Window* window, media::MessageBoxInput& input) {
    SDL_PumpEvents();
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (int k = 0; k < count && k < SDL_NUM_SCANCODES; ++k) {
        if (state[k]) input.held(static_cast<SDL_Scancode>(k));
    }
    takeServerKeyState(window, input);
}

} // namespace

namespace media {

void MessageBoxInput::keepOnlyDown(const std::function<bool(SDL_Scancode)>& down) {
    for (int k = 0; k < SDL_NUM_SCANCODES; ++k) {
        if (held_.test(k) && !down(static_cast<SDL_Scancode>(k))) held_.reset(k);
    }
}

bool MessageBoxInput::answers(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYUP:
        // A key let go counts as let go whichever window was told.
        if (e.key.keysym.scancode < SDL_NUM_SCANCODES) held_.reset(e.key.keysym.scancode);
        return false;
    case SDL_KEYDOWN: {
        if (e.key.windowID != window_ || e.key.repeat || isHeld(e.key.keysym.scancode)) return false;
        SDL_Keycode k = e.key.keysym.sym;
        return k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_SPACE || k == SDLK_ESCAPE;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (e.button.button != SDL_BUTTON_LEFT) return false;
        SDL_Point p{e.button.x, e.button.y};
        bool onOk = e.button.windowID == window_ && SDL_PointInRect(&p, &ok_);
        if (e.type == SDL_MOUSEBUTTONDOWN) {
            pressedOnOk_ = onOk;
            return false;
        }
        bool clicked = pressedOnOk_ && onOk;
        pressedOnOk_ = false;
        return clicked;
    }
    case SDL_WINDOWEVENT: return e.window.windowID == window_ && e.window.event == SDL_WINDOWEVENT_CLOSE;
    default:
        // SDL_QUIT among them: SDL queues one behind the close of the game window when
        // that is the last window; it was never meant for the box.
        return false;
    }
}

} // namespace media

namespace platform {

void messageBox(const std::string& text, const std::string& caption) {
    if (terminationRequested()) return;
    // What is still queued was meant for the game window: its last keys and clicks and,
    // after a close by the window manager, the quit that SDL queues behind the close.
    SDL_PumpEvents();
    SDL_FlushEvent(SDL_QUIT);
    SDL_FlushEvents(SDL_WINDOWEVENT, SDL_SYSWMEVENT);
    SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);

    bool ttfStarted = false;
    if (!TTF_WasInit()) {
        if (TTF_Init() != 0) return;
        ttfStarted = true;
    }
    common::FontMatch m = common::findFont("ＭＳ Ｐゴシック");
    TTF_Font* font = m.file.empty() ? nullptr : TTF_OpenFontIndex(m.file.c_str(), 16, m.index);
    if (!font) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if (ttfStarted) TTF_Quit();
        return;
    }
    std::vector<std::string> lines = splitLines(text);
    int textW = 0, lineH = TTF_FontLineSkip(font);
    for (const auto& l : lines) {
        int w = 0, h = 0;
        TTF_SizeUTF8(font, l.c_str(), &w, &h);
        textW = std::max(textW, w);
    }
    const int pad = 24, buttonW = 88, buttonH = 28;
    int winW = std::max(textW + 2 * pad, 240);
    int winH = pad + lineH * static_cast<int>(lines.size()) + 16 + buttonH + 16;
    // Shown once it has its renderer: on Wayland the GL renderer makes the window anew.
    SDL_Window* win = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, winW,
                                       winH, SDL_WINDOW_HIDDEN);
    if (win) platform::setFormIcon(win); // the game's icon in the title bar and the task list
    SDL_Renderer* r = win ? media::createWindowRenderer(win) : nullptr;
    if (!r) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if (win) std::fprintf(stderr, "(no message box: %s)\n", SDL_GetError());
    } else {
        SDL_ShowWindow(win);
        SDL_ShowCursor(SDL_ENABLE);
        SDL_RaiseWindow(win);
        std::vector<SDL_Texture*> textures;
        std::vector<SDL_Rect> places;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            int w = 0, h = 0;
            textures.push_back(renderText(r, font, lines[i], &w, &h));
            places.push_back({pad, pad + static_cast<int>(i) * lineH, w, h});
        }
        int okW = 0, okH = 0;
        SDL_Texture* ok = renderText(r, font, "OK", &okW, &okH);
        SDL_Rect button{(winW - buttonW) / 2, winH - 16 - buttonH, buttonW, buttonH};
        media::MessageBoxInput input(SDL_GetWindowID(win), button);
        noteHeldKeys(win, input);
        // Polled, not waited on: SDL's wait has other threads wake it through a message
        // to the window, and one still on its way when the box is gone is an X error
        // that ends the process.
        bool done = false;
        Uint32 drawn = 0;
        for (int frame = 0; !done && !terminationRequested(); ++frame) {
            if (frame == 0 || SDL_GetTicks() - drawn >= 100) {
                drawn = SDL_GetTicks();
                SDL_SetRenderDrawColor(r, 240, 240, 240, 255);
                SDL_RenderClear(r);
                for (std::size_t i = 0; i < textures.size(); ++i)
                    SDL_RenderCopy(r, textures[i], nullptr, &places[i]);
                SDL_SetRenderDrawColor(r, 225, 225, 225, 255);
                SDL_RenderFillRect(r, &button);
                SDL_SetRenderDrawColor(r, 0, 120, 215, 255);
                SDL_RenderDrawRect(r, &button);
                SDL_Rect okPlace{button.x + (buttonW - okW) / 2, button.y + (buttonH - okH) / 2, okW, okH};
                SDL_RenderCopy(r, ok, nullptr, &okPlace);
                SDL_RenderPresent(r);
            }
            SDL_Event e;
            while (!done && SDL_PollEvent(&e)) {
                if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED &&
                    e.window.windowID == SDL_GetWindowID(win)) {
                    takeServerKeyState(win, input); // a held key may have been let go meanwhile
                }
                done = input.answers(e);
            }
            if (!done) SDL_Delay(10);
        }
        for (SDL_Texture* t : textures) SDL_DestroyTexture(t);
        SDL_DestroyTexture(ok);
        SDL_DestroyRenderer(r);
    }
    if (win) SDL_DestroyWindow(win);
    TTF_CloseFont(font);
    if (ttfStarted) TTF_Quit();
}

} // namespace platform

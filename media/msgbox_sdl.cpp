// A modal message box drawn with SDL and our own fonts: a small window with the text
// and an OK button, closed by Enter, Space, Esc, a click on OK or the window manager.
// SDL's own box on X11 draws with X core fonts, which have no Japanese glyphs.
#include "media/platform.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/fontmap.h"

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

} // namespace

namespace platform {

void messageBox(const std::string& text, const std::string& caption) {
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
    SDL_Window* win = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, winW,
                                       winH, SDL_WINDOW_SHOWN);
    SDL_Renderer* r = win ? SDL_CreateRenderer(win, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    if (!r) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    } else {
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
        bool done = false;
        while (!done) {
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
            SDL_Event e;
            if (!SDL_WaitEventTimeout(&e, 100)) continue;
            if (e.type == SDL_QUIT) done = true;
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE &&
                e.window.windowID == SDL_GetWindowID(win))
                done = true;
            if (e.type == SDL_KEYDOWN) {
                SDL_Keycode k = e.key.keysym.sym;
                done = k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_SPACE || k == SDLK_ESCAPE;
            }
            if (e.type == SDL_MOUSEBUTTONUP) {
                SDL_Point p{e.button.x, e.button.y};
                done = SDL_PointInRect(&p, &button);
            }
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

// Glyph tables of the head-up display lettering.
#include "pixelfont.h"

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace art {

namespace {

struct Glyph {
    char c;
    std::array<const char*, kLetterHeight> rows;
};

const Glyph kLetters[] = {
    {'A', {".###.", "##.##", "##.##", "##.##", "#####", "#####", "##.##", "##.##", "##.##"}},
    {'B', {"####.", "##.##", "##.##", "####.", "####.", "##.##", "##.##", "##.##", "####."}},
    {'C', {".####", "##...", "##...", "##...", "##...", "##...", "##...", "##...", ".####"}},
    {'E', {"#####", "##...", "##...", "####.", "####.", "##...", "##...", "##...", "#####"}},
    {'G', {".####", "##...", "##...", "##...", "##.##", "##.##", "##.##", "##.##", ".####"}},
    {'H', {"##.##", "##.##", "##.##", "##.##", "#####", "##.##", "##.##", "##.##", "##.##"}},
    {'I', {"####", ".##.", ".##.", ".##.", ".##.", ".##.", ".##.", ".##.", "####"}},
    {'L', {"##...", "##...", "##...", "##...", "##...", "##...", "##...", "##...", "#####"}},
    {'M',
     {"##...##", "###.###", "#######", "##.#.##", "##...##", "##...##", "##...##", "##...##", "##...##"}},
    {'N', {"##..##", "###.##", "###.##", "######", "##.###", "##.###", "##..##", "##..##", "##..##"}},
    {'O', {".###.", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", ".###."}},
    {'P', {"####.", "##.##", "##.##", "##.##", "####.", "##...", "##...", "##...", "##..."}},
    {'R', {"####.", "##.##", "##.##", "##.##", "####.", "##.##", "##.##", "##.##", "##.##"}},
    {'S', {".####", "##...", "##...", "###..", ".###.", "..###", "...##", "...##", "####."}},
    {'T', {"######", "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##.."}},
    {'U', {"##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", ".###."}},
    {'V', {"##.##", "##.##", "##.##", "##.##", "##.##", "##.##", "##.##", ".###.", "..#.."}},
    {'X', {"##.##", "##.##", "##.##", ".###.", "..#..", ".###.", "##.##", "##.##", "##.##"}},
    {' ', {"...", "...", "...", "...", "...", "...", "...", "...", "..."}},
};

const std::array<std::array<const char*, kDigitHeight>, 10> kDigits = {{
    {".#####.", "#######", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##",
     "#######", ".#####."},
    {"...##..", "..###..", ".####..", "...##..", "...##..", "...##..", "...##..", "...##..", "...##..",
     ".######", ".######"},
    {".#####.", "#######", "##...##", ".....##", "....###", "..####.", ".###...", "###....", "##.....",
     "#######", "#######"},
    {".#####.", "#######", "##...##", ".....##", "..####.", "..####.", ".....##", ".....##", "##...##",
     "#######", ".#####."},
    {"....##.", "...###.", "..####.", ".##.##.", "##..##.", "##..##.", "#######", "#######", "....##.",
     "....##.", "....##."},
    {"#######", "#######", "##.....", "##.....", "######.", "#######", ".....##", ".....##", "##...##",
     "#######", ".#####."},
    {".#####.", "#######", "##...##", "##.....", "######.", "#######", "##...##", "##...##", "##...##",
     "#######", ".#####."},
    {"#######", "#######", "##...##", "....##.", "....##.", "...##..", "...##..", "..##...", "..##...",
     "..##...", "..##..."},
    {".#####.", "#######", "##...##", "##...##", ".#####.", "#######", "##...##", "##...##", "##...##",
     "#######", ".#####."},
    {".#####.", "#######", "##...##", "##...##", "##...##", "#######", ".######", ".....##", "##...##",
     "#######", ".#####."},
}};

const Glyph& glyph(char c) {
    for (const Glyph& g : kLetters)
        if (g.c == c) return g;
    throw std::runtime_error(std::string("no pixel glyph for ") + c);
}

// Ink mask of rows x cols drawn from rows of '#'; outlined and filled.
void drawMask(Canvas& canvas, int x, int y, const std::vector<std::string>& rows, const LetterStyle& style) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows[0].size());
    auto ink = [&](int cx, int cy) { return cx >= 0 && cy >= 0 && cx < w && cy < h && rows[cy][cx] == '#'; };
    for (int cy = -1; cy <= h; ++cy)
        for (int cx = -1; cx <= w; ++cx) {
            if (ink(cx, cy)) continue;
            bool near = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) near = near || ink(cx + dx, cy + dy);
            if (near) canvas.setPixel(x + cx, y + cy, style.outline);
        }
    for (int cy = 0; cy < h; ++cy) {
        const Rgb c = mix(style.top, style.bottom, h > 1 ? cy / double(h - 1) : 0.0);
        for (int cx = 0; cx < w; ++cx)
            if (ink(cx, cy)) canvas.setPixel(x + cx, y + cy, c);
    }
}

} // namespace

int letterWidth(char c) { return static_cast<int>(std::string_view(glyph(c).rows[0]).size()); }

std::string_view letterRows(char c, int row) { return glyph(c).rows[row]; }

int wordWidth(std::string_view word) {
    int w = 0;
    for (char c : word) w += letterWidth(c) + 1;
    return word.empty() ? 0 : w - 1;
}

void drawWord(Canvas& canvas, int x, int y, std::string_view word, const LetterStyle& style) {
    const int w = wordWidth(word);
    std::vector<std::string> rows(kLetterHeight, std::string(w, '.'));
    int cx = 0;
    for (char c : word) {
        const Glyph& g = glyph(c);
        for (int r = 0; r < kLetterHeight; ++r)
            rows[r].replace(cx, std::string_view(g.rows[r]).size(), g.rows[r]);
        cx += letterWidth(c) + 1;
    }
    drawMask(canvas, x, y, rows, style);
}

void drawDigit(Canvas& canvas, int x, int y, int digit, const LetterStyle& style) {
    std::vector<std::string> rows(kDigits.at(digit).begin(), kDigits.at(digit).end());
    drawMask(canvas, x, y, rows, style);
}

} // namespace art

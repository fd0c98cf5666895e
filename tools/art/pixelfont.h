// Hand-made pixel lettering for the head-up display: letters 9 pixels tall and
// digits 7x11, drawn with a dark outline so they read at their true size.
#pragma once
#include "image.h"

#include <string_view>

namespace art {

struct LetterStyle {
    Rgb top, bottom; // fill, shaded from the top row to the bottom row
    Rgb outline;
};

// Width in pixels of a word's ink without its outline (letters one pixel apart).
int wordWidth(std::string_view word);
// Draws a word with its top-left ink pixel at (x, y); the outline takes one more
// pixel on each side.
void drawWord(Canvas& canvas, int x, int y, std::string_view word, const LetterStyle& style);
// Draws one digit (7x11 ink) with its top-left ink pixel at (x, y).
void drawDigit(Canvas& canvas, int x, int y, int digit, const LetterStyle& style);
// A single glyph as rows of '#' and '.', for the title lettering of larger pictures.
std::string_view letterRows(char c, int row);
int letterWidth(char c);
constexpr int kLetterHeight = 9;
constexpr int kDigitWidth = 7, kDigitHeight = 11;

} // namespace art

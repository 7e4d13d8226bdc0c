#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skin/gifwriter.h"

// The pixel font of the price images our digit templates read: digits 7 x 11,
// the decimal point 2 x 2 at the foot, in one ink on white paper. The shop
// folder priceimg/newegg/ holds one template per digit plus pot.gif.

inline constexpr GifColor kDigitPaper{255, 255, 255};
inline constexpr GifColor kDigitInk{204, 0, 0};
// The colour key the shop rules name for that ink.
inline constexpr char kDigitInkKey[] = "204,0,0";

// Blank rows above and below the glyphs, and blank columns between them, in
// every price image; the templates keep the same rows so that they line up.
inline constexpr int kDigitMarginTop = 2;
inline constexpr int kDigitMarginBottom = 2;
inline constexpr int kDigitGap = 2;

// Rows of '#' (ink) and '.' (paper), top row first; empty for a character
// the font does not have.
using DigitGlyph = std::vector<std::string>;
const DigitGlyph& GlyphOf(char c);

// One bit per pixel (1 = ink), rows top-down.
struct DigitBitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bits;
};

// `text` in the font, glyphs bottom-aligned with kDigitGap blank columns
// between them and one blank column at either end; characters the font does
// not have are left out.
DigitBitmap DrawDigits(const std::string& text);
// The template of one character: its glyph from the first inked column, with
// the margins of DrawDigits above and below.
DigitBitmap DigitTemplate(char c);

// A bitmap as a two-colour GIF (paper, ink).
std::string DigitGif(const DigitBitmap& bitmap);

// The template files: "0.gif" .. "9.gif" and "pot.gif".
struct DigitTemplateFile {
  std::string name;
  char character;
};
std::vector<DigitTemplateFile> DigitTemplateFiles();

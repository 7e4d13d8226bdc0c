#include "skin/digits.h"

#include <algorithm>
#include <map>

namespace {

// Drawn so that no digit's template covers another digit, which the reader
// would otherwise take for the first one in file-name order. "8" keeps its
// waist bar in the middle row across columns 1 to 5 and "0" its open middle,
// so the reader's own 0/8 test agrees as well.
const std::map<char, DigitGlyph>& Font() {
  static const std::map<char, DigitGlyph> font = {
      {'0',
       {".#####.", "##...##", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#",
        "#.....#", "##...##", ".#####."}},
      {'1',
       {"...#...", "..##...", ".#.#...", "...#...", "...#...", "...#...", "...#...", "...#...",
        "...#...", "...#...", ".#####."}},
      {'2',
       {".#####.", "##...##", "......#", "......#", ".....##", "....##.", "...##..", "..##...",
        ".##....", "##.....", "#######"}},
      {'3',
       {"#######", ".....##", "....##.", "...##..", "..####.", ".....##", "......#", "......#",
        "......#", "##...##", ".#####."}},
      {'4',
       {".....#.", "....##.", "...#.#.", "..#..#.", ".#...#.", "#....#.", "#######", ".....#.",
        ".....#.", ".....#.", ".....#."}},
      {'5',
       {"#######", "#......", "#......", "#......", "######.", ".....##", "......#", "......#",
        "......#", "##...##", ".#####."}},
      {'6',
       {"..####.", ".##....", "##.....", "#......", "#.####.", "##...##", "#.....#", "#.....#",
        "#.....#", "##...##", ".#####."}},
      {'7',
       {"#######", "......#", ".....##", ".....#.", "....##.", "....#..", "...##..", "...#...",
        "...#...", "...#...", "...#..."}},
      {'8',
       {".#####.", "##...##", "#.....#", "#.....#", ".#...#.", ".#####.", "##...##", "#.....#",
        "#.....#", "##...##", ".#####."}},
      {'9',
       {".#####.", "##...##", "#.....#", "#.....#", "#.....#", "##...##", ".####.#", "......#",
        ".....##", "....##.", ".####.."}},
      {'.', {"..", "..", "..", "..", "..", "..", "..", "..", "..", "##", "##"}},
  };
  return font;
}

int FontHeight() { return static_cast<int>(Font().at('0').size()); }

void Blit(DigitBitmap& target, const DigitGlyph& glyph, int x0, int firstColumn) {
  int y0 = target.height - kDigitMarginBottom - static_cast<int>(glyph.size());
  for (size_t row = 0; row < glyph.size(); ++row) {
    for (size_t col = firstColumn; col < glyph[row].size(); ++col) {
      if (glyph[row][col] != '#') continue;
      int x = x0 + static_cast<int>(col) - firstColumn;
      target.bits[static_cast<size_t>(y0 + row) * target.width + x] = 1;
    }
  }
}

DigitBitmap Blank(int width) {
  DigitBitmap bitmap;
  bitmap.width = std::max(width, 1);
  bitmap.height = kDigitMarginTop + FontHeight() + kDigitMarginBottom;
  bitmap.bits.assign(static_cast<size_t>(bitmap.width) * bitmap.height, 0);
  return bitmap;
}

int FirstInkedColumn(const DigitGlyph& glyph) {
  int first = static_cast<int>(glyph[0].size());
  for (const std::string& row : glyph) {
    size_t ink = row.find('#');
    if (ink != std::string::npos) first = std::min(first, static_cast<int>(ink));
  }
  return first;
}

}  // namespace

const DigitGlyph& GlyphOf(char c) {
  static const DigitGlyph none;
  auto found = Font().find(c);
  return found == Font().end() ? none : found->second;
}

DigitBitmap DrawDigits(const std::string& text) {
  std::vector<const DigitGlyph*> glyphs;
  for (char c : text) {
    if (!GlyphOf(c).empty()) glyphs.push_back(&GlyphOf(c));
  }
  int width = 2;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    width += static_cast<int>((*glyphs[i])[0].size()) + (i ? kDigitGap : 0);
  }
  DigitBitmap bitmap = Blank(width);
  int x = 1;
  for (const DigitGlyph* glyph : glyphs) {
    Blit(bitmap, *glyph, x, 0);
    x += static_cast<int>((*glyph)[0].size()) + kDigitGap;
  }
  return bitmap;
}

DigitBitmap DigitTemplate(char c) {
  const DigitGlyph& glyph = GlyphOf(c);
  if (glyph.empty()) return Blank(1);
  int first = FirstInkedColumn(glyph);
  DigitBitmap bitmap = Blank(static_cast<int>(glyph[0].size()) - first);
  Blit(bitmap, glyph, 0, first);
  return bitmap;
}

std::string DigitGif(const DigitBitmap& bitmap) {
  GifPicture picture;
  picture.width = bitmap.width;
  picture.height = bitmap.height;
  picture.palette = {kDigitPaper, kDigitInk};
  picture.frames.push_back(GifFrame{bitmap.bits, 0});
  return EncodeGif(picture);
}

std::vector<DigitTemplateFile> DigitTemplateFiles() {
  std::vector<DigitTemplateFile> files;
  for (char c = '0'; c <= '9'; ++c) files.push_back({std::string(1, c) + ".gif", c});
  files.push_back({"pot.gif", '.'});
  return files;
}

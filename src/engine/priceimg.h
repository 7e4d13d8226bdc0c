#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/image.h"

// Reads a price that a shop publishes as a small image: cuts the image into
// glyphs at blank columns and compares each glyph with a folder of template
// images, one per digit, the decimal point and other signs.
// The link of a price image named by a shop's page, to be fetched: an http
// or https link as it is; "//host/..." with "http:"; "/path" on the shop's
// host (the first host of a Domain of several, "a.test|b.test"). Anything
// else, a local path above all, gives "": a page never names a file of the
// user's to read.
std::string PriceImageLink(const std::string& text, const std::string& domain);

class CPriceImg {
 public:
  // The text pixels of one picture, row 0 at the bottom.
  class TextMask {
   public:
    TextMask() = default;
    TextMask(const CImage& image, const std::set<std::string>& colors);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Pixels outside the picture are not text.
    bool At(int x, int y) const {
      return x >= 0 && y >= 0 && x < m_width && y < m_height && m_bits[Index(x, y)];
    }

   private:
    size_t Index(int x, int y) const { return static_cast<size_t>(y) * m_width + x; }
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_bits;
  };

  struct Template {
    std::string character;  // what a matching glyph stands for; may be empty
    TextMask mask;
  };

  static constexpr double kMatchThreshold = 0.91;

  // templateFolder: the program directory followed by the shop's template
  // path; imageType: "png", "jpg" or "gif" (other values let the content
  // decide); colors: colour keys "r,g,b" separated by "|".
  CPriceImg(const std::string& templateFolder, const std::string& imageType,
            const std::string& colors);

  // link: an http(s) link, which is downloaded, or a local file. `domain` is
  // the shop's Domain. Empty when the image cannot be loaded.
  std::string RecognizePrice(const std::string& link, const std::string& domain) const;
  // The same for an image already in memory.
  std::string RecognizeImageBytes(const std::string& bytes, const std::string& domain) const;
  std::string Recognize(const CImage& image, const std::string& domain) const;

  const std::set<std::string>& Colors() const { return m_colors; }
  const std::map<std::string, Template>& Templates() const { return m_templates; }
  ImageFormat Format() const { return m_format; }

  // The character a template file stands for.
  static std::string TemplateCharacter(const std::string& fileName, const std::string& imageType);
  static std::set<std::string> SplitColors(const std::string& colors);

 private:
  void LoadTemplates();
  std::string MatchGlyph(const TextMask& price, int start, int end, bool newegg) const;
  bool EightAlsoMatches(const TextMask& price, int start, int end) const;

  std::string m_folder;
  std::string m_type;
  ImageFormat m_format;
  std::set<std::string> m_colors;
  std::map<std::string, Template> m_templates;
};

// Whether a template laid on the glyph of columns start .. end matches it:
// more than kMatchThreshold of the template's text pixels there are text
// pixels of the price image too.
bool TemplateMatches(const CPriceImg::TextMask& tpl, const CPriceImg::TextMask& price, int start,
                     int end);

#include "skin/digits.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/hosts.h"
#include "engine/image.h"
#include "engine/priceimg.h"
#include "support/tempdir.h"

namespace {

class DigitTemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = m_home.File("priceimg/newegg/");
    MakeDirectories(m_folder);
    for (const DigitTemplateFile& t : DigitTemplateFiles()) {
      m_home.Write("priceimg/newegg/" + t.name, DigitGif(DigitTemplate(t.character)));
    }
  }
  std::string Read(const std::string& text, const std::string& domain) const {
    CPriceImg reader(m_folder, "gif", kDigitInkKey);
    return reader.RecognizeImageBytes(DigitGif(DrawDigits(text)), domain);
  }

  TempDir m_home{true};
  std::string m_folder;
};

TEST_F(DigitTemplatesTest, EveryTemplateLoadsAsAGif) {
  CPriceImg reader(m_folder, "gif", kDigitInkKey);
  ASSERT_EQ(reader.Templates().size(), 11u);
  for (const auto& [name, tpl] : reader.Templates()) {
    CImage image;
    EXPECT_TRUE(image.Load(m_folder + name, ImageFormat::kGif)) << name;
    EXPECT_EQ(image.Height(), DrawDigits("0").height) << name;
    EXPECT_GT(tpl.mask.Width(), 0) << name;
  }
  EXPECT_EQ(reader.Templates().at("pot.gif").character, ".");
  EXPECT_EQ(reader.Templates().at("7.gif").character, "7");
}

// Every pair of characters catches a template that also covers another
// digit, whichever comes first in the reader's order.
TEST_F(DigitTemplatesTest, PricesReadBackForEveryShop) {
  const std::string shops[] = {HostValue(kHostNewegg), "www.example-shop.com"};
  const std::string chars = "0123456789.";
  for (const std::string& shop : shops) {
    for (char a : chars) {
      for (char b : chars) {
        std::string text{a, b};
        EXPECT_EQ(Read(text, shop), text) << shop;
      }
    }
    for (std::string price : {"1299.00", "8080.88", "0.80", "46.57", "99999.99", "3"}) {
      EXPECT_EQ(Read(price, shop), price) << shop;
    }
  }
}

// The reader's own test for 0 and 8 looks at two pixels of the eighth row
// from the bottom; the font must put the 8's waist there and leave the 0
// open.
TEST_F(DigitTemplatesTest, EightHasItsWaistWhereTheReaderLooks) {
  for (char c : {'0', '8'}) {
    DigitBitmap b = DrawDigits(std::string(1, c));
    int row = b.height - 1 - 7;  // bitmap rows run top-down
    int start = 1;               // the glyph's first inked column
    bool waist = b.bits[row * b.width + start + 4] && b.bits[row * b.width + start + 5];
    EXPECT_EQ(waist, c == '8');
  }
}

TEST_F(DigitTemplatesTest, OtherInkReadsNothing) {
  CPriceImg reader(m_folder, "gif", "0,0,0");
  EXPECT_EQ(reader.RecognizeImageBytes(DigitGif(DrawDigits("12.5")), "www.example-shop.com"), "");
}

TEST(DigitFontTest, UnknownCharactersAreLeftOut) {
  DigitBitmap plain = DrawDigits("12");
  DigitBitmap mixed = DrawDigits("¥1a2");
  EXPECT_EQ(plain.width, mixed.width);
  EXPECT_EQ(plain.bits, mixed.bits);
  EXPECT_TRUE(GlyphOf('x').empty());
  EXPECT_FALSE(DigitGif(DrawDigits("")).empty());
}

}  // namespace

#include "engine/priceimg.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "support/drawn_images.h"
#include "support/tempdir.h"

namespace {

const char kInk[] = "204,0,0";
const char kNewegg[] = "www.newegg.com.cn";
const char kOtherShop[] = "www.example-shop.com";

std::string TemplateName(char c, const std::string& type) {
  return (c == '.' ? std::string("pot") : std::string(1, c)) + "." + type;
}

class PriceImgTest : public ::testing::Test {
 protected:
  // Templates of `chars` from the test font, under priceimg/<name>/.
  std::string WriteTemplates(const std::string& name, const std::string& type,
                             const std::string& chars = "0123456789.",
                             const TextStyle& style = {}) {
    std::string folder = Folder(name);
    for (char c : chars) {
      WriteImage(folder + TemplateName(c, type), DrawTemplate(TestFont().at(c), style), type);
    }
    return folder;
  }
  std::string Folder(const std::string& name) {
    std::string folder = m_home.File("priceimg/" + name + "/");
    MakeDirectories(folder);
    return folder;
  }
  std::string WritePrice(const DrawnImage& image, const std::string& type) {
    std::string path = m_home.File("price" + std::to_string(m_count++) + "." + type);
    WriteImage(path, image, type);
    return path;
  }
  std::string Read(const std::string& folder, const DrawnImage& image, const std::string& type,
                   const std::string& colors = kInk, const std::string& domain = kOtherShop) {
    return CPriceImg(folder, type, colors).RecognizePrice(WritePrice(image, type), domain);
  }

  TempDir m_home{true};
  int m_count = 0;
};

TEST_F(PriceImgTest, ReadsOneCharacterPerGlyph) {
  for (std::string type : {"png", "gif"}) {
    std::string folder = WriteTemplates("shop_" + type, type);
    for (std::string text : {"1299.00", "34567", ".5", "9", "1"}) {
      EXPECT_EQ(Read(folder, DrawText(text), type), text) << type;
    }
  }
}

TEST_F(PriceImgTest, FromMemoryAndFromFileAgree) {
  std::string folder = WriteTemplates("shop", "png");
  CPriceImg reader(folder, "PNG", kInk);
  EXPECT_EQ(reader.Templates().size(), 11u);
  std::string bytes = EncodePng(DrawText("4321.50"));
  EXPECT_EQ(reader.RecognizeImageBytes(bytes, kOtherShop), "4321.50");
  m_home.Write("p.png", bytes);
  EXPECT_EQ(reader.RecognizePrice(m_home.File("p.png"), kOtherShop), "4321.50");
}

TEST_F(PriceImgTest, BlankColumnsCutTheGlyphs) {
  std::string folder = WriteTemplates("shop", "png");
  struct Case {
    std::string text;
    TextStyle style;
    std::string expected;
  };
  TextStyle oneColumn;
  oneColumn.gap = 1;
  TextStyle edges;  // text in the first and the last column
  edges.left = edges.right = 0;
  TextStyle touching;
  touching.gap = 0;
  std::vector<Case> cases = {
      {"0990", oneColumn, "0990"},
      {"0990", edges, "0990"},
      {"0", edges, "0"},
      // Touching glyphs are one glyph; the template laid on its left edge
      // still finds the first one.
      {"09", touching, "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(folder, DrawText(c.text, c.style), "png"), c.expected) << c.text;
  }
}

// A 10 x 10 block template of 100 text pixels against the block with k of
// its pixels missing: 92 of 100 match, 91 of 100 do not.
TEST_F(PriceImgTest, MatchNeedsMoreThanTheThreshold) {
  Glyph block(10, std::string(10, '#'));
  std::string folder = Folder("block");
  WriteImage(folder + "7.png", DrawTemplate(block), "png");
  for (auto [missing, expected] :
       std::vector<std::pair<int, std::string>>{{0, "7"}, {8, "7"}, {9, ""}, {20, ""}}) {
    Glyph glyph = block;
    for (int k = 0; k < missing; ++k) glyph[1 + k / 8][1 + k % 8] = '.';
    EXPECT_EQ(Read(folder, DrawGlyphs({glyph}), "png"), expected) << missing << " missing";
  }
  EXPECT_NEAR(CPriceImg::kMatchThreshold, 0.91, 1e-12);
}

TEST_F(PriceImgTest, TemplateNamesGiveTheirCharacter) {
  struct Case {
    const char* file;
    const char* type;
    const char* character;
  };
  for (const Case& c : std::vector<Case>{
           {"0.png", "png", "0"},
           {"7.gif", "gif", "7"},
           {"3_2.gif", "gif", "3"},
           {"pot.jpg", "jpg", "."},
           {"pot_2.png", "png", "."},
           {"flag.png", "png", ""},
           {"yuanflag.png", "png", ""},
           {"flag_2.png", "png", ""},
           {"5.PNG", "png", "5"},
           {"6.gif", "GIF", "6"},
           {"4.bmp", "bmp", "4"},
           {"minus", "png", "minus"},
       }) {
    EXPECT_EQ(CPriceImg::TemplateCharacter(c.file, c.type), c.character) << c.file;
  }
}

TEST_F(PriceImgTest, SecondDrawingsPointsAndSigns) {
  std::string folder = WriteTemplates("shop", "gif", "0123456789");
  WriteImage(folder + "pot.gif", DrawTemplate(TestFont().at('.')), "gif");
  WriteImage(folder + "3_2.gif", DrawTemplate(TestFont().at('T')), "gif");
  WriteImage(folder + "rmbflag.gif", DrawTemplate(TestFont().at('Y')), "gif");
  EXPECT_EQ(Read(folder, DrawText("Y1T.5"), "gif"), "13.5");
  EXPECT_EQ(Read(folder, DrawText("YT3T"), "gif"), "333");
}

TEST_F(PriceImgTest, ColourKeys) {
  using Keys = std::set<std::string>;
  EXPECT_EQ(CPriceImg::SplitColors("255,0,0"), (Keys{"255,0,0"}));
  EXPECT_EQ(CPriceImg::SplitColors("255,0,0|204,0,0"), (Keys{"255,0,0", "204,0,0"}));
  EXPECT_EQ(CPriceImg::SplitColors("255,0,0|204,0,0|"), (Keys{"255,0,0", "204,0,0"}));
  EXPECT_EQ(CPriceImg::SplitColors("|255,0,0"), (Keys{"|255,0,0"}));
  EXPECT_EQ(CPriceImg::SplitColors("1,1,1||2,2,2"), (Keys{"1,1,1", "", "2,2,2"}));
  EXPECT_EQ(CPriceImg::SplitColors("|"), Keys{});
}

// Glyphs drawn in two tones read only when both tones are text colours.
TEST_F(PriceImgTest, TwoToneText) {
  std::string folder = WriteTemplates("shop", "png");
  DrawnImage image = DrawText("250.75");
  for (int y = 0; y < image.Height(); y += 2) {
    for (int x = 0; x < image.Width(); ++x) {
      if (image.Get(x, y) == (ImageColor{204, 0, 0, 255})) image.Set(x, y, {255, 0, 0, 255});
    }
  }
  EXPECT_EQ(Read(folder, image, "png", "204,0,0|255,0,0"), "250.75");
  EXPECT_EQ(Read(folder, image, "png", "255,0,0|204,0,0|"), "250.75");
  EXPECT_EQ(Read(folder, image, "png", "204,0,0"), "");
  EXPECT_EQ(Read(folder, image, "png", "|204,0,0|255,0,0"), "");
}

// Templates whose canvas is smaller or larger than the glyph: only the
// glyph's columns count, and what lies outside a template is never text,
// even when the text colour is black.
TEST_F(PriceImgTest, TemplateSizePlaysNoPart) {
  TextStyle black;
  black.ink = {0, 0, 0, 255};
  TextStyle shortTemplate = black;
  shortTemplate.top = 0;
  std::string folder = WriteTemplates("short", "png", "0123456789", shortTemplate);
  EXPECT_EQ(Read(folder, DrawText("2017", black), "png", "0,0,0"), "2017");

  std::string wide = Folder("wide");
  Glyph six = TestFont().at('6');
  for (std::string& row : six) row += "...#";
  WriteImage(wide + "6.png", DrawTemplate(six, black), "png");
  EXPECT_EQ(Read(wide, DrawText("66", black), "png", "0,0,0"), "66");
}

// Newegg's 0 and 8: the default font's 8 is a 0 with a stub at columns 4
// and 5 of row 7, so both templates match both glyphs.
TEST_F(PriceImgTest, NeweggZeroOrEight) {
  std::string withEight = WriteTemplates("newegg", "gif", "0123456789");
  std::string withoutEight = WriteTemplates("noeight", "gif", "012345679");
  Glyph halfStub = TestFont().at('0');
  halfStub[4][4] = '#';
  struct Case {
    const char* name;
    std::vector<Glyph> glyphs;
    std::string folder;
    std::string domain;
    std::string expected;
  };
  const Font& font = TestFont();
  std::vector<Case> cases = {
      {"eight at newegg", {font.at('8'), font.at('0')}, withEight, kNewegg, "80"},
      {"eight elsewhere", {font.at('8'), font.at('0')}, withEight, kOtherShop, "00"},
      {"domain contains", {font.at('8')}, withEight, "http://www.newegg.com.cn/x", "8"},
      {"one pixel of two", {halfStub}, withEight, kNewegg, "0"},
      {"no eight template", {font.at('8'), font.at('0')}, withoutEight, kNewegg, "80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.folder, DrawGlyphs(c.glyphs), "gif", kInk, c.domain), c.expected) << c.name;
  }
}

// An 8 template that does not match the glyph keeps "0", even when the
// two pixels of row 7 are text.
TEST_F(PriceImgTest, NeweggEightMustMatchToo) {
  std::string folder = WriteTemplates("newegg", "png", "0");
  Glyph heavyEight = TestFont().at('0');
  heavyEight[3] = heavyEight[4] = "#######";
  WriteImage(folder + "8.png", DrawTemplate(heavyEight), "png");
  EXPECT_EQ(Read(folder, DrawText("8"), "png", kInk, kNewegg), "0");
  EXPECT_EQ(Read(folder, DrawGlyphs({heavyEight}), "png", kInk, kNewegg), "8");
}

TEST_F(PriceImgTest, NeweggDomainComesFromConfig) {
  std::string folder = WriteTemplates("shop", "png", "0123456789");
  DrawnImage eight = DrawText("8");
  ASSERT_TRUE(IniWriteString(ProgramFile("config.ini"), "Hosts", "NeweggDomain", "egg.example"));
  EXPECT_EQ(Read(folder, eight, "png", kInk, kNewegg), "0");
  EXPECT_EQ(Read(folder, eight, "png", kInk, "shop.egg.example"), "8");
  // An empty value switches the rule off instead of matching every shop.
  ASSERT_TRUE(IniWriteString(ProgramFile("config.ini"), "Hosts", "NeweggDomain", ""));
  EXPECT_EQ(Read(folder, eight, "png", kInk, kNewegg), "0");
}

TEST_F(PriceImgTest, UnreadableImagesAndFoldersGiveNothing) {
  std::string folder = WriteTemplates("shop", "png");
  CPriceImg reader(folder, "png", kInk);
  m_home.Write("garbage.png", "not a picture at all");
  m_home.Write("empty.png", "");
  EXPECT_EQ(reader.RecognizePrice(m_home.File("garbage.png"), kOtherShop), "");
  EXPECT_EQ(reader.RecognizePrice(m_home.File("empty.png"), kOtherShop), "");
  EXPECT_EQ(reader.RecognizePrice(m_home.File("missing.png"), kOtherShop), "");
  EXPECT_EQ(reader.RecognizePrice("", kOtherShop), "");
  EXPECT_EQ(reader.RecognizeImageBytes(EncodeGif(DrawText("12")), kOtherShop), "")
      << "the image type chooses the decoder";

  std::string price = WritePrice(DrawText("12"), "png");
  EXPECT_EQ(CPriceImg(Folder("empty"), "png", kInk).RecognizePrice(price, kOtherShop), "");
  EXPECT_EQ(CPriceImg(m_home.File("nowhere/"), "png", kInk).RecognizePrice(price, kOtherShop), "");
}

TEST_F(PriceImgTest, TemplateFolderAsWrittenInTheRules) {
  WriteTemplates("shop", "png");
  // Folders in the rules use "\" and may lack the final separator.
  CPriceImg reader(ProgramDirectory() + "priceimg\\shop", "png", kInk);
  EXPECT_EQ(reader.Templates().size(), 11u);
  EXPECT_EQ(reader.RecognizeImageBytes(EncodePng(DrawText("10.5")), kOtherShop), "10.5");
}

// Broken files among the templates neither crash nor match, and a broken 8
// still counts as present for the Newegg rule.
TEST_F(PriceImgTest, BrokenTemplates) {
  std::string folder = WriteTemplates("shop", "png", "012345679.");
  m_home.Write("priceimg/shop/8.png", "broken");
  m_home.Write("priceimg/shop/notes.txt", "not a picture");
  MakeDirectories(folder + "sub.png");
  CPriceImg reader(folder, "png", kInk);
  EXPECT_EQ(reader.Templates().size(), 12u);
  EXPECT_EQ(reader.RecognizeImageBytes(EncodePng(DrawText("8.5")), kNewegg), "0.5");
}

TEST_F(PriceImgTest, RecognitionsOnSeveralThreads) {
  std::string folder = WriteTemplates("shop", "png");
  std::vector<std::string> texts = {"1299.00", "34.56", "7.1", "9605.43"};
  std::vector<std::string> files;
  for (const std::string& text : texts) files.push_back(WritePrice(DrawText(text), "png"));
  std::vector<int> wrong(texts.size(), 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < texts.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        CPriceImg reader(folder, "png", kInk);
        if (reader.RecognizePrice(files[t], kOtherShop) != texts[t]) ++wrong[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < texts.size(); ++t) EXPECT_EQ(wrong[t], 0) << texts[t];
}

}  // namespace

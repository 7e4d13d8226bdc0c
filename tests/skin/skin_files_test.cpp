#include "skin/skin.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstdlib>
#include <map>
#include <set>

#include "base/files.h"
#include "engine/image.h"
#include "skin/gui_application.h"
#include "support/tempdir.h"

// fontconfig keeps a cache for the life of the process; the test program's
// QGuiApplication is never destroyed, so the leak checker would count it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {

struct Expected {
  const char* name;
  int width;
  int height;
};

// Every picture the windows load by name, with the size it is drawn for.
const Expected kImages[] = {
    {"imgs/TaskAdd.png", 32, 32},
    {"imgs/TaskStart.png", 32, 32},
    {"imgs/TaskPause.png", 32, 32},
    {"imgs/TaskDelete.png", 32, 32},
    {"imgs/AppConfig.png", 32, 32},
    {"imgs/AppExit.png", 32, 32},
    {"imgs/ExitNormal.png", 28, 24},
    {"imgs/ExitFocus.png", 28, 24},
    {"imgs/MaxNormal.png", 28, 24},
    {"imgs/MaxFocus.png", 28, 24},
    {"imgs/ResNormal.png", 28, 24},
    {"imgs/ResFocus.png", 28, 24},
    {"imgs/MinNormal.png", 28, 24},
    {"imgs/MinFocus.png", 28, 24},
    {"imgs/MoreNormal.png", 28, 24},
    {"imgs/MoreFocus.png", 28, 24},
    {"imgs/ShareNormal.png", 28, 24},
    {"imgs/ShareFocus.png", 28, 24},
    {"imgs/MainDlgBkg.png", 960, 640},
    {"imgs/StatusBarBkg.png", 8, 28},
    {"imgs/LogoTitle.png", 180, 36},
    {"imgs/logo.png", 360, 72},
    {"imgs/ListSelBkg.png", 8, 32},
    {"imgs/GoTo.png", 48, 20},
    {"imgs/GoToBtnHot.png", 48, 20},
    {"imgs/CompBtn.png", 64, 20},
    {"imgs/HisBtn.png", 64, 20},
    {"imgs/Del.png", 16, 16},
    {"imgs/Search.png", 24, 24},
    {"imgs/QQKongJianBtn.png", 24, 24},
    {"imgs/SinaWeiboBtn.png", 24, 24},
    {"imgs/QQWeiboBtn.png", 24, 24},
    {"imgs/RenrenSnsBtn.png", 24, 24},
    {"imgs/KaixinSnsBtn.png", 24, 24},
    {"imgs/DoubanSnsBtn.png", 24, 24},
    {"imgs/SohuWeiboBtn.png", 24, 24},
    {"imgs/163WeiboBtn.png", 24, 24},
    {"imgs/BaiDuKongJianBtn.png", 24, 24},
    {"imgs/NavBtnBkg.png", 80, 28},
    {"imgs/NavBtnHotBkg.png", 80, 28},
    {"imgs/Btn1Bkg.png", 80, 26},
    {"imgs/Btn1HotBkg.png", 80, 26},
    {"imgs/Btn3Bkg.png", 80, 26},
    {"imgs/Btn3HotBkg.png", 80, 26},
    {"imgs/TabHeadBkg.png", 100, 30},
    {"imgs/TabHeadSelBkg.png", 100, 30},
    {"imgs/Alert.png", 48, 48},
    {"imgs/Ques.png", 48, 48},
    {"imgs/Info.png", 48, 48},
    {"imgs/HScrollBarLeftArrow.png", 16, 16},
    {"imgs/HScrollBarRightArrow.png", 16, 16},
    {"imgs/HScrollBarSpan.png", 16, 16},
    {"imgs/HScrollBarThumb.png", 16, 16},
    {"imgs/VScrollBarUpArrow.png", 16, 16},
    {"imgs/VScrollBarDownArrow.png", 16, 16},
    {"imgs/VScrollBarSpan.png", 16, 16},
    {"imgs/VScrollBarThumb.png", 16, 16},
    {"imgs/SpinUp.png", 16, 10},
    {"imgs/SpinUpHot.png", 16, 10},
    {"imgs/SpinDown.png", 16, 10},
    {"imgs/SpinDownHot.png", 16, 10},
    {"imgs/UpdateFinish.png", 48, 48},
    {"imgs/Updating.gif", 48, 48},
    {"imgs/TrayNormal.png", 32, 32},
    {"imgs/TrayBlink.png", 32, 32},
    {"imgs/AppIcon.png", 128, 128},
    {"productimgs/blank.jpg", 105, 105},
};

const std::vector<SkinFile>& Skin() {
  TestGuiApplication();
  static const std::vector<SkinFile> files = MakeSkin();
  return files;
}

const std::string& Bytes(const std::string& name) {
  for (const SkinFile& f : Skin()) {
    if (f.name == name) return f.bytes;
  }
  static const std::string none;
  return none;
}

QImage Decode(const std::string& bytes) {
  return QImage::fromData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// Share of pixels that differ between two pictures of one size.
double Difference(const QImage& a, const QImage& b) {
  int differ = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) differ += a.pixel(x, y) != b.pixel(x, y);
  }
  return static_cast<double>(differ) / (a.width() * a.height());
}

TEST(SkinFilesTest, EveryNamedFileIsMadeOnce) {
  std::multiset<std::string> names;
  for (const SkinFile& f : Skin()) names.insert(f.name);
  std::set<std::string> expected;
  for (const Expected& e : kImages) expected.insert(e.name);
  expected.insert("ding.wav");
  for (int d = 0; d <= 9; ++d) expected.insert("priceimg/newegg/" + std::to_string(d) + ".gif");
  expected.insert("priceimg/newegg/pot.gif");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
  EXPECT_EQ(names.size(), expected.size()) << "a file is made twice";
}

TEST(SkinFilesTest, EveryPictureDecodesAtItsSize) {
  for (const Expected& e : kImages) {
    const std::string& bytes = Bytes(e.name);
    QImage qt = Decode(bytes);
    ASSERT_FALSE(qt.isNull()) << e.name;
    EXPECT_EQ(qt.size(), QSize(e.width, e.height)) << e.name;
    // The program's own image layer reads them too, by content.
    CImage image;
    EXPECT_TRUE(image.LoadFromMemory(bytes)) << e.name;
    EXPECT_EQ(image.Width(), e.width) << e.name;
    // Nothing is an empty canvas.
    int painted = 0;
    for (int y = 0; y < qt.height(); ++y) {
      for (int x = 0; x < qt.width(); ++x) painted += qAlpha(qt.pixel(x, y)) > 0;
    }
    EXPECT_GT(painted, qt.width() * qt.height() / 40) << e.name;
  }
}

TEST(SkinFilesTest, FormatsMatchTheNames) {
  for (const SkinFile& f : Skin()) {
    const std::string& b = f.bytes;
    ImageFormat format = DetectImageFormat(b.data(), b.size());
    std::string ext = f.name.substr(f.name.rfind('.') + 1);
    if (ext == "png") {
      EXPECT_EQ(format, ImageFormat::kPng) << f.name;
    } else if (ext == "jpg") {
      EXPECT_EQ(format, ImageFormat::kJpeg) << f.name;
    } else if (ext == "gif") {
      EXPECT_EQ(b.substr(0, 6), "GIF89a") << f.name;
    } else {
      EXPECT_EQ(b.substr(8, 4), "WAVE") << f.name;
    }
  }
}

// The start-up fetches the placeholder again when it is below 1266 bytes.
TEST(SkinFilesTest, PlaceholderPictureIsLargeEnoughToBeKept) {
  const std::string& blank = Bytes("productimgs/blank.jpg");
  EXPECT_GE(blank.size(), 1266u);
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(blank, ImageFormat::kJpeg));
  EXPECT_EQ(image.Width(), 105);
  EXPECT_EQ(image.Height(), 105);
}

TEST(SkinFilesTest, BusyAnimationHasSeveralDistinctFrames) {
  const std::string& gif = Bytes("imgs/Updating.gif");
  CImage image;
  ASSERT_TRUE(image.LoadFromMemory(gif, ImageFormat::kGif));
  ASSERT_GE(image.FrameCount(), 4);
  QByteArray data(gif.data(), static_cast<qsizetype>(gif.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer, "gif");
  EXPECT_EQ(reader.imageCount(), image.FrameCount());
  std::vector<uint8_t> first(image.Pixels(), image.Pixels() + 48 * 48 * 4);
  for (int f = 1; f < image.FrameCount(); ++f) {
    image.SetFrame(f);
    EXPECT_NE(std::vector<uint8_t>(image.Pixels(), image.Pixels() + 48 * 48 * 4), first) << f;
  }
}

TEST(SkinFilesTest, StatesAndBadgesLookDifferent) {
  const std::pair<const char*, const char*> pairs[] = {
      {"imgs/ExitNormal.png", "imgs/ExitFocus.png"},
      {"imgs/ShareNormal.png", "imgs/ShareFocus.png"},
      {"imgs/Btn1Bkg.png", "imgs/Btn1HotBkg.png"},
      {"imgs/NavBtnBkg.png", "imgs/NavBtnHotBkg.png"},
      {"imgs/TabHeadBkg.png", "imgs/TabHeadSelBkg.png"},
      {"imgs/SpinUp.png", "imgs/SpinUpHot.png"},
      {"imgs/GoTo.png", "imgs/GoToBtnHot.png"},
      {"imgs/TrayNormal.png", "imgs/TrayBlink.png"},
      {"imgs/MaxNormal.png", "imgs/ResNormal.png"},
      {"imgs/HScrollBarLeftArrow.png", "imgs/HScrollBarRightArrow.png"},
      {"imgs/VScrollBarUpArrow.png", "imgs/VScrollBarDownArrow.png"},
  };
  for (auto [a, b] : pairs) {
    EXPECT_GT(Difference(Decode(Bytes(a)), Decode(Bytes(b))), 0.05) << a << " " << b;
  }
  // The nine share badges tell the sites apart at a glance.
  std::vector<QImage> badges;
  for (const Expected& e : kImages) {
    std::string name = e.name;
    if (name.find("Btn.png") != std::string::npos && e.width == 24) {
      badges.push_back(Decode(Bytes(name)));
    }
  }
  ASSERT_EQ(badges.size(), 9u);
  for (size_t i = 0; i < badges.size(); ++i) {
    for (size_t j = i + 1; j < badges.size(); ++j) {
      EXPECT_GT(Difference(badges[i], badges[j]), 0.2) << i << " " << j;
    }
  }
}

// The Chinese captions need the interface font; without it they would come
// out as empty boxes or nothing at all.
TEST(SkinFilesTest, CaptionsAreWritten) {
  QImage logo = Decode(Bytes("imgs/LogoTitle.png"));
  int dark = 0;
  for (int y = 0; y < logo.height(); ++y) {
    for (int x = 40; x < logo.width(); ++x) {
      QRgb c = logo.pixel(x, y);
      dark += qAlpha(c) > 200 && qGray(c) < 100;
    }
  }
  EXPECT_GT(dark, 300);
  // The buy button's caption: white pixels on the orange pill.
  QImage buy = Decode(Bytes("imgs/GoTo.png"));
  int white = 0;
  for (int y = 0; y < buy.height(); ++y) {
    for (int x = 0; x < buy.width(); ++x) white += qGray(buy.pixel(x, y)) > 230;
  }
  EXPECT_GT(white, 40);
}

TEST(SkinFilesTest, TheSameBytesOnEveryRun) {
  const std::vector<SkinFile>& first = Skin();  // makes the application the generator draws with
  std::vector<SkinFile> again = MakeSkin();
  ASSERT_EQ(again.size(), first.size());
  for (size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i].name, first[i].name);
    EXPECT_TRUE(again[i].bytes == first[i].bytes) << again[i].name;
  }
}

TEST(SkinFilesTest, WritingKeepsUnchangedFilesAndRepairsOthers) {
  TempDir dir;
  TestGuiApplication();
  std::string error;
  ASSERT_TRUE(WriteSkin(dir.Path(), error)) << error;
  for (const SkinFile& f : Skin()) EXPECT_EQ(dir.Read(f.name), f.bytes) << f.name;

  struct stat before {};
  ASSERT_EQ(stat(dir.File("imgs/Del.png").c_str(), &before), 0);
  dir.Write("imgs/GoTo.png", "broken");
  DeleteFile(dir.File("priceimg/newegg/pot.gif"));
  // Files written earlier get an older time, so a rewrite would show.
  struct timespec past[2] = {{1000, 0}, {1000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.File("imgs/Del.png").c_str(), past, 0), 0);
  ASSERT_TRUE(WriteSkin(dir.Path(), error)) << error;
  struct stat after {};
  ASSERT_EQ(stat(dir.File("imgs/Del.png").c_str(), &after), 0);
  EXPECT_EQ(after.st_mtime, 1000);
  EXPECT_EQ(dir.Read("imgs/GoTo.png"), Bytes("imgs/GoTo.png"));
  EXPECT_EQ(dir.Read("priceimg/newegg/pot.gif"), Bytes("priceimg/newegg/pot.gif"));
}

TEST(SkinFilesTest, UnwritableFolderIsReported) {
  TempDir dir;
  TestGuiApplication();
  dir.Write("blocked", "a file where the folder should be");
  std::string error;
  EXPECT_FALSE(WriteSkin(dir.File("blocked"), error));
  EXPECT_NE(error.find("blocked/"), std::string::npos) << error;
}

// The build runs the generator into the program directory.
TEST(SkinFilesTest, ProgramDirectoryHoldsTheSkin) {
  const char* programDir = std::getenv("VANTREL_PROGRAM_DIR");
  ASSERT_NE(programDir, nullptr);
  for (const SkinFile& f : Skin()) {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(std::string(programDir) + "/" + f.name, bytes)) << f.name;
    EXPECT_TRUE(bytes == f.bytes) << f.name << " is out of date";
  }
}

}  // namespace

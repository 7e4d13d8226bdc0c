#include <filesystem>

#include <QImage>
#include <QLineEdit>
#include <QValidator>

#include <gtest/gtest.h>

#include "controls/qttranslation.h"
#include "controls/skin.h"
#include "controls/skinbutton.h"
#include "controls/spinedit.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

void WriteImage(const TempDir& dir, const std::string& relative, QSize size, QColor colour) {
  std::filesystem::create_directories(std::filesystem::path(dir.File(relative)).parent_path());
  QImage image(size, QImage::Format_ARGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(QString::fromStdString(dir.File(relative)), "PNG"));
}

TEST(SkinPixmapTest, MissingUnreadableOrEmptyNamesGiveNullPixmaps) {
  TestApplication();
  TempDir dir(true);
  dir.Write("imgs/Broken.png", "not a png at all");
  EXPECT_TRUE(SkinPixmap("imgs/Missing.png").isNull());
  EXPECT_TRUE(SkinPixmap("imgs/Broken.png").isNull());
  EXPECT_TRUE(SkinPixmap("").isNull());
  EXPECT_TRUE(SkinPixmap("imgs").isNull());  // a folder
}

TEST(SkinPixmapTest, LoadsFromTheProgramDirectoryWithEitherSeparator) {
  TestApplication();
  TempDir dir(true);
  WriteImage(dir, "imgs/Btn1Bkg.png", QSize(30, 12), Qt::red);
  QPixmap pixmap = SkinPixmap("imgs/Btn1Bkg.png");
  ASSERT_FALSE(pixmap.isNull());
  EXPECT_EQ(pixmap.size(), QSize(30, 12));
  EXPECT_EQ(SkinPixmap("imgs\\Btn1Bkg.png").size(), QSize(30, 12));
}

TEST(SkinPixmapTest, ImagesOfAnotherProgramDirectoryAreNotMixedUp) {
  TestApplication();
  {
    TempDir first(true);
    WriteImage(first, "imgs/Same.png", QSize(8, 8), Qt::red);
    EXPECT_FALSE(SkinPixmap("imgs/Same.png").isNull());
  }
  TempDir second(true);
  EXPECT_TRUE(SkinPixmap("imgs/Same.png").isNull());
}

TEST(UiFontTest, HasTheHeightWeightAndALinuxFallback) {
  TestApplication();
  QFont font = UiFont(14, 700);
  EXPECT_EQ(font.pixelSize(), 14);
  EXPECT_EQ(font.weight(), QFont::Bold);
  EXPECT_EQ(font.families().value(0), QStringLiteral("宋体"));
  EXPECT_TRUE(font.families().contains(QStringLiteral("WenQuanYi Micro Hei")));
  EXPECT_EQ(UiFont(0).pixelSize(), 12);  // a nonsense height still gives a usable font
}

TEST(SpinEditTest, ArrowsStepWithinTheRangeAndTextStaysDigits) {
  TestApplication();
  CSpinEdit spin;
  spin.SetRange(0, 24);
  struct Case {
    const char* text;
    int delta;
    const char* expected;
  };
  const Case cases[] = {{"", 1, "1"},    {"", -1, "0"},   {"0", -1, "0"},
                        {"23", 1, "24"}, {"24", 1, "24"}, {"99", -1, "24"}};
  for (const Case& c : cases) {
    spin.setText(c.text);
    spin.Step(c.delta);
    EXPECT_EQ(spin.text(), c.expected) << c.text << " " << c.delta;
  }
  QString typed = QStringLiteral("1a");
  int position = 2;
  EXPECT_EQ(spin.Edit()->validator()->validate(typed, position), QValidator::Invalid);
  typed = QStringLiteral("");
  EXPECT_NE(spin.Edit()->validator()->validate(typed, position), QValidator::Invalid);
}

TEST(ButtonTest, DrawsTheHotBackgroundWhenChecked) {
  TestApplication();
  TempDir dir(true);
  WriteImage(dir, "imgs/Normal.png", QSize(10, 10), QColor(200, 0, 0));
  WriteImage(dir, "imgs/Hot.png", QSize(10, 10), QColor(0, 160, 0));
  CButtonST button(QStringLiteral("比价格"));
  button.setCheckable(true);
  button.resize(90, 30);
  button.SetBackground("imgs/Normal.png", "imgs/Hot.png");
  EXPECT_FALSE(button.IsHot());
  EXPECT_EQ(button.grab().toImage().pixelColor(2, 2), QColor(200, 0, 0));
  button.setChecked(true);
  EXPECT_TRUE(button.IsHot());
  EXPECT_EQ(button.grab().toImage().pixelColor(2, 2), QColor(0, 160, 0));
}

TEST(ButtonTest, MissingImagesStillDrawAVisibleButton) {
  TestApplication();
  TempDir dir(true);
  CButtonST button(QStringLiteral("确定"));
  button.SetBackground("imgs/None.png", "imgs/NoneHot.png");
  button.SetPicture("imgs/NoPicture.png", QSize(16, 16), CButtonST::IconPlacement::kAbove);
  button.resize(button.sizeHint());
  EXPECT_GE(button.sizeHint().width(), button.fontMetrics().horizontalAdvance("确定"));
  QImage image = button.grab().toImage();
  ASSERT_FALSE(image.isNull());
  // The fallback face is light grey, not transparent.
  EXPECT_GT(image.pixelColor(image.width() / 2, 3).alpha(), 0);
}

// Qt's standard dialogs (the import and export file dialogs) speak Chinese.
TEST(QtTranslationTest, QtsOwnTextsSpeakChinese) {
  TestApplication();
  ASSERT_TRUE(InstallQtChineseTranslation()) << "qt6-translations-l10n (scripts/setup)";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
}

}  // namespace

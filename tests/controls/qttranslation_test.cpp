#include "controls/qttranslation.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/qt_application.h"

namespace {

// The standard dialogs' texts, as the file dialogs of import and export
// show them.
TEST(QtTranslationTest, QtsOwnTextsSpeakChinese) {
  TestApplication();
  ASSERT_TRUE(InstallQtChineseTranslation()) << "qt6-translations-l10n (scripts/setup)";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
}

}  // namespace

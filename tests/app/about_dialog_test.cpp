#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/aboutdlg.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "dialog_helpers.h"
#include "support/tempdir.h"

namespace {

TEST(AboutDialogTest, ShowsTitleVersionAndTheConfiguredLinks) {
  TestApplication();
  TempDir dir(true);
  dir.Write("config.ini",
            "[Hosts]\r\nHomePageUrl=http://home.example/?a=1&b=2\r\nFollowUrl=\r\n"
            "HelpUrl=http://help.example/\r\n");
  CAboutDlg dialog;
  EXPECT_EQ(Child<QLabel>(&dialog, "titleLabel")->text(), LoadQString(IDS_APP_TITLE));
  EXPECT_TRUE(Child<QLabel>(&dialog, "versionLabel")->text().contains(LoadQString(IDS_VERSION)));
  QString links = Child<QLabel>(&dialog, "linksLabel")->text();
  // The address is escaped for the label's markup; a switched-off service
  // gets no line at all.
  EXPECT_TRUE(links.contains("http://home.example/?a=1&amp;b=2")) << links.toStdString();
  EXPECT_TRUE(links.contains("http://help.example/"));
  EXPECT_FALSE(links.contains(QStringLiteral("关注我们")));

  QTimer::singleShot(0, &dialog, [&] { Click(&dialog, "okButton"); });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

TEST(AboutDialogTest, NoLinksWhenEveryServiceIsOff) {
  TestApplication();
  TempDir dir(true);
  dir.Write("config.ini", "[Hosts]\nHomePageUrl=\nFollowUrl=\nHelpUrl=\n");
  CAboutDlg dialog;
  EXPECT_EQ(Child<QLabel>(&dialog, "linksLabel"), nullptr);
}

}  // namespace

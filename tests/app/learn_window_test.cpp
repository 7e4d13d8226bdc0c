// Teaching the program a shop in the add window ("价格不对？"), and the
// learned shops of the shop list panel.
#include <memory>
#include <string>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

#include "app/learnbox.h"
#include "app/sitelistdlg.h"
#include "app/taskadddlg.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "dialog_helpers.h"
#include "engine/addtask.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

const char* kPage =
    "<html><head><title>Kettle</title><link rel=\"canonical\" href=\"https://kettles.example/k1\">"
    "</head><body><h1>Kettle</h1><b class=\"price\">45.00</b></body></html>";

class LearnWindowTest : public ::testing::Test {
 protected:
  LearnWindowTest() {
    TestApplication();
    shop.Page("/k1", kPage, "text/html; charset=utf-8");
  }
  TempDir home{true};
  TestHttpServer shop;
  CSiteList sites;
};

TEST_F(LearnWindowTest, WrongPriceTeachesTheShopAndSelectsIt) {
  MessageRecorder messages;
  CTaskAddDlg dialog(sites);
  dialog.show();
  Child<QLineEdit>(&dialog, "linkEdit")->setText(QString::fromStdString(shop.Url("/k1")));
  EXPECT_FALSE(Child<CLearnBox>(&dialog, "learnBox")->isVisible());
  Click(&dialog, "learnButton");
  ASSERT_TRUE(Child<CLearnBox>(&dialog, "learnBox")->isVisible());
  Child<QLineEdit>(&dialog, "seenPriceEdit")->setText(QStringLiteral("45"));
  Click(&dialog, "learnStartButton");
  auto* status = Child<QLabel>(&dialog, "learnStatus");
  ASSERT_TRUE(SpinUntil([&] { return status->text().startsWith(LoadQString(IDS_LEARN_DONE)); }))
      << status->text().toStdString();
  const std::string host = "127.0.0.1:" + std::to_string(shop.Port());
  EXPECT_EQ(Child<QComboBox>(&dialog, "siteCombo")->currentText(), QString::fromStdString(host));
  EXPECT_TRUE(sites.FindSiteByName(host)->IsLearned());
  EXPECT_NE(home.Read("sites.xml").find("<Learned>"), std::string::npos);
  EXPECT_TRUE(messages.Ids().empty());
}

TEST_F(LearnWindowTest, ALinkWhosePageGaveNoPriceAsksForIt) {
  const std::string link = shop.Url("/unpriced");
  RememberUnpricedLink(link);
  CTaskAddDlg dialog(sites);
  dialog.show();
  Child<QLineEdit>(&dialog, "linkEdit")->setText(QString::fromStdString(link));
  EXPECT_TRUE(Child<CLearnBox>(&dialog, "learnBox")->isVisible());
  EXPECT_EQ(Child<QLabel>(&dialog, "learnPrompt")->text(), LoadQString(IDS_LEARN_ASK_NO_PRICE));
}

TEST_F(LearnWindowTest, TheShopListShowsLearnedShopsAndDeletesThem) {
  for (bool learned : {false, true}) {
    auto site = std::make_shared<CSite>();
    site->SetName(learned ? "learned" : "ruled");
    site->SetDomain(learned ? "learned.example" : "ruled.example");
    if (learned) site->SetLearned("2024-05-01 10:00:00");
    sites.AddSite(site);
  }
  ASSERT_TRUE(sites.SaveSites(home.File("sites.xml")));
  CSiteListDlg panel(sites);
  QListWidget* list = panel.LearnedList();
  ASSERT_EQ(list->count(), 1);
  EXPECT_TRUE(list->item(0)->text().startsWith(QStringLiteral("learned  learned.example")));
  list->setCurrentRow(0);
  Click(&panel, "forgetButton");
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(sites.GetCount(), 1u);
  EXPECT_EQ(home.Read("sites.xml").find("learned.example"), std::string::npos);
}

}  // namespace

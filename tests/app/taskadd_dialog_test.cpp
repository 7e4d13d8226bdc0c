#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/taskadddlg.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/spinedit.h"
#include "dialog_helpers.h"
#include "engine/generic.h"

namespace {

std::shared_ptr<CSite> Site(const std::string& name, const std::string& domain) {
  auto site = std::make_shared<CSite>();
  site->SetName(name);
  site->SetDomain(domain);
  return site;
}

class TaskAddDialogTest : public ::testing::Test {
 protected:
  TaskAddDialogTest() {
    TestApplication();
    m_sites.AddSite(Site("Alpha", "alpha-shop.example"));
    m_sites.AddSite(Site("Beta", "b1.example|beta-two.example"));
    m_sites.AddSite(Site("Gamma", "gamma.example"));
  }

  void TypeLink(CTaskAddDlg& dialog, const QString& link) {
    Child<QLineEdit>(&dialog, "linkEdit")->setText(link);
  }
  std::string Selected(CTaskAddDlg& dialog) { return dialog.GetChoices().siteName; }

  CSiteList m_sites;
};

TEST_F(TaskAddDialogTest, StartsWithTheDocumentedDefaults) {
  CTaskAddDlg dialog(m_sites);
  auto* combo = Child<QComboBox>(&dialog, "siteCombo");
  ASSERT_NE(combo, nullptr);
  ASSERT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(0), "Alpha");
  EXPECT_EQ(combo->itemText(2), "Gamma");
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(Child<CSpinEdit>(&dialog, "hourEdit")->text(), "1");
  EXPECT_EQ(Child<CSpinEdit>(&dialog, "minuteEdit")->text(), "0");

  AddChoices choices = dialog.GetChoices();
  AddChoices defaults;
  EXPECT_EQ(choices.link, "");
  EXPECT_EQ(choices.siteName, "");
  EXPECT_EQ(choices.frequencyHour, defaults.frequencyHour);
  EXPECT_EQ(choices.frequencyMinute, defaults.frequencyMinute);
  EXPECT_TRUE(choices.trackPrice && choices.trackStock && choices.priceDown && choices.priceUp);
  EXPECT_EQ(choices.targetPrice, "");
  for (const char* name : {"priceDownCheck", "priceUpCheck", "targetPriceEdit"})
    EXPECT_TRUE(Child<QWidget>(&dialog, name)->isEnabled()) << name;
}

TEST_F(TaskAddDialogTest, GuessesTheShopFromAPastedLink) {
  struct Case {
    const char* link;
    const char* site;
  };
  const Case cases[] = {
      {"http://alpha-shop.example/item/1.html", "Alpha"},
      {"http://www.beta-two.example/p?id=7", "Beta"},  // second host of a "|" list
      {"http://b1.example/x", "Beta"},                 // first host of the list
      {"b1.example", ""},                              // 10 characters: too short to guess
      {"http://gamma.example/?from=alpha-shop.example", "Alpha"},  // list order wins
      {"http://unknown.example/item/2", ""},
  };
  for (const Case& c : cases) {
    CTaskAddDlg dialog(m_sites);
    TypeLink(dialog, QString::fromUtf8(c.link));
    EXPECT_EQ(Selected(dialog), c.site) << c.link;
  }
}

TEST_F(TaskAddDialogTest, GuessFollowsTypingButNeverOverridesAChosenShop) {
  CTaskAddDlg dialog(m_sites);
  auto* link = Child<QLineEdit>(&dialog, "linkEdit");
  link->setText("http://gam");
  EXPECT_EQ(Selected(dialog), "");
  link->setText("http://gamma.example/1");
  EXPECT_EQ(Selected(dialog), "Gamma");
  // Once a shop is selected, a later link does not move it.
  link->setText("http://alpha-shop.example/2");
  EXPECT_EQ(Selected(dialog), "Gamma");

  CTaskAddDlg chosen(m_sites);
  Child<QComboBox>(&chosen, "siteCombo")->setCurrentIndex(1);
  TypeLink(chosen, "http://alpha-shop.example/3");
  EXPECT_EQ(Selected(chosen), "Beta");
}

TEST_F(TaskAddDialogTest, AddRefusesAMissingLinkOrShopOrFrequencyAndStaysOpen) {
  struct Case {
    const char* link;
    int site;
    unsigned message;
  };
  const Case cases[] = {
      {"", -1, IDS_ENTER_LINK},
      // A frequency of no time at all (hours and minutes set below).
      {"http://alpha-shop.example/item/1.html", 0, IDS_FREQUENCY_TOO_LOW},
      {"", 0, IDS_ENTER_LINK},
      {"   ", 0, IDS_ENTER_LINK},
      // A web link of an unknown shop goes to the general shop; other text not.
      {"unknown.example/item/2", -1, IDS_LINK_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    MessageRecorder messages;
    CTaskAddDlg dialog(m_sites);
    dialog.show();
    TypeLink(dialog, QString::fromUtf8(c.link));
    Child<QComboBox>(&dialog, "siteCombo")->setCurrentIndex(c.site);
    if (c.message == IDS_FREQUENCY_TOO_LOW) {
      Child<CSpinEdit>(&dialog, "hourEdit")->setText("0");
      Child<CSpinEdit>(&dialog, "minuteEdit")->setText("");
    }
    Click(&dialog, "addButton");
    EXPECT_EQ(messages.Ids(), std::vector<unsigned>{c.message}) << c.link;
    EXPECT_TRUE(dialog.isVisible()) << c.link;
    EXPECT_EQ(dialog.result(), 0) << c.link;
  }
}

TEST_F(TaskAddDialogTest, AWebLinkNoShopKnowsGoesToTheGeneralShop) {
  MessageRecorder messages;
  CTaskAddDlg dialog(m_sites);
  dialog.show();
  TypeLink(dialog, "http://unknown.example/item/2");
  EXPECT_EQ(Selected(dialog), "");  // typing guesses no shop
  Child<QLineEdit>(&dialog, "dropPercentEdit")->setText("15");
  Click(&dialog, "addButton");
  EXPECT_TRUE(messages.Ids().empty());
  EXPECT_EQ(dialog.result(), 1086);
  EXPECT_EQ(Selected(dialog), GenericSiteName());
  EXPECT_EQ(dialog.GetChoices().dropPercent, "15");
}

TEST_F(TaskAddDialogTest, ExecGives1086WithTheChosenValues) {
  MessageRecorder messages;
  CTaskAddDlg dialog(m_sites);
  QTimer::singleShot(0, &dialog, [&] {
    TypeLink(dialog, " http://beta-two.example/p?id=9 ");
    Child<CSpinEdit>(&dialog, "hourEdit")->setText("0");
    Child<CSpinEdit>(&dialog, "minuteEdit")->setText("30");
    Child<QCheckBox>(&dialog, "trackStockCheck")->setChecked(false);
    Child<QCheckBox>(&dialog, "priceUpCheck")->setChecked(false);
    Child<QLineEdit>(&dialog, "targetPriceEdit")->setText("99.50");
    Click(&dialog, "addButton");
  });
  ASSERT_EQ(dialog.exec(), CTaskAddDlg::kAddButton);
  EXPECT_TRUE(messages.Ids().empty());

  AddChoices choices = dialog.GetChoices();
  EXPECT_EQ(choices.link, "http://beta-two.example/p?id=9");
  EXPECT_EQ(choices.siteName, "Beta");
  EXPECT_EQ(choices.frequencyHour, "0");
  EXPECT_EQ(choices.frequencyMinute, "30");
  EXPECT_TRUE(choices.trackPrice);
  EXPECT_FALSE(choices.trackStock);
  EXPECT_TRUE(choices.priceDown);
  EXPECT_FALSE(choices.priceUp);
  EXPECT_EQ(choices.targetPrice, "99.50");
}

TEST_F(TaskAddDialogTest, ChineseTextsReachTheTaskInTheLocalCodePage) {
  CSiteList sites;
  sites.AddSite(Site(ToLocal(QStringLiteral("京东商城")), "jd-like.example"));
  CTaskAddDlg dialog(sites);
  TypeLink(dialog, "http://jd-like.example/1.html");
  EXPECT_EQ(dialog.GetChoices().siteName, ToLocal(QStringLiteral("京东商城")));
}

TEST_F(TaskAddDialogTest, UntickingTrackPriceDisablesTheRemindersAndTargetPrice) {
  CTaskAddDlg dialog(m_sites);
  auto* trackPrice = Child<QCheckBox>(&dialog, "trackPriceCheck");
  trackPrice->setChecked(false);
  for (const char* name : {"priceDownCheck", "priceUpCheck", "targetPriceEdit"})
    EXPECT_FALSE(Child<QWidget>(&dialog, name)->isEnabled()) << name;
  EXPECT_TRUE(Child<QWidget>(&dialog, "trackStockCheck")->isEnabled());
  trackPrice->setChecked(true);
  for (const char* name : {"priceDownCheck", "priceUpCheck", "targetPriceEdit"})
    EXPECT_TRUE(Child<QWidget>(&dialog, name)->isEnabled()) << name;
}

TEST_F(TaskAddDialogTest, CancelGivesZero) {
  CTaskAddDlg dialog(m_sites);
  QTimer::singleShot(0, &dialog, [&] { Click(&dialog, "cancelButton"); });
  EXPECT_EQ(dialog.exec(), 0);
}

}  // namespace

#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/taskeditdlg.h"
#include "base/stringtable.h"
#include "controls/spinedit.h"
#include "dialog_helpers.h"

namespace {

CTaskValues TrackedTask() {
  CTaskValues v;
  v.url = "http://alpha-shop.example/item/1.html";
  v.imageLink = "/tmp/productimgs/a.jpg";
  v.productName = "Kettle";
  v.productId = "1";
  v.frequencyHour = "2";
  v.frequencyMinute = "15";
  v.status = 1;
  v.siteName = "Alpha";
  v.siteDomain = "alpha-shop.example";
  v.trackStock = true;
  v.trackPrice = false;
  v.currentPrice = "12.00";
  v.currentStock = -1;
  v.lastUpdate = "2024-1-02 03:04:05";
  v.priceUp = true;
  v.priceDown = false;
  v.targetPrice = "10";
  v.gotoUrl = "http://go.example/1";
  return v;
}

class TaskEditDialogTest : public ::testing::Test {
 protected:
  TaskEditDialogTest() {
    TestApplication();
    for (auto [name, domain] :
         {std::pair{"Alpha", "alpha-shop.example"}, std::pair{"Beta", "beta-shop.example"}}) {
      auto site = std::make_shared<CSite>();
      site->SetName(name);
      site->SetDomain(domain);
      m_sites.AddSite(site);
    }
  }
  CSiteList m_sites;
};

TEST_F(TaskEditDialogTest, ShowsTheTaskAndGivesItBackUnchanged) {
  CTask task(TrackedTask());
  CTaskEditDlg dialog(task, m_sites);
  EXPECT_EQ(Child<QComboBox>(&dialog, "siteCombo")->currentText(), "Alpha");
  EXPECT_EQ(Child<CSpinEdit>(&dialog, "hourEdit")->text(), "2");
  EXPECT_EQ(Child<QLineEdit>(&dialog, "nameEdit")->text(), "Kettle");
  EXPECT_FALSE(Child<QCheckBox>(&dialog, "inStockCheck")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(&dialog, "trackedCheck")->isChecked());

  CTaskValues out = dialog.GetValues();
  CTaskValues in = TrackedTask();
  EXPECT_EQ(out.url, in.url);
  EXPECT_EQ(out.imageLink, in.imageLink);
  EXPECT_EQ(out.productName, in.productName);
  EXPECT_EQ(out.frequencyHour, in.frequencyHour);
  EXPECT_EQ(out.frequencyMinute, in.frequencyMinute);
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(out.siteName, in.siteName);
  EXPECT_EQ(out.siteDomain, in.siteDomain);
  EXPECT_EQ(out.currentStock, -1);  // undetermined survives an untouched box
  EXPECT_EQ(out.trackPrice, false);
  EXPECT_EQ(out.priceUp, true);
  EXPECT_EQ(out.priceDown, false);
  EXPECT_EQ(out.targetPrice, "10");
  EXPECT_EQ(out.gotoUrl, in.gotoUrl);
  EXPECT_EQ(out.lastUpdate, in.lastUpdate);
}

TEST_F(TaskEditDialogTest, RemindersAndTargetPriceFollowTrackPrice) {
  CTask task(TrackedTask());  // price not tracked
  CTaskEditDlg dialog(task, m_sites);
  const char* followers[] = {"priceDownCheck", "priceUpCheck", "targetPriceEdit"};
  for (const char* name : followers)
    EXPECT_FALSE(Child<QWidget>(&dialog, name)->isEnabled()) << name;
  Child<QCheckBox>(&dialog, "trackPriceCheck")->setChecked(true);
  for (const char* name : followers)
    EXPECT_TRUE(Child<QWidget>(&dialog, name)->isEnabled()) << name;
  Child<QCheckBox>(&dialog, "trackPriceCheck")->setChecked(false);
  for (const char* name : followers)
    EXPECT_FALSE(Child<QWidget>(&dialog, name)->isEnabled()) << name;
  for (const char* name : {"trackStockCheck", "trackedCheck", "inStockCheck", "nameEdit"})
    EXPECT_TRUE(Child<QWidget>(&dialog, name)->isEnabled()) << name;

  CTaskValues tracked = TrackedTask();
  tracked.trackPrice = true;
  CTask priced(tracked);
  CTaskEditDlg enabled(priced, m_sites);
  for (const char* name : followers)
    EXPECT_TRUE(Child<QWidget>(&enabled, name)->isEnabled()) << name;
}

TEST_F(TaskEditDialogTest, EditGives1087AndTheNewValues) {
  CTask task(TrackedTask());
  CTaskEditDlg dialog(task, m_sites);
  QTimer::singleShot(0, &dialog, [&] {
    Child<QComboBox>(&dialog, "siteCombo")->setCurrentIndex(1);
    Child<CSpinEdit>(&dialog, "hourEdit")->setText("0");
    Child<CSpinEdit>(&dialog, "minuteEdit")->setText("5");
    Child<QLineEdit>(&dialog, "nameEdit")->setText(QStringLiteral("New name"));
    Child<QLineEdit>(&dialog, "priceEdit")->setText("9.90");
    Child<QCheckBox>(&dialog, "inStockCheck")->setChecked(true);
    Child<QCheckBox>(&dialog, "trackedCheck")->setChecked(false);
    Child<QCheckBox>(&dialog, "trackPriceCheck")->setChecked(true);
    Child<QCheckBox>(&dialog, "priceDownCheck")->setChecked(true);
    Child<QLineEdit>(&dialog, "targetPriceEdit")->setText("");
    Click(&dialog, "editButton");
  });
  ASSERT_EQ(dialog.exec(), CTaskEditDlg::kEditButton);
  CTaskValues out = dialog.GetValues();
  EXPECT_EQ(out.siteName, "Beta");
  EXPECT_EQ(out.siteDomain, "beta-shop.example");
  EXPECT_EQ(out.frequencyHour, "0");
  EXPECT_EQ(out.frequencyMinute, "5");
  EXPECT_EQ(out.productName, "New name");
  EXPECT_EQ(out.currentPrice, "9.90");
  EXPECT_EQ(out.currentStock, 1);
  EXPECT_EQ(out.status, 0);
  EXPECT_TRUE(out.trackPrice);
  EXPECT_TRUE(out.priceDown);
  EXPECT_EQ(out.targetPrice, "");
}

TEST_F(TaskEditDialogTest, EditRefusesAFrequencyBelowOneMinuteAndStaysOpen) {
  CTaskValues values = TrackedTask();
  values.frequencyHour = "0";
  values.frequencyMinute = "0";
  CTask task(values);  // a file may hold such a task; editing it must mend it
  MessageRecorder messages;
  CTaskEditDlg dialog(task, m_sites);
  dialog.show();
  Click(&dialog, "editButton");
  EXPECT_EQ(messages.Ids(), std::vector<unsigned>{IDS_FREQUENCY_TOO_LOW});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);

  Child<CSpinEdit>(&dialog, "minuteEdit")->setText("1");
  Click(&dialog, "editButton");
  EXPECT_EQ(dialog.result(), CTaskEditDlg::kEditButton);
}

TEST_F(TaskEditDialogTest, KeepsAShopTheRulesNoLongerList) {
  CTaskValues values = TrackedTask();
  values.siteName = "Gone";
  values.siteDomain = "gone.example";
  CTask task(values);
  CTaskEditDlg dialog(task, m_sites);
  CTaskValues out = dialog.GetValues();
  EXPECT_EQ(out.siteName, "Gone");
  EXPECT_EQ(out.siteDomain, "gone.example");
}

TEST_F(TaskEditDialogTest, CancelGivesZero) {
  CTask task(TrackedTask());
  CTaskEditDlg dialog(task, m_sites);
  QTimer::singleShot(0, &dialog, [&] { Click(&dialog, "cancelButton"); });
  EXPECT_EQ(dialog.exec(), 0);
}

}  // namespace

#include "app/configdlg.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "base/autostart.h"
#include "base/ini.h"
#include "base/message.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

class ConfigDlgTest : public ::testing::Test {
 protected:
  ConfigDlgTest() {
    setenv("XDG_CONFIG_HOME", xdg.Path().c_str(), 1);
    SetMessageHandler([](unsigned, int, const std::string&) { return IDOK; });
  }
  ~ConfigDlgTest() override {
    unsetenv("XDG_CONFIG_HOME");
    SetMessageHandler(nullptr);
  }
  std::string Base(const char* key) {
    return IniGetString(home.File("config.ini"), "Base", key, "<missing>");
  }
  QString Result(CConfigDlg& dialog) {
    QCoreApplication::processEvents();  // the update page reports queued
    return dialog.ResultLine()->text();
  }
  QApplication& app = TestApplication();
  TempDir home{true};
  TempDir xdg;
};

TEST_F(ConfigDlgTest, EveryRadioWritesItsKeyAndShowsItsResult) {
  int popCloseSeen = -1;
  int msgPopSeen = -1;
  CConfigContext context;
  context.popMsgAutoCloseChanged = [&](int v) { popCloseSeen = v; };
  context.msgPopChanged = [&](int v) { msgPopSeen = v; };
  CConfigDlg dialog(context);
  CAppConfigDlg* page = dialog.AppPage();
  CUpdateDlg* update = dialog.UpdatePage();
  const struct {
    QRadioButton* radio;
    const char* key;
    const char* value;
    unsigned result;
  } cases[] = {
      {page->ShareIconRadio(1), "ShareIconSize", "1", IDS_SHARE_ICON_SIZE_OK},
      {page->ShareIconRadio(0), "ShareIconSize", "0", IDS_SHARE_ICON_SIZE_OK},
      {page->PopCloseRadio(1), "PopMsgAutoClose", "1", IDS_POP_CLOSE_OK},
      {page->PopShowRadio(1), "MsgPop", "1", IDS_POP_SHOW_OK},
      {page->PopShowRadio(0), "MsgPop", "0", IDS_POP_SHOW_OK},
      {update->AutoUpdateRadio(1), "AutoUpdate", "1", IDS_AUTOUPDATE_OFF_OK},
      {update->AutoUpdateRadio(0), "AutoUpdate", "0", IDS_AUTOUPDATE_ON_OK},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.radio, nullptr) << c.key;
    dialog.ResultLine()->clear();
    c.radio->click();
    EXPECT_EQ(Base(c.key), c.value) << c.key;
    EXPECT_EQ(Result(dialog), LoadQString(c.result)) << c.key;
    EXPECT_EQ(dialog.ResultLine()->palette().color(QPalette::WindowText), QColor(3, 169, 72));
  }
  EXPECT_EQ(dialog.Context().popMsgAutoClose, 1);
  EXPECT_EQ(popCloseSeen, 1);
  EXPECT_EQ(dialog.Context().msgPop, 0);
  EXPECT_EQ(msgPopSeen, 0);
}

TEST_F(ConfigDlgTest, NumberBoxesWriteEachKeyAndRefuseZero) {
  CConfigDlg dialog(CConfigContext{});
  QLineEdit* sleep = dialog.AppPage()->SleepTimeEdit();
  QLineEdit* text = dialog.AppPage()->ListTextSizeEdit();
  // Opening wrote nothing.
  EXPECT_EQ(Base("SleepTime"), "<missing>");
  EXPECT_EQ(Base("ListTextSize"), "<missing>");
  EXPECT_EQ(sleep->text(), QStringLiteral("1"));

  sleep->clear();
  EXPECT_EQ(Base("SleepTime"), "<missing>");
  EXPECT_TRUE(dialog.ResultLine()->text().isEmpty());
  sleep->insert(QStringLiteral("0"));
  EXPECT_EQ(Base("SleepTime"), "<missing>");
  EXPECT_EQ(Result(dialog), QStringLiteral("设置间隔时间失败！"));
  EXPECT_EQ(dialog.ResultLine()->palette().color(QPalette::WindowText), QColor(218, 0, 169));
  sleep->clear();
  sleep->insert(QStringLiteral("5"));
  EXPECT_EQ(Base("SleepTime"), "5");
  EXPECT_EQ(Result(dialog), QStringLiteral("设置间隔时间成功！"));
  sleep->insert(QStringLiteral("7"));  // one digit only
  EXPECT_EQ(sleep->text(), QStringLiteral("5"));

  text->clear();
  text->insert(QStringLiteral("1"));
  EXPECT_EQ(Base("ListTextSize"), "1");
  EXPECT_EQ(Result(dialog), QStringLiteral("列表文字设置成功！"));
  dialog.ResultLine()->clear();
  text->insert(QStringLiteral("4"));
  EXPECT_EQ(Base("ListTextSize"), "14");
  EXPECT_EQ(Result(dialog), QStringLiteral("列表文字设置成功！"));
  text->clear();
  text->insert(QStringLiteral("0"));
  EXPECT_EQ(Base("ListTextSize"), "14");
  EXPECT_EQ(Result(dialog), QStringLiteral("列表文字设置失败！"));
  text->insert(QStringLiteral("0"));  // "00" is no size either
  EXPECT_EQ(Base("ListTextSize"), "14");
  text->clear();
  text->insert(QStringLiteral("x"));  // not a digit: refused by the box
  EXPECT_TRUE(text->text().isEmpty());
}

TEST_F(ConfigDlgTest, TheFailAlertBoxWritesItsKeyAndTellsTheTracker) {
  CConfigContext context;
  int told = -1;
  context.failAlertChanged = [&told](int count) { told = count; };
  CConfigDlg dialog(context);
  QLineEdit* box = dialog.AppPage()->FailAlertEdit();
  EXPECT_EQ(box->text(), QStringLiteral("3"));
  EXPECT_EQ(Base("FailAlert"), "<missing>");
  box->clear();
  box->insert(QStringLiteral("0"));  // 0: never told
  EXPECT_EQ(Base("FailAlert"), "0");
  EXPECT_EQ(told, 0);
  box->clear();
  box->insert(QStringLiteral("12"));
  EXPECT_EQ(Base("FailAlert"), "12");
  EXPECT_EQ(told, 12);
  EXPECT_EQ(Result(dialog), QStringLiteral("抓取失败提醒设置成功！"));
}

TEST_F(ConfigDlgTest, TheRealDealsBoxWritesItsKeyAndTellsTheTracker) {
  CConfigContext context;
  std::vector<bool> told;
  context.realDealsOnlyChanged = [&told](bool on) { told.push_back(on); };
  CConfigDlg dialog(context);
  QCheckBox* box = dialog.AppPage()->RealDealsOnlyBox();
  EXPECT_EQ(box->text(), QStringLiteral("只提醒真降价"));
  EXPECT_FALSE(box->isChecked());
  box->click();
  EXPECT_EQ(Base("RealDealsOnly"), "1");
  box->click();
  EXPECT_EQ(Base("RealDealsOnly"), "0");
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
  EXPECT_EQ(Result(dialog), QStringLiteral("只提醒真降价设置成功！"));
}

TEST_F(ConfigDlgTest, TheIntervalBoxShowsTheFileNotTheProgram) {
  home.Write("config.ini", "[Base]\r\nSleepTime=3\r\n");
  CConfigContext context;
  context.listTextSize = 14;
  context.popMsgAutoClose = 1;
  context.msgPop = 1;
  context.shareIconSize = 1;
  CConfigDlg dialog(context);
  EXPECT_EQ(dialog.AppPage()->SleepTimeEdit()->text(), QStringLiteral("3"));
  EXPECT_EQ(dialog.AppPage()->ListTextSizeEdit()->text(), QStringLiteral("14"));
  EXPECT_TRUE(dialog.AppPage()->PopCloseRadio(1)->isChecked());
  EXPECT_TRUE(dialog.AppPage()->PopShowRadio(1)->isChecked());
  EXPECT_TRUE(dialog.AppPage()->ShareIconRadio(1)->isChecked());
  EXPECT_TRUE(dialog.UpdatePage()->AutoUpdateRadio(0)->isChecked());
  EXPECT_EQ(dialog.CurrentPage(), 0);
}

TEST_F(ConfigDlgTest, FailedWritesSayTheyFailedAndKeepTheProgramsValues) {
  // config.ini cannot be written when a folder stands in its place.
  std::filesystem::create_directory(home.File("config.ini"));
  int popCloseSeen = -1;
  CConfigContext context;
  context.popMsgAutoCloseChanged = [&](int v) { popCloseSeen = v; };
  CConfigDlg dialog(context);
  const struct {
    QAbstractButton* radio;
    unsigned result;
  } cases[] = {
      {dialog.AppPage()->PopCloseRadio(1), IDS_POP_CLOSE_FAILED},
      {dialog.AppPage()->PopShowRadio(1), IDS_POP_SHOW_FAILED},
      {dialog.AppPage()->ShareIconRadio(1), IDS_SHARE_ICON_SIZE_FAILED},
      {dialog.UpdatePage()->AutoUpdateRadio(1), IDS_AUTOUPDATE_OFF_FAILED},
  };
  for (const auto& c : cases) {
    c.radio->click();
    EXPECT_EQ(Result(dialog), LoadQString(c.result));
    EXPECT_EQ(dialog.ResultLine()->palette().color(QPalette::WindowText), QColor(218, 0, 169));
  }
  dialog.AppPage()->SleepTimeEdit()->clear();
  dialog.AppPage()->SleepTimeEdit()->insert(QStringLiteral("4"));
  EXPECT_EQ(Result(dialog), QStringLiteral("设置间隔时间失败！"));
  EXPECT_EQ(dialog.Context().popMsgAutoClose, 0);
  EXPECT_EQ(dialog.Context().msgPop, 0);
  EXPECT_EQ(popCloseSeen, -1);
}

TEST_F(ConfigDlgTest, AutoStartBoxSwitchesTheAutostartFile) {
  CConfigDlg dialog(CConfigContext{});
  QCheckBox* box = dialog.AppPage()->AutoStartBox();
  EXPECT_FALSE(box->isChecked());
  box->click();
  EXPECT_TRUE(IsAutoStartEnabled());
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(Result(dialog), QStringLiteral("设置开机启动成功！"));
  box->click();
  EXPECT_FALSE(IsAutoStartEnabled());
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(Result(dialog), QStringLiteral("取消开机启动成功！"));
  // A second dialog sees the state on disk.
  box->click();
  CConfigDlg again(CConfigContext{});
  EXPECT_TRUE(again.AppPage()->AutoStartBox()->isChecked());
}

TEST_F(ConfigDlgTest, RefreshingTheShopRulesReportsWhatHappened) {
  int refreshes = 0;
  bool works = true;
  CConfigContext context;
  context.refreshSiteRules = [&] {
    ++refreshes;
    return works;
  };
  CConfigDlg dialog(context);
  dialog.ShowPage(1);
  EXPECT_EQ(dialog.CurrentPage(), 1);
  dialog.UpdatePage()->RefreshRulesButton()->click();
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(Result(dialog), QStringLiteral("网站设置文件更新成功！"));
  works = false;
  dialog.UpdatePage()->RefreshRulesButton()->click();
  EXPECT_EQ(refreshes, 2);
  EXPECT_EQ(Result(dialog), QStringLiteral("网站设置文件更新失败！"));
}

TEST(ConfigResultColor, FailureSuccessOrPlain) {
  EXPECT_EQ(ConfigResultColor(QStringLiteral("设置间隔时间失败！")), QColor(218, 0, 169));
  EXPECT_EQ(ConfigResultColor(QStringLiteral("设置间隔时间成功！")), QColor(3, 169, 72));
  EXPECT_EQ(ConfigResultColor(QStringLiteral("设置开机启动失败。360提示时")), QColor(218, 0, 169));
  EXPECT_EQ(ConfigResultColor(QStringLiteral("提示")), QColor(Qt::black));
}

}  // namespace

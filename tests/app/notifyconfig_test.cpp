// Page "通知" and the proxy box of the settings window.
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/configdlg.h"
#include "base/ini.h"
#include "support/qt_application.h"
#include "support/tempdir.h"

namespace {

class NotifyConfigTest : public ::testing::Test {
 protected:
  std::string Key(const char* section, const char* key) {
    return IniGetString(home.File("config.ini"), section, key, "<missing>");
  }
  QApplication& app = TestApplication();
  TempDir home{true};
};

TEST_F(NotifyConfigTest, SaveWritesSectionNotifyForTheOwnerOnly) {
  IniWriteString(home.File("config.ini"), "Notify", "NtfyUrl", "http://127.0.0.1:1/t");
  CConfigContext context;
  context.notify.statuses = [] {
    std::map<NotifyChannel, ChannelStatus> statuses;
    statuses[NotifyChannel::kNtfy].lastError = "HTTP 500";
    statuses[NotifyChannel::kNtfy].lastErrorTime = "2026-12-09 10:00:00";
    statuses[NotifyChannel::kWebhook].sent = 2;
    return statuses;
  };
  CConfigDlg dialog(context);
  dialog.ShowPage(2);
  CNotifyConfigDlg* page = dialog.NotifyPage();
  EXPECT_EQ(page->Edit("NtfyUrl")->text(), QStringLiteral("http://127.0.0.1:1/t"));
  EXPECT_EQ(page->Edit("TelegramApi")->text(), QStringLiteral("https://api.telegram.org"));
  EXPECT_EQ(page->StatusLabel(NotifyChannel::kNtfy)->text(),
            QStringLiteral("发送失败（2026-12-09 10:00:00）：HTTP 500"));
  EXPECT_EQ(page->StatusLabel(NotifyChannel::kMail)->text(), QStringLiteral("未开启"));

  page->Edit("WebhookUrl")->setText(QStringLiteral("http://127.0.0.1:2/hook"));
  page->Edit("MailPassword")->setText(QStringLiteral("s3cret"));
  page->DesktopBox()->setChecked(true);
  page->SaveButton()->click();
  EXPECT_EQ(Key("Notify", "WebhookUrl"), "http://127.0.0.1:2/hook");
  EXPECT_EQ(Key("Notify", "MailPassword"), "s3cret");
  EXPECT_EQ(Key("Notify", "Desktop"), "1");
  EXPECT_EQ(dialog.ResultLine()->text(), QStringLiteral("通知设置保存成功"));
  EXPECT_EQ(page->StatusLabel(NotifyChannel::kWebhook)->text(),
            QStringLiteral("已开启，发送成功 2 次"));
  struct stat info {};
  ASSERT_EQ(stat(home.File("config.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(NotifyConfigTest, TestSaysWhetherTheChannelIsOffOrTheMessageWentOut) {
  std::vector<NotifyChannel> sent;
  CConfigContext context;
  context.notify.statuses = [] {
    std::map<NotifyChannel, ChannelStatus> statuses;
    statuses[NotifyChannel::kDesktop] = {0, 1, "no D-Bus", "没有桌面会话总线",
                                         "2026-12-09 10:00:00"};
    return statuses;
  };
  context.notify.sendTest = [&sent](NotifyChannel channel) { sent.push_back(channel); };
  CConfigDlg dialog(context);
  CNotifyConfigDlg* page = dialog.NotifyPage();
  EXPECT_EQ(page->StatusLabel(NotifyChannel::kDesktop)->text(),
            QStringLiteral("发送失败（2026-12-09 10:00:00）：没有桌面会话总线"));
  page->TestButton(NotifyChannel::kMail)->click();
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(dialog.ResultLine()->text(), QStringLiteral("邮件未开启，不能测试：请先填写它的设置"));
  page->Edit("NtfyUrl")->setText(QStringLiteral("http://127.0.0.1:1/t"));
  page->TestButton(NotifyChannel::kNtfy)->click();
  EXPECT_EQ(sent, std::vector<NotifyChannel>{NotifyChannel::kNtfy});
  EXPECT_EQ(dialog.ResultLine()->text(),
            QStringLiteral("测试消息已交给发送，结果见它的状态：ntfy"));
}

TEST_F(NotifyConfigTest, ProxyBoxStoresOnlyProxyLinks) {
  CConfigDlg dialog(CConfigContext{});
  QLineEdit* proxy = dialog.AppPage()->ProxyEdit();
  const struct {
    const char* typed;
    const char* stored;
    const char* said;
  } cases[] = {
      {"socks5://127.0.0.1:1080", "socks5://127.0.0.1:1080", ""},
      {"ftp://127.0.0.1:21", "socks5://127.0.0.1:1080", "代理设置无效"},  // the last one stays
      {" http://127.0.0.1:3128 ", "http://127.0.0.1:3128", ""},
      {"proxy.example:3128", "http://proxy.example:3128", ""},  // shown as it is taken
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    dialog.ResultLine()->clear();
    proxy->setText(QString::fromUtf8(c.typed));
    emit proxy->editingFinished();
    EXPECT_EQ(Key("Base", "Proxy"), c.stored);
    EXPECT_EQ(dialog.ResultLine()->text(), QString::fromUtf8(c.said));
    if (*c.said == '\0') {
      EXPECT_EQ(proxy->text().trimmed(), QString::fromUtf8(c.stored));
    }
  }
}

}  // namespace

// The notification channels against servers on 127.0.0.1 that check what
// they receive, and the notifier's tries, statuses and log.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/files.h"
#include "base/ini.h"
#include "services/notify.h"
#include "support/fake_smtp_server.h"
#include "support/http_server.h"
#include "support/tempdir.h"

namespace {

using namespace std::chrono_literals;

ToldMessage Drop() {
  ToldMessage message;
  message.productName = Utf8ToLocal("电热水壶");
  message.link = "http://shop.example/1.html";
  message.oldPrice = "99.00";
  message.newPrice = "89.00";
  message.stock = 1;
  message.text = Utf8ToLocal("电热水壶价格变为89.00");
  message.time = "2026-12-09 10:00:00";
  return message;
}

void SetNotify(TempDir& home, const char* key, const std::string& value) {
  IniWriteString(home.File("config.ini"), "Notify", key, value);
}

class NotifyTest : public testing::Test {
 protected:
  TempDir home{true};
  TestHttpServer http;
};

TEST_F(NotifyTest, EachChannelSendsWhatItsServerExpects) {
  FakeSmtpServer smtp;
  http.Post("/hook", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
  http.Post("/ntfy/prices", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("{}", "application/json");
  });
  http.Post("/botT0KEN/sendMessage", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"ok":true,"result":{}})", "application/json");
  });
  SetNotify(home, "MailUrl", smtp.Url());
  SetNotify(home, "MailFrom", "tracker@example.org");
  SetNotify(home, "MailTo", "me@example.org; you@example.org");
  SetNotify(home, "WebhookUrl", http.Url("/hook"));
  SetNotify(home, "WebhookHeaders", "X-Key: abc|X-Other: 2");
  SetNotify(home, "NtfyUrl", http.Url("/ntfy/prices"));
  SetNotify(home, "NtfyToken", "tk_1");
  SetNotify(home, "TelegramToken", "T0KEN");
  SetNotify(home, "TelegramChat", "-100");
  SetNotify(home, "TelegramApi", http.Url("/"));

  const NotifySettings settings = ReadNotifySettings();
  for (NotifyChannel channel : kAllChannels) {
    SCOPED_TRACE(ChannelName(channel));
    EXPECT_EQ(ChannelEnabled(settings, channel), channel != NotifyChannel::kDesktop);
    if (channel != NotifyChannel::kDesktop) {
      EXPECT_EQ(SendToChannel(channel, settings, Drop(), nullptr), "");
    }
  }

  const std::vector<ReceivedMail> mails = smtp.Mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].from, "<tracker@example.org>");
  EXPECT_EQ(mails[0].recipients,
            (std::vector<std::string>{"<me@example.org>", "<you@example.org>"}));
  EXPECT_NE(mails[0].data.find("Subject: =?UTF-8?B?"), std::string::npos);
  EXPECT_NE(mails[0].data.find("\r\n\r\n电热水壶价格变为89.00\r\nhttp://shop.example/1.html\r\n"),
            std::string::npos)
      << mails[0].data;

  const httplib::Headers hook = http.LastHeaders("/hook");
  EXPECT_EQ(hook.find("X-Key")->second, "abc");
  EXPECT_EQ(hook.find("X-Other")->second, "2");
  const auto body = nlohmann::json::parse(http.LastBody("/hook"));
  EXPECT_EQ(body["name"], "电热水壶");
  EXPECT_EQ(body["old_price"], "99.00");
  EXPECT_EQ(body["new_price"], "89.00");
  EXPECT_EQ(body["stock"], 1);
  EXPECT_EQ(body["stock_text"], "有货");
  EXPECT_EQ(body["link"], "http://shop.example/1.html");
  EXPECT_EQ(body["time"], "2026-12-09 10:00:00");

  EXPECT_EQ(http.LastHeaders("/ntfy/prices").find("Authorization")->second, "Bearer tk_1");
  EXPECT_EQ(http.LastBody("/ntfy/prices").rfind("电热水壶价格变为89.00\n", 0), 0u);

  const auto telegram = nlohmann::json::parse(http.LastBody("/botT0KEN/sendMessage"));
  EXPECT_EQ(telegram["chat_id"], "-100");
  EXPECT_NE(telegram["text"].get<std::string>().find("89.00"), std::string::npos);
}

TEST_F(NotifyTest, ChannelsOffAndRefusedAreReported) {
  NotifySettings off = ReadNotifySettings();
  for (NotifyChannel channel : kAllChannels) EXPECT_FALSE(ChannelEnabled(off, channel));
  EXPECT_EQ(off.telegramApi, kDefaultTelegramApi);

  http.Post("/tg/botX/sendMessage", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"ok":false})", "application/json");
  });
  NotifySettings settings;
  settings.webhookUrl = http.Url("/hook");
  settings.webhookHeaders = "no colon here";
  settings.telegramToken = "X";
  settings.telegramApi = http.Url("/tg");
  settings.mailUrl = "smtp://127.0.0.1:1";
  const struct {
    NotifyChannel channel;
    const char* error;
  } cases[] = {
      {NotifyChannel::kWebhook, "WebhookHeaders: not a \"Name: value\" header: no colon here"},
      {NotifyChannel::kTelegram, "TelegramChat is empty"},
      {NotifyChannel::kMail, "MailTo is empty"},
      {NotifyChannel::kDesktop, "no desktop notification service in this program"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ChannelName(c.channel));
    EXPECT_EQ(SendToChannel(c.channel, settings, Drop(), nullptr), c.error);
  }
  settings.telegramChat = "1";
  EXPECT_EQ(SendToChannel(NotifyChannel::kTelegram, settings, Drop(), nullptr),
            "Telegram did not accept the message");
}

TEST_F(NotifyTest, FailuresAreToldInChineseBesideTheirDetail) {
  http.Post("/broken", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
  NotifySettings settings;
  settings.webhookUrl = http.Url("/broken");
  settings.ntfyUrl = "ftp://127.0.0.1/t";
  const std::pair<NotifyChannel, const char*> cases[] = {
      {NotifyChannel::kMail, "没有填写收件人"},
      {NotifyChannel::kWebhook, "服务器回答 HTTP 500"},
      {NotifyChannel::kNtfy, "地址不对"},
      {NotifyChannel::kDesktop, "这个程序不能显示桌面通知"}};
  for (const auto& [channel, text] : cases)
    EXPECT_EQ(TryChannelOnce(channel, settings, Drop(), nullptr).text, text)
        << ChannelName(channel);
  // The notifier keeps it beside the detail for the settings window.
  SetNotify(home, "WebhookUrl", http.Url("/broken"));
  CNotifier notifier(1ms);
  notifier.Tell(Drop());
  notifier.Flush();
  EXPECT_EQ(notifier.Statuses().at(NotifyChannel::kWebhook).lastErrorText, "服务器回答 HTTP 500");
}

TEST_F(NotifyTest, FailingChannelIsRetriedAndReportedWithoutHoldingTheCaller) {
  std::atomic<bool> release{false};
  http.Post("/broken", [&](const httplib::Request&, httplib::Response& res) {
    while (!release) std::this_thread::sleep_for(1ms);
    res.status = 500;
  });
  http.Post("/ntfy", [](const httplib::Request&, httplib::Response&) {});
  SetNotify(home, "WebhookUrl", http.Url("/broken"));
  SetNotify(home, "NtfyUrl", http.Url("/ntfy"));

  std::vector<std::string> desktopShown;
  {
    CNotifier notifier(1ms);
    notifier.SetDesktop([&](const std::string& title, const std::string&) {
      desktopShown.push_back(title);
      return std::string();
    });
    SetNotify(home, "Desktop", "1");
    // The caller (a tracking pass) goes on while the webhook hangs.
    notifier.Tell(Drop());
    notifier.Tell(Drop());
    // ntfy has a queue of its own: the hanging webhook does not hold it.
    for (int i = 0; i < 1000 && http.Requests("/ntfy") < 2; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(http.Requests("/ntfy"), 2);
    release = true;
    notifier.Flush();

    const auto statuses = notifier.Statuses();
    EXPECT_EQ(http.Requests("/broken"), 6);  // three tries for each message
    EXPECT_EQ(statuses.at(NotifyChannel::kWebhook).failed, 2);
    EXPECT_EQ(statuses.at(NotifyChannel::kWebhook).lastError, "HTTP 500");
    EXPECT_EQ(statuses.at(NotifyChannel::kNtfy).sent, 2);
    EXPECT_EQ(statuses.at(NotifyChannel::kDesktop).sent, 2);
    EXPECT_EQ(http.Requests("/ntfy"), 2);

    notifier.TellChannel(NotifyChannel::kNtfy, Drop());
    notifier.Flush();
    EXPECT_EQ(http.Requests("/ntfy"), 3);
    EXPECT_EQ(http.Requests("/broken"), 6);
  }
  EXPECT_EQ(desktopShown, std::vector<std::string>(2, "电热水壶"));
  std::string log;
  ASSERT_TRUE(ReadWholeFile(home.File("notify.log"), log));
  EXPECT_NE(log.find("\twebhook\tHTTP 500\n"), std::string::npos) << log;
}

// A webhook that never answers can't hold the program's exit; what it did
// not send is in notify.log.
TEST_F(NotifyTest, AHangingChannelHoldsNoExitAndItsMessagesAreLogged) {
  // Shared with the server: a request broken off may reach the handler only
  // after this test's body has ended.
  auto release = std::make_shared<std::atomic<bool>>(false);
  http.Post("/hang", [release](const httplib::Request&, httplib::Response&) {
    while (!*release) std::this_thread::sleep_for(1ms);
  });
  SetNotify(home, "WebhookUrl", http.Url("/hang"));
  {
    CNotifier notifier(1ms);
    notifier.Tell(Drop());
    notifier.Tell(Drop());
    EXPECT_FALSE(notifier.Flush(50ms));
  }
  *release = true;
  std::string log;
  ASSERT_TRUE(ReadWholeFile(home.File("notify.log"), log));
  const std::string line = "\twebhook\tunsent at exit: 电热水壶价格变为89.00\n";
  const size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find(line, first + 1), std::string::npos) << log;
}

}  // namespace

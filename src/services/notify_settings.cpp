// Section "Notify" of config.ini and the names of the channels.
#include <strings.h>
#include <sys/stat.h>

#include "base/codepage.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "base/timetext.h"
#include "services/notify.h"

namespace {

constexpr const char* kSection = "Notify";

// Each key with the field it fills.
struct NotifyKey {
  const char* key;
  std::string NotifySettings::*field;
};
const NotifyKey kTextKeys[] = {
    {"MailUrl", &NotifySettings::mailUrl},
    {"MailUser", &NotifySettings::mailUser},
    {"MailPassword", &NotifySettings::mailPassword},
    {"MailFrom", &NotifySettings::mailFrom},
    {"MailTo", &NotifySettings::mailTo},
    {"WebhookUrl", &NotifySettings::webhookUrl},
    {"WebhookHeaders", &NotifySettings::webhookHeaders},
    {"NtfyUrl", &NotifySettings::ntfyUrl},
    {"NtfyToken", &NotifySettings::ntfyToken},
    {"TelegramToken", &NotifySettings::telegramToken},
    {"TelegramChat", &NotifySettings::telegramChat},
    {"TelegramApi", &NotifySettings::telegramApi},
};

}  // namespace

const char* ChannelName(NotifyChannel channel) {
  switch (channel) {
    case NotifyChannel::kMail:
      return "mail";
    case NotifyChannel::kWebhook:
      return "webhook";
    case NotifyChannel::kNtfy:
      return "ntfy";
    case NotifyChannel::kTelegram:
      return "telegram";
    case NotifyChannel::kDesktop:
      return "desktop";
  }
  return "";
}

bool ChannelFromName(const std::string& name, NotifyChannel& channel) {
  for (NotifyChannel each : kAllChannels) {
    if (strcasecmp(name.c_str(), ChannelName(each)) == 0) {
      channel = each;
      return true;
    }
  }
  return false;
}

ToldMessage MakeTestMessage() {
  ToldMessage message;
  message.kind = "test";
  message.productName = Utf8ToLocal("万特尔");
  message.text = Utf8ToLocal("通知测试：这条消息来自万特尔。");
  message.time = FormatNowText();
  return message;
}

NotifySettings ReadNotifySettings() {
  const std::string config = ProgramFile("config.ini");
  NotifySettings settings;
  for (const NotifyKey& key : kTextKeys)
    settings.*key.field = IniGetString(config, kSection, key.key, settings.*key.field);
  if (settings.telegramApi.empty()) settings.telegramApi = kDefaultTelegramApi;
  settings.desktop = IniGetInt(config, kSection, "Desktop", 0) != 0;
  return settings;
}

bool WriteNotifySettings(const NotifySettings& settings) {
  const std::string config = ProgramFile("config.ini");
  bool ok = true;
  for (const NotifyKey& key : kTextKeys)
    ok = IniWriteString(config, kSection, key.key, settings.*key.field) && ok;
  ok = IniWriteString(config, kSection, "Desktop", settings.desktop ? "1" : "0") && ok;
  // Passwords and tokens: the owner's eyes only.
  chmod(config.c_str(), 0600);
  return ok;
}

bool ChannelEnabled(const NotifySettings& settings, NotifyChannel channel) {
  switch (channel) {
    case NotifyChannel::kMail:
      return !settings.mailUrl.empty();
    case NotifyChannel::kWebhook:
      return !settings.webhookUrl.empty();
    case NotifyChannel::kNtfy:
      return !settings.ntfyUrl.empty();
    case NotifyChannel::kTelegram:
      return !settings.telegramToken.empty();
    case NotifyChannel::kDesktop:
      return settings.desktop;
  }
  return false;
}

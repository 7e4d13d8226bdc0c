#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/told.h"

// The notification channels: e-mail over SMTP, a webhook, ntfy, Telegram and
// the desktop's notification service, set in section "Notify" of config.ini.
// An empty link or token switches a channel off.

enum class NotifyChannel { kMail, kWebhook, kNtfy, kTelegram, kDesktop };

inline constexpr NotifyChannel kAllChannels[] = {NotifyChannel::kMail, NotifyChannel::kWebhook,
                                                 NotifyChannel::kNtfy, NotifyChannel::kTelegram,
                                                 NotifyChannel::kDesktop};

// "mail", "webhook", "ntfy", "telegram", "desktop".
const char* ChannelName(NotifyChannel channel);
// The channel of a name (any case); false for none.
bool ChannelFromName(const std::string& name, NotifyChannel& channel);

inline constexpr const char* kDefaultTelegramApi = "https://api.telegram.org";

// The keys of section "Notify", in the local code page.
struct NotifySettings {
  std::string mailUrl;  // smtp://host:port or smtps://host:port
  std::string mailUser;
  std::string mailPassword;
  std::string mailFrom;
  std::string mailTo;  // addresses separated by "," or ";"
  std::string webhookUrl;
  std::string webhookHeaders;  // "Name: value" lines joined by "|"
  std::string ntfyUrl;         // the topic's link
  std::string ntfyToken;
  std::string telegramToken;
  std::string telegramChat;
  std::string telegramApi = kDefaultTelegramApi;
  bool desktop = false;
};

// From config.ini of the program directory; missing keys keep the defaults.
NotifySettings ReadNotifySettings();
// Writes every key; config.ini holds passwords and tokens then, so it is
// kept readable by its owner only. False when a key could not be written.
bool WriteNotifySettings(const NotifySettings& settings);

bool ChannelEnabled(const NotifySettings& settings, NotifyChannel channel);

// Shows a desktop notification; "" when shown, else why not. The window
// program provides one (over D-Bus); without one the channel reports that
// no notification service is reachable.
using DesktopNotifyFunction =
    std::function<std::string(const std::string& utf8Title, const std::string& utf8Body)>;

// While it lives, the exchanges SendToChannel makes on this thread break off
// within about a second once `stop` turns true: a channel that never answers
// can't hold the program's exit.
class CSendStopScope {
 public:
  explicit CSendStopScope(const std::atomic<bool>& stop);
  ~CSendStopScope();
  CSendStopScope(const CSendStopScope&) = delete;
  CSendStopScope& operator=(const CSendStopScope&) = delete;

 private:
  const std::atomic<bool>* m_outer;
};

// Why one try of a channel failed: the detail as the channel gave it
// (notify.log, `vantrelctl notify-test`) and what the settings window says
// (UTF-8, in Chinese). Both empty on success.
struct ChannelFailure {
  std::string detail;
  std::string text;
  bool Failed() const { return !detail.empty(); }
};

// One try of one channel.
ChannelFailure TryChannelOnce(NotifyChannel channel, const NotifySettings& settings,
                              const ToldMessage& message, const DesktopNotifyFunction& desktop);
// The same: "" on success, else the failure's detail.
std::string SendToChannel(NotifyChannel channel, const NotifySettings& settings,
                          const ToldMessage& message, const DesktopNotifyFunction& desktop);

// The message of "测试" and `vantrelctl notify-test`.
ToldMessage MakeTestMessage();

// The JSON object a webhook receives (UTF-8).
std::string WebhookBody(const ToldMessage& message);

// How a channel fared lately.
struct ChannelStatus {
  int sent = 0;
  int failed = 0;             // messages given up after every try
  std::string lastError;      // of the last message given up; "" after a success
  std::string lastErrorText;  // the same as the settings window says it
  std::string lastErrorTime;
};

// Sends told messages, each channel on a thread and queue of its own, so
// that neither a tracking pass, nor the window, nor another channel ever
// waits for a channel. Each enabled channel gets three tries per message,
// waiting `firstWait`, then twice that, between them; a message given up is
// logged to notify.log of the program directory and shown in the channel's
// status. Settings are read from config.ini for each message, so changes
// count at once.
class CNotifier {
 public:
  explicit CNotifier(std::chrono::milliseconds firstWait = std::chrono::seconds(5));
  // Breaks off the tries that are running (within about a second) and logs
  // to notify.log every message a channel did not send.
  ~CNotifier();
  CNotifier(const CNotifier&) = delete;
  CNotifier& operator=(const CNotifier&) = delete;

  void SetDesktop(DesktopNotifyFunction desktop);
  // Queues the message for every enabled channel; returns at once.
  void Tell(const ToldMessage& message);
  // The same, for one channel only (a test message).
  void TellChannel(NotifyChannel channel, const ToldMessage& message);
  // Returns once every message queued so far has been handled.
  void Flush();
  // The same, waiting at most `wait`; true when everything was handled.
  bool Flush(std::chrono::milliseconds wait);
  // As a TellFunction for the tracker.
  TellFunction Teller();

  std::map<NotifyChannel, ChannelStatus> Statuses() const;

 private:
  struct Job {
    ToldMessage message;
    bool forced = false;  // a test message: sent even when the channel is off
  };
  // One channel's queue and thread.
  struct Lane {
    NotifyChannel channel;
    std::deque<Job> jobs;
    bool busy = false;
    std::thread thread;
  };
  void Run(Lane& lane);
  void Deliver(NotifyChannel channel, const Job& job);
  ChannelFailure TryChannel(NotifyChannel channel, const NotifySettings& settings,
                            const ToldMessage& message);
  // Waits between tries; false when the notifier is stopping.
  bool Pause(std::chrono::milliseconds wait);
  bool AllHandled() const;  // under m_lock

  const std::chrono::milliseconds m_firstWait;
  mutable std::mutex m_lock;
  std::condition_variable m_changed;
  bool m_stopping = false;
  std::atomic<bool> m_stop{false};  // m_stopping for the exchanges under way
  DesktopNotifyFunction m_desktop;
  std::map<NotifyChannel, ChannelStatus> m_statuses;
  std::vector<std::unique_ptr<Lane>> m_lanes;
};

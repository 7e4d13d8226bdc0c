// One try of one channel, over libcurl: SMTP for e-mail, an HTTP POST for
// the webhook, ntfy and Telegram.
#include <algorithm>
#include <atomic>
#include <ctime>
#include <string>
#include <vector>

#include <curl/curl.h>

#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/stringtable.h"
#include "engine/cookies.h"
#include "engine/curlhandle.h"
#include "engine/proxy.h"
#include "engine/spider.h"
#include "engine/tracking.h"
#include "services/notify.h"

namespace {

// No channel may hold the sending thread for long.
constexpr long kConnectSeconds = 15;
constexpr long kExchangeSeconds = 30;

// A header value must stay one header.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> Split(const std::string& text, const std::string& separators) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(separators, start);
    if (end == std::string::npos) end = text.size();
    const std::string part = Trim(text.substr(start, end - start));
    if (!part.empty()) parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

std::string Base64(const std::string& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

std::string Title(const ToldMessage& message) {
  return message.productName.empty() ? LocalToUtf8(message.text) : LocalToUtf8(message.productName);
}

// The text every channel shows: the change, the deal verdict, the link and
// the time.
std::string BodyText(const ToldMessage& message) {
  std::string body = LocalToUtf8(message.text);
  if (!message.verdict.empty()) body += "\n" + LocalToUtf8(message.verdict);
  if (!message.link.empty()) body += "\n" + LocalToUtf8(message.link);
  if (!message.time.empty()) body += "\n" + message.time;
  return body;
}

size_t KeepReply(char* data, size_t, size_t size, void* user) {
  auto* reply = static_cast<std::string*>(user);
  // A channel's answer is a line or two; more is not read.
  if (reply->size() < 65536) reply->append(data, std::min<size_t>(size, 65536 - reply->size()));
  return size;
}

thread_local const std::atomic<bool>* t_stop = nullptr;

// Called about once a second also while nothing arrives; non-zero breaks
// the exchange off.
int StopWhenAsked(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

// A failure: the detail as it stands, and the string-table text (with
// `more` after it) that the settings window shows.
ChannelFailure Fail(std::string detail, unsigned id, const std::string& more = std::string()) {
  return {std::move(detail), LoadStringUtf8(id) + more};
}

unsigned CurlFailureId(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return IDS_NOTIFY_NO_SERVER;
    case CURLE_COULDNT_CONNECT:
      return IDS_FAIL_NO_CONNECTION;
    case CURLE_OPERATION_TIMEDOUT:
      return IDS_FAIL_TIMED_OUT;
    case CURLE_LOGIN_DENIED:
      return IDS_NOTIFY_LOGIN_DENIED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return IDS_NOTIFY_TLS_FAILED;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return IDS_NOTIFY_BAD_ADDRESS;
    default:
      return IDS_NOTIFY_SEND_FAILED;
  }
}

// False when the proxy setting can't be used: nothing may be sent then.
bool CommonOptions(CURL* c, char* errorText) {
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, kExchangeSeconds);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
  if (t_stop) {
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &StopWhenAsked);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, t_stop);
  }
  return ApplyProxy(c);
}

ChannelFailure CurlError(CURLcode code, const char* errorText) {
  return Fail(errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(code)),
              CurlFailureId(code));
}

ChannelFailure CannotStart() { return Fail("curl_easy_init failed", IDS_NOTIFY_SEND_FAILED); }

// Nothing goes out while the proxy setting can't be used.
ChannelFailure ProxyRefused() { return Fail(LoadStringUtf8(IDS_PROXY_INVALID), IDS_PROXY_INVALID); }

// POSTs `body`; no failure for a 2xx reply. `reply` gets the body.
ChannelFailure Post(const std::string& url, const std::string& body,
                    const std::vector<std::string>& headers, std::string* reply = nullptr) {
  InitCurlOnce();
  CurlEasy curl(curl_easy_init());
  if (!curl) return CannotStart();
  curl_slist* list = curl_slist_append(nullptr, "Expect:");
  for (const std::string& header : headers) list = curl_slist_append(list, OneLine(header).c_str());
  CurlHeaderList owned(list);
  std::string answer;
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Vantrel");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &KeepReply);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
  if (!CommonOptions(c, errorText)) return ProxyRefused();
  const CURLcode code = curl_easy_perform(c);
  if (code != CURLE_OK) return CurlError(code, errorText);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (reply) *reply = answer;
  if (status < 200 || status > 299)
    return Fail("HTTP " + std::to_string(status), IDS_NOTIFY_HTTP_STATUS, std::to_string(status));
  return {};
}

std::string MailDate() {
  char text[64];
  const time_t now = std::time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S %z", &local);
  return text;
}

struct MailUpload {
  std::string text;
  size_t sent = 0;
};

size_t ReadMail(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<MailUpload*>(user);
  const size_t n = std::min(size * count, upload->text.size() - upload->sent);
  upload->text.copy(buffer, n, upload->sent);
  upload->sent += n;
  return n;
}

ChannelFailure SendMail(const NotifySettings& settings, const ToldMessage& message) {
  const std::vector<std::string> to = Split(OneLine(settings.mailTo), ",;");
  if (to.empty()) return Fail("MailTo is empty", IDS_NOTIFY_MAIL_TO_EMPTY);
  const std::string from = Trim(OneLine(settings.mailFrom));
  if (from.empty()) return Fail("MailFrom is empty", IDS_NOTIFY_MAIL_FROM_EMPTY);
  std::string joined;
  for (const std::string& address : to) joined += (joined.empty() ? "" : ", ") + address;
  MailUpload upload;
  upload.text = "Date: " + MailDate() + "\r\nFrom: " + from + "\r\nTo: " + joined +
                "\r\nSubject: =?UTF-8?B?" + Base64(Title(message)) +
                "?=\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                "Content-Transfer-Encoding: 8bit\r\n\r\n";
  for (const std::string& line : Split(BodyText(message), "\n")) upload.text += line + "\r\n";

  InitCurlOnce();
  CurlEasy curl(curl_easy_init());
  if (!curl) return CannotStart();
  curl_slist* list = nullptr;
  for (const std::string& address : to)
    list = curl_slist_append(list, ("<" + address + ">").c_str());
  CurlHeaderList recipients(list);
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, settings.mailUrl.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, ("<" + from + ">").c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, list);
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, &ReadMail);
  curl_easy_setopt(c, CURLOPT_READDATA, &upload);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.text.size()));
  if (!settings.mailUser.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, settings.mailUser.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, settings.mailPassword.c_str());
  }
  // A password never travels in the clear: with one, smtp:// must switch to
  // TLS (STARTTLS); without, TLS is used when the server offers it.
  curl_easy_setopt(c, CURLOPT_USE_SSL,
                   settings.mailUser.empty() ? static_cast<long>(CURLUSESSL_TRY)
                                             : static_cast<long>(CURLUSESSL_ALL));
  if (!CommonOptions(c, errorText)) return ProxyRefused();
  const CURLcode code = curl_easy_perform(c);
  return code == CURLE_OK ? ChannelFailure{} : CurlError(code, errorText);
}

ChannelFailure SendWebhook(const NotifySettings& settings, const ToldMessage& message) {
  std::vector<std::string> headers{"Content-Type: application/json; charset=utf-8"};
  for (const std::string& header : Split(LocalToUtf8(settings.webhookHeaders), "|")) {
    if (header.find(':') == std::string::npos || header.front() == ':')
      return Fail("WebhookHeaders: not a \"Name: value\" header: " + header, IDS_NOTIFY_BAD_HEADER,
                  header);
    headers.push_back(header);
  }
  return Post(settings.webhookUrl, WebhookBody(message), headers);
}

ChannelFailure SendNtfy(const NotifySettings& settings, const ToldMessage& message) {
  std::vector<std::string> headers{"Content-Type: text/plain; charset=utf-8",
                                   "Title: =?UTF-8?B?" + Base64(Title(message)) + "?="};
  if (!message.link.empty()) headers.push_back("Click: " + message.link);
  if (!settings.ntfyToken.empty()) headers.push_back("Authorization: Bearer " + settings.ntfyToken);
  return Post(settings.ntfyUrl, BodyText(message), headers);
}

ChannelFailure SendTelegram(const NotifySettings& settings, const ToldMessage& message) {
  if (settings.telegramChat.empty()) return Fail("TelegramChat is empty", IDS_NOTIFY_CHAT_EMPTY);
  std::string api = settings.telegramApi.empty() ? kDefaultTelegramApi : settings.telegramApi;
  while (!api.empty() && api.back() == '/') api.pop_back();
  nlohmann::json body;
  body["chat_id"] = LocalToUtf8(settings.telegramChat);
  body["text"] = Title(message) + "\n" + BodyText(message);
  body["disable_web_page_preview"] = true;
  std::string reply;
  ChannelFailure failure = Post(api + "/bot" + settings.telegramToken + "/sendMessage",
                                body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                                {"Content-Type: application/json"}, &reply);
  if (failure.Failed()) return failure;
  const nlohmann::json answer = nlohmann::json::parse(reply, nullptr, false);
  if (answer.is_object() && answer.value("ok", false)) return {};
  return Fail("Telegram did not accept the message", IDS_NOTIFY_TELEGRAM_REFUSED);
}

}  // namespace

std::string WebhookBody(const ToldMessage& message) {
  nlohmann::json body;
  body["kind"] = message.kind;
  body["name"] = LocalToUtf8(message.productName);
  body["link"] = LocalToUtf8(message.link);
  body["old_price"] = LocalToUtf8(message.oldPrice);
  body["new_price"] = LocalToUtf8(message.newPrice);
  body["currency"] = LocalToUtf8(message.currency);
  body["stock"] = message.stock;
  body["stock_text"] = LocalToUtf8(StockWord(message.stock));
  body["text"] = LocalToUtf8(message.text);
  body["verdict"] = LocalToUtf8(message.verdict);
  body["time"] = message.time;
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

CSendStopScope::CSendStopScope(const std::atomic<bool>& stop) : m_outer(t_stop) { t_stop = &stop; }

CSendStopScope::~CSendStopScope() { t_stop = m_outer; }

std::string SendToChannel(NotifyChannel channel, const NotifySettings& settings,
                          const ToldMessage& message, const DesktopNotifyFunction& desktop) {
  return TryChannelOnce(channel, settings, message, desktop).detail;
}

ChannelFailure TryChannelOnce(NotifyChannel channel, const NotifySettings& settings,
                              const ToldMessage& message, const DesktopNotifyFunction& desktop) {
  switch (channel) {
    case NotifyChannel::kMail:
      return SendMail(settings, message);
    case NotifyChannel::kWebhook:
      return SendWebhook(settings, message);
    case NotifyChannel::kNtfy:
      return SendNtfy(settings, message);
    case NotifyChannel::kTelegram:
      return SendTelegram(settings, message);
    case NotifyChannel::kDesktop: {
      if (!desktop)
        return Fail("no desktop notification service in this program", IDS_NOTIFY_NO_DESKTOP_HERE);
      // The window program's service says why in the window's words.
      std::string error = desktop(Title(message), BodyText(message));
      return {error, error};
    }
  }
  return Fail("unknown channel", IDS_NOTIFY_SEND_FAILED);
}

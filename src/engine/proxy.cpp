#include "engine/proxy.h"

#include <strings.h>

#include <mutex>
#include <set>

#include "base/ini.h"
#include "base/message.h"
#include "base/programdir.h"
#include "base/stringtable.h"

namespace {

bool HasScheme(const std::string& proxy, const char* scheme) {
  const std::string prefix = std::string(scheme) + "://";
  return proxy.size() > prefix.size() &&
         strncasecmp(proxy.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// "host" or "host:port" with a plain host name or IPv4 address.
bool IsHostAndPort(const std::string& text) {
  const size_t colon = text.find(':');
  const std::string host = text.substr(0, colon);
  const std::string port = colon == std::string::npos ? "0" : text.substr(colon + 1);
  return !host.empty() &&
         host.find_first_not_of(
             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") ==
             std::string::npos &&
         !port.empty() && port.size() <= 5 &&
         port.find_first_not_of("0123456789") == std::string::npos;
}

bool HasHost(const std::string& link) {
  CURLU* url = curl_url();
  if (!url) return false;
  char* host = nullptr;
  const bool ok =
      curl_url_set(url, CURLUPART_URL, link.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host;
  curl_free(host);
  curl_url_cleanup(url);
  return ok;
}

// Each unusable setting is told once, not once per request.
void TellUnusable(const std::string& setting) {
  static std::mutex lock;
  static std::set<std::string> told;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!told.insert(setting).second) return;
  }
  ShowMessageText(IDS_PROXY_INVALID, kMessageInfo,
                  LoadString(IDS_PROXY_INVALID) + ": [Base] Proxy=" + setting);
}

}  // namespace

std::string ProxySetting() { return IniGetString(ProgramFile("config.ini"), "Base", "Proxy", ""); }

bool ProxyLink(const std::string& setting, std::string& link) {
  link.clear();
  if (setting.empty()) return true;
  if (setting.find("://") == std::string::npos) {
    if (!IsHostAndPort(setting)) return false;
    link = "http://" + setting;
    return true;
  }
  bool known = false;
  for (const char* scheme : {"http", "https", "socks5", "socks5h"})
    known = known || HasScheme(setting, scheme);
  if (!known || !HasHost(setting)) return false;
  link = setting;
  return true;
}

bool IsValidProxy(const std::string& proxy) {
  std::string link;
  return ProxyLink(proxy, link);
}

bool ApplyProxy(CURL* curl) {
  const std::string setting = ProxySetting();
  std::string link;
  if (!ProxyLink(setting, link)) {
    TellUnusable(setting);
    return false;
  }
  if (link.empty()) return true;
  curl_easy_setopt(curl, CURLOPT_PROXY, link.c_str());
  // The environment's no_proxy must not send a request around the setting.
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  return true;
}

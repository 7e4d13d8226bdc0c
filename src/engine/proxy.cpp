#include "engine/proxy.h"

#include <strings.h>

#include "base/ini.h"
#include "base/programdir.h"

namespace {

bool HasScheme(const std::string& proxy, const char* scheme) {
  const std::string prefix = std::string(scheme) + "://";
  return proxy.size() > prefix.size() &&
         strncasecmp(proxy.c_str(), prefix.c_str(), prefix.size()) == 0;
}

}  // namespace

std::string ProxySetting() { return IniGetString(ProgramFile("config.ini"), "Base", "Proxy", ""); }

bool IsValidProxy(const std::string& proxy) {
  if (proxy.empty()) return true;
  bool known = false;
  for (const char* scheme : {"http", "https", "socks5", "socks5h"})
    known = known || HasScheme(proxy, scheme);
  if (!known) return false;
  CURLU* url = curl_url();
  if (!url) return false;
  char* host = nullptr;
  const bool ok =
      curl_url_set(url, CURLUPART_URL, proxy.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host;
  curl_free(host);
  curl_url_cleanup(url);
  return ok;
}

void ApplyProxy(CURL* curl) {
  const std::string proxy = ProxySetting();
  if (proxy.empty() || !IsValidProxy(proxy)) return;
  curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
}

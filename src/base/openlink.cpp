#include "base/openlink.h"

#include <mutex>

#include "base/codepage.h"
#include "base/spawn.h"

namespace {

std::mutex g_openerLock;
LinkOpener g_opener;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsOpenableLink(const std::string& utf8Url) {
  size_t hostAt = 0;
  if (StartsWithNoCase(utf8Url, "http://"))
    hostAt = 7;
  else if (StartsWithNoCase(utf8Url, "https://"))
    hostAt = 8;
  else
    return false;
  // A host is needed; control characters would let a link smuggle a second
  // line into whatever reads it.
  if (hostAt >= utf8Url.size() || utf8Url[hostAt] == '/') return false;
  for (unsigned char c : utf8Url)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

bool OpenLink(const std::string& localUrl) {
  const std::string url = LocalToUtf8(localUrl);
  if (!IsOpenableLink(url)) return false;
  LinkOpener opener;
  {
    std::lock_guard lock(g_openerLock);
    opener = g_opener;
  }
  if (opener)
    opener(url);
  else
    SpawnDetached("xdg-open", {url});
  return true;
}

void SetLinkOpener(LinkOpener opener) {
  std::lock_guard lock(g_openerLock);
  g_opener = std::move(opener);
}

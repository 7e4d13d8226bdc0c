#include "engine/commissionlink.h"

#include "engine/nocase.h"

bool IsCommissionLink(const std::string& answer) {
  // The service's links are "http://" ones; that is what callers open.
  constexpr size_t scheme = 7;
  if (!EqualNoCase(answer.substr(0, scheme), "http://")) return false;
  if (answer.size() == scheme || answer[scheme] == '/') return false;
  // A service answer is one short line; a page that starts with a link is not.
  if (answer.size() > 4096) return false;
  for (unsigned char c : answer)
    if (c <= 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"') return false;
  return true;
}

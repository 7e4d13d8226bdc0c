#include "base/stringtable.h"

#include <unordered_map>

#include "base/codepage.h"

namespace {

struct Entry {
  unsigned id;
  const char* utf8;
};

constexpr Entry kEntries[] = {
#define VANTREL_STRING(name, number, text) {number, text},
#include "base/strings.inc"
#undef VANTREL_STRING
};

const std::unordered_map<unsigned, std::string>& LocalTexts() {
  static const auto* texts = [] {
    auto* map = new std::unordered_map<unsigned, std::string>;
    for (const Entry& e : kEntries) (*map)[e.id] = Utf8ToLocal(e.utf8);
    return map;
  }();
  return *texts;
}

}  // namespace

std::string LoadString(unsigned id) {
  const auto& texts = LocalTexts();
  auto it = texts.find(id);
  return it == texts.end() ? std::string() : it->second;
}

std::string LoadStringUtf8(unsigned id) {
  for (const Entry& e : kEntries)
    if (e.id == id) return e.utf8;
  return {};
}

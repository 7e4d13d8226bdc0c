#include "text/regex.h"

#include <cstring>

#include "text/regex_internal.h"
#include "text/regex_match.h"

class RegexProgram {
 public:
  RegexProgramData data;
};

CRegexPattern::CRegexPattern() { SetPattern("", 0, 0); }
CRegexPattern::CRegexPattern(const std::string& pattern, int flags) { SetPattern(pattern, flags); }
CRegexPattern::~CRegexPattern() = default;
CRegexPattern::CRegexPattern(CRegexPattern&&) noexcept = default;
CRegexPattern& CRegexPattern::operator=(CRegexPattern&&) noexcept = default;

void CRegexPattern::SetPattern(const char* pattern, size_t length, int flags) {
  auto program = std::make_unique<RegexProgram>();
  program->data.flags = flags;
  RxTree tree;
  RxParse(pattern ? pattern : "", pattern ? length : 0, flags, tree);
  RxCompile(tree, program->data);
  m_program = std::move(program);
}

void CRegexPattern::SetPattern(const std::string& pattern, int flags) {
  SetPattern(pattern.data(), pattern.size(), flags);
}

std::string PatternLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    const bool plain =
        u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain) out += '\\';
    out += c;
  }
  return out;
}

int CRegexPattern::Flags() const { return m_program ? m_program->data.flags : 0; }

CRegexMatch CRegexPattern::Search(const char* text, int start) const {
  return SearchBytes(text, text ? std::strlen(text) : 0, start);
}

CRegexMatch CRegexPattern::Search(const std::string& text, int start) const {
  const void* zero = std::memchr(text.data(), 0, text.size());
  size_t length =
      zero ? static_cast<size_t>(static_cast<const char*>(zero) - text.data()) : text.size();
  return SearchBytes(text.data(), length, start);
}

int CRegexPattern::NextStart(const CRegexMatch& match) const {
  if (!match.Found()) return -1;
  bool empty = match.MatchBegin() == match.MatchEnd();
  if (Flags() & RX_RIGHT_TO_LEFT) return match.MatchBegin() - (empty ? 1 : 0);
  return match.MatchEnd() + (empty ? 1 : 0);
}

namespace {

// The last position of a byte (either case when folded), or -1.
long long LastOf(const uint8_t* s, size_t n, uint8_t c, bool icase) {
  long long last = -1;
  const void* hit = memrchr(s, c, n);
  if (hit) last = static_cast<const uint8_t*>(hit) - s;
  if (icase) {
    hit = memrchr(s, RxOtherCase(c), n);
    if (hit) last = std::max<long long>(last, static_cast<const uint8_t*>(hit) - s);
  }
  return last;
}

bool PrefixAt(const RegexProgramData& p, const uint8_t* s, size_t at) {
  const uint8_t* lit = reinterpret_cast<const uint8_t*>(p.prefix.data());
  if (!p.prefixIcase) return std::memcmp(s + at, lit, p.prefix.size()) == 0;
  for (size_t i = 0; i < p.prefix.size(); ++i)
    if (RxFold(s[at + i]) != RxFold(lit[i])) return false;
  return true;
}

// The next position from p on where the literal prefix occurs, or -1.
long long NextPrefix(const RegexProgramData& prog, const uint8_t* s, size_t n, size_t p) {
  size_t len = prog.prefix.size();
  if (prog.prefixScanAt >= 0) {
    size_t k = static_cast<size_t>(prog.prefixScanAt);
    uint8_t c = static_cast<uint8_t>(prog.prefix[k]);
    while (p + len <= n) {
      const void* hit = std::memchr(s + p + k, c, n - len + 1 - p);
      if (!hit) return -1;
      size_t at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - s) - k;
      if (PrefixAt(prog, s, at)) return static_cast<long long>(at);
      p = at + 1;
    }
    return -1;
  }
  uint8_t a = RxFold(static_cast<uint8_t>(prog.prefix[0])), b = RxOtherCase(a);
  for (; p + len <= n; ++p)
    if ((s[p] == a || s[p] == b) && PrefixAt(prog, s, p)) return static_cast<long long>(p);
  return -1;
}

// The next position from p on that holds one of the bytes a match can begin
// with, or -1. `next` caches where each of a few bytes occurs next (-2: not
// looked for yet).
long long NextFirst(const RegexProgramData& prog, const uint8_t* s, size_t n, size_t p,
                    long long next[3]) {
  if (!prog.firstBytes.empty()) {
    long long best = -1;
    for (size_t k = 0; k < prog.firstBytes.size(); ++k) {
      if (next[k] == -2 || (next[k] >= 0 && static_cast<size_t>(next[k]) < p)) {
        const void* hit =
            p < n ? std::memchr(s + p, static_cast<uint8_t>(prog.firstBytes[k]), n - p) : nullptr;
        next[k] = hit ? static_cast<const uint8_t*>(hit) - s : -1;
      }
      if (next[k] >= 0 && (best < 0 || next[k] < best)) best = next[k];
    }
    return best;
  }
  while (p < n && !prog.firstTable[s[p]]) ++p;
  return p < n ? static_cast<long long>(p) : -1;
}

CRegexMatch Result(const RegexProgramData& p, const RxMatcher& m, int start) {
  std::vector<int> out(static_cast<size_t>(2 * p.highest + 4), -1);
  out[0] = 1;
  out[1] = p.highest;
  out[2] = std::min(start, m.End());
  out[3] = std::max(start, m.End());
  for (int g = 1; g <= p.highest; ++g) {
    int begin, end;
    if (!m.Capture(g, begin, end)) continue;
    out[static_cast<size_t>(2 * g + 2)] = begin;
    out[static_cast<size_t>(2 * g + 3)] = end;
  }
  return CRegexMatch(std::move(out));
}

}  // namespace

namespace {
thread_local CRegexGiveUpWatch* t_watch = nullptr;

CRegexMatch GaveUp(RegexStatus status) {
  CRegexGiveUpWatch::Tell(status);
  return CRegexMatch(status);
}
}  // namespace

CRegexGiveUpWatch::CRegexGiveUpWatch(std::function<void(RegexStatus)> report)
    : m_report(std::move(report)), m_outer(t_watch) {
  t_watch = this;
}

CRegexGiveUpWatch::~CRegexGiveUpWatch() { t_watch = m_outer; }

void CRegexGiveUpWatch::Tell(RegexStatus status) {
  if (t_watch && t_watch->m_report) t_watch->m_report(status);
}

const char* RegexStatusText(RegexStatus status) {
  switch (status) {
    case RegexStatus::kMatchLimit:
      return "match limit exceeded";
    case RegexStatus::kStackLimit:
      return "backtracking stack exhausted";
    case RegexStatus::kOk:
      break;
  }
  return "";
}

CRegexMatch CRegexPattern::SearchBytes(const char* text, size_t length, int start) const {
  if (!m_program) return CRegexMatch();
  const RegexProgramData& p = m_program->data;
  if (!text) length = 0;
  if (length > 0x7FFFFFF0u) return CRegexMatch();  // positions are ints
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text ? text : "");
  int n = static_cast<int>(length);
  if (p.flags & RX_RIGHT_TO_LEFT) {
    if (start < 0 || start > n) start = n;
    RxMatcher m(p, s, n, start);
    for (int pos = start; pos >= 0; --pos) {
      if (m.Run(pos)) return Result(p, m, pos);
      if (m.GaveUp() != RegexStatus::kOk) return GaveUp(m.GaveUp());
    }
    return CRegexMatch();
  }
  if (start < 0) start = 0;
  if (start > n) return CRegexMatch();
  long long lastRequired = n;
  if (p.required >= 0) {
    lastRequired = LastOf(s, length, static_cast<uint8_t>(p.required), p.requiredIcase);
    if (lastRequired < start) return CRegexMatch();
  }
  RxMatcher m(p, s, n, start);
  long long next[3] = {-2, -2, -2};
  for (long long pos = start; pos <= n; ++pos) {
    if (p.anchored && pos != 0) break;
    if (n - pos < p.minLength || pos > lastRequired) break;
    if (!p.prefix.empty()) {
      pos = NextPrefix(p, s, length, static_cast<size_t>(pos));
      if (pos < 0) break;
    } else if (p.useFirst) {
      pos = NextFirst(p, s, length, static_cast<size_t>(pos), next);
      if (pos < 0) break;
    }
    if (m.Run(static_cast<int>(pos))) return Result(p, m, static_cast<int>(pos));
    if (m.GaveUp() != RegexStatus::kOk) return GaveUp(m.GaveUp());
  }
  return CRegexMatch();
}

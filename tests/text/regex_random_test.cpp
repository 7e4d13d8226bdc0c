// Generated patterns over generated texts: every pattern compiles, every
// search ends, and every result is well formed. Seeded, so a failure repeats.
#include <random>
#include <string>
#include <thread>

#include "text/regex_table.h"

namespace {

class PatternMaker {
 public:
  explicit PatternMaker(uint32_t seed) : m_rng(seed) {}

  int Pick(int n) { return static_cast<int>(m_rng() % static_cast<uint32_t>(n)); }

  // Recursion repeats what it calls, so patterns that recurse get no
  // unbounded quantifiers and short texts: the search stays small.
  void SetRecursion(bool on) { m_recursion = on; }

  // A pattern from the grammar; `unbounded` says whether an enclosing
  // quantifier is unbounded, so that nested ones stay bounded.
  std::string Expression(int depth, bool unbounded) {
    std::string out = Sequence(depth, unbounded);
    while (Pick(4) == 0) {
      out += '|';
      out += Sequence(depth, unbounded);
    }
    return out;
  }

  std::string Text() {
    static const char kBytes[] = "aabbc-AB\n\r x1(),\xc8\xfd";
    std::string out;
    int n = Pick(24);
    for (int i = 0; i < n; ++i) out += kBytes[Pick(sizeof kBytes - 1)];
    return out;
  }

  std::string Garbage() {
    static const char kBytes[] = "()[]{}|*+?.^$\\-:<>=!#PRkgQEdDwWsSbBAzZG0123abx,'";
    std::string out;
    int n = Pick(16);
    for (int i = 0; i < n; ++i)
      out += Pick(8) ? kBytes[Pick(sizeof kBytes - 1)] : static_cast<char>(Pick(256));
    return out;
  }

 private:
  std::string Sequence(int depth, bool unbounded) {
    std::string out;
    int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) out += Repeated(depth, unbounded);
    return out;
  }

  std::string Repeated(int depth, bool unbounded) {
    static const char* kBounded[] = {"?", "??", "?+", "{2}", "{0,2}", "{1,2}?", "{,2}"};
    static const char* kUnbounded[] = {"*", "+", "*?", "+?", "*+", "++", "{1,}"};
    int q = Pick(6);
    bool takesUnbounded = q == 0 && !unbounded && !m_recursion;
    std::string atom = Atom(depth, unbounded || takesUnbounded);
    if (takesUnbounded) return atom + kUnbounded[Pick(7)];
    if (q == 1) return atom + kBounded[Pick(7)];
    return atom;
  }

  std::string Atom(int depth, bool unbounded) {
    static const char* kLeaves[] = {
        "a",        "b",   "ab",  "\\d", "\\w", "\\s",           ".",           "[a-c]",
        "[^a]",     "\\b", "^",   "$",   "\\1", "\\k<n>",        "[[:alpha:]]", "\\x41",
        "\\Qa*\\E", "\\Z", "\\G", "x",   "\\B", "[\\x80-\\xff]", "(?R)",        "(?1)"};
    int leaves = static_cast<int>(sizeof kLeaves / sizeof *kLeaves) - (m_recursion ? 0 : 2);
    if (depth > 3 || Pick(3)) return kLeaves[Pick(leaves)];
    static const char* kOpen[] = {
        "(", "(?:", "(?<n>", "(?=", "(?!", "(?<=", "(?<!", "(?>", "(?i:", "(?(1)", "(?(?=a)"};
    std::string out = kOpen[Pick(11)];
    out += Expression(depth + 1, unbounded);
    out += ')';
    return out;
  }

  std::mt19937 m_rng;
  bool m_recursion = false;
};

void CheckWellFormed(const CRegexPattern& p, const std::string& text, int start,
                     const std::string& pattern) {
  CRegexMatch m = p.SearchBytes(text.data(), text.size(), start);
  if (!m.Found()) return;
  const std::vector<int>& a = m.Array();
  int n = static_cast<int>(text.size());
  ASSERT_EQ(a.size(), static_cast<size_t>(2 * m.HighestGroup() + 4)) << Printable(pattern);
  for (int g = 0; g <= m.HighestGroup(); ++g) {
    int b = m.GroupBegin(g), e = m.GroupEnd(g);
    if (b == -1 && e == -1 && g > 0) continue;
    ASSERT_TRUE(0 <= b && b <= e && e <= n)
        << Printable(pattern) << " on " << Printable(text) << " group " << g;
  }
  // Searching again from where the match began finds the same match.
  if (!(p.Flags() & (RX_GLOBAL | RX_RIGHT_TO_LEFT))) {
    EXPECT_EQ(MatchText(p.SearchBytes(text.data(), text.size(), m.MatchBegin())), MatchText(m))
        << Printable(pattern) << " on " << Printable(text);
  }
}

TEST(RegexRandom, TenThousandPatternsCompileAndSearch) {
  PatternMaker maker(20260108);
  for (int i = 0; i < 10000; ++i) {
    bool garbage = maker.Pick(4) == 0;
    bool recursion = !garbage && maker.Pick(4) == 0;
    maker.SetRecursion(recursion);
    std::string pattern = garbage ? maker.Garbage() : maker.Expression(0, false);
    int flags = maker.Pick(64);
    CRegexPattern p;
    p.SetPattern(pattern.data(), pattern.size(), flags);
    std::string text = maker.Text();
    if ((garbage || recursion) && text.size() > 8) text.resize(8);
    CheckWellFormed(p, text, -1, pattern);
    CheckWellFormed(p, text, maker.Pick(static_cast<int>(text.size()) + 2), pattern);
  }
}

TEST(RegexRandom, OnePatternSearchedFromManyThreadsAgrees) {
  CRegexPattern p;
  p.SetPattern("(?<k>\\w+)=\"(.*?)\"(?=[ >])", RX_IGNORE_CASE | RX_DOT_ALL);
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "<a k" + std::to_string(i) + "=\"v" + std::to_string(i) + "\" >";
  std::string expected = MatchText(p.Search(text, 2000));
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int k = 0; k < 50; ++k) seen[static_cast<size_t>(t)] = MatchText(p.Search(text, 2000));
    });
  for (std::thread& t : threads) t.join();
  for (const std::string& s : seen) EXPECT_EQ(s, expected);
  EXPECT_NE(expected, "none");
}

}  // namespace

// Pattern text -> node tree. The tokenizer resolves escapes, quoting,
// comments and extended-mode white space first; the parser then keeps its own
// stack of open groups, so nesting depth costs heap, not call stack.

#include <cctype>
#include <cstring>
#include <map>

#include "text/regex.h"
#include "text/regex_internal.h"

namespace {

enum TokKind : uint8_t {
  kTokRaw,  // an unescaped byte: metacharacters keep their meaning
  kTokLit,  // an escaped, quoted or hex byte: always literal
  kTokEsc,  // a letter escape with a meaning: d D w W s S b B A z Z G k g
  kTokRef,  // \ followed by one to three digits
};

struct Token {
  TokKind kind;
  uint8_t ch;
  int num = 0;
};

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

class Tokenizer {
 public:
  Tokenizer(const uint8_t* p, size_t n, bool extended) : m_p(p), m_n(n), m_extended(extended) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    out.reserve(m_n);
    while (m_i < m_n) Next(out);
    return out;
  }

 private:
  enum Quote { kNone, kAsIs, kLower, kUpper };

  void Next(std::vector<Token>& out) {
    uint8_t c = m_p[m_i];
    if (m_quote != kNone) {
      if (c == '\\' && m_i + 1 < m_n && m_p[m_i + 1] == 'E') {
        m_quote = kNone;
        m_i += 2;
        return;
      }
      if (m_quote == kLower) c = RxFold(c);
      if (m_quote == kUpper && c >= 'a' && c <= 'z') c -= 32;
      out.push_back({kTokLit, c});
      ++m_i;
      return;
    }
    if (m_extended && ((c >= 0x09 && c <= 0x0D) || c == ' ')) {
      ++m_i;
      return;
    }
    if (m_extended && c == '#') {
      while (m_i < m_n && m_p[m_i] != '\n' && m_p[m_i] != '\r') ++m_i;
      return;
    }
    if (c == '(' && m_i + 2 < m_n && m_p[m_i + 1] == '?' && m_p[m_i + 2] == '#') {
      while (m_i < m_n && m_p[m_i] != ')') ++m_i;
      ++m_i;
      return;
    }
    ++m_i;
    if (c != '\\') {
      out.push_back({kTokRaw, c});
      return;
    }
    if (m_i >= m_n) {
      out.push_back({kTokLit, '\\'});
      return;
    }
    Escape(out);
  }

  void Escape(std::vector<Token>& out) {
    uint8_t e = m_p[m_i++];
    switch (e) {
      case 'a':
        out.push_back({kTokLit, 0x07});
        return;
      case 'e':
        out.push_back({kTokLit, 0x1B});
        return;
      case 'f':
        out.push_back({kTokLit, 0x0C});
        return;
      case 'n':
        out.push_back({kTokLit, 0x0A});
        return;
      case 'r':
        out.push_back({kTokLit, 0x0D});
        return;
      case 't':
        out.push_back({kTokLit, 0x09});
        return;
      case 'v':
        out.push_back({kTokLit, 0x0B});
        return;
      case 'x':
        Hex(out, 'x', 2);
        return;
      case 'u':
        Hex(out, 'u', 4);
        return;
      case 'Q':
        m_quote = kAsIs;
        return;
      case 'L':
        m_quote = kLower;
        return;
      case 'U':
        m_quote = kUpper;
        return;
      case 'E':
        return;
      case 'd':
      case 'D':
      case 'w':
      case 'W':
      case 's':
      case 'S':
      case 'b':
      case 'B':
      case 'A':
      case 'z':
      case 'Z':
      case 'G':
      case 'k':
      case 'g':
        out.push_back({kTokEsc, e});
        return;
      default:
        break;
    }
    if (IsDigit(e)) {
      int value = e - '0';
      for (int k = 0; k < 2 && m_i < m_n && IsDigit(m_p[m_i]); ++k)
        value = value * 10 + (m_p[m_i++] - '0');
      out.push_back({kTokRef, 0, value});
      return;
    }
    out.push_back({kTokLit, e});
  }

  void Hex(std::vector<Token>& out, uint8_t letter, int digits) {
    uint32_t value = 0;
    if (m_i < m_n && m_p[m_i] == '{') {
      ++m_i;
      for (int k = 0; k < 8 && m_i < m_n && HexValue(m_p[m_i]) >= 0; ++k)
        value = value * 16 + HexValue(m_p[m_i++]);
      while (m_i < m_n && m_p[m_i] != '}') ++m_i;
      if (m_i < m_n) ++m_i;
      out.push_back({kTokLit, static_cast<uint8_t>(value & 0xFF)});
      return;
    }
    int k = 0;
    for (; k < digits && m_i < m_n && HexValue(m_p[m_i]) >= 0; ++k)
      value = value * 16 + HexValue(m_p[m_i++]);
    out.push_back({kTokLit, k ? static_cast<uint8_t>(value & 0xFF) : letter});
  }

  const uint8_t* m_p;
  size_t m_n;
  bool m_extended;
  size_t m_i = 0;
  Quote m_quote = kNone;
};

enum FrameKind : uint8_t {
  kFrameRoot,
  kFrameCapture,
  kFrameNonCapture,
  kFrameAtomic,
  kFrameAssert,
  kFrameCond,      // the body of a conditional, after its condition
  kFrameCondTest,  // the condition itself, a look-around
};

// One open group while parsing.
struct Frame {
  FrameKind kind;
  int flags;  // the flags in force inside, changed by (?flags)
  bool rtl;
  uint8_t assertBits = 0;
  int group = -1;       // capture: its number, or -1 while a named group waits for one
  std::string name;     // named capture
  bool named = false;   // a named capture, even when the name is empty
  size_t textFrom = 0;  // condition test: the first token of its text
  int condGroup = -1;   // conditional: the condition as a group number or name
  std::string condName;
  bool condNamed = false;
  int condAssert = -1;  // conditional: the assertion node
  std::vector<int> alternatives;
  std::vector<int> items;
  bool lastQuantified = true;  // a quantifier here would be literal
  bool lastOpenRun = false;    // the last item is a literal run that may grow
};

struct NameRef {
  int node;
  std::string name;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(RxFold(static_cast<uint8_t>(c)));
  return s;
}

// A name made of digits (at most three) is a group number.
int DigitName(const std::string& name) {
  if (name.empty() || name.size() > 3) return -1;
  int value = 0;
  for (char c : name) {
    if (!IsDigit(static_cast<uint8_t>(c))) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

class Parser {
 public:
  Parser(const std::vector<Token>& toks, int flags, RxTree& tree)
      : m_t(toks), m_tree(tree), m_flags(flags) {}

  void Run();

 private:
  bool At(size_t i, uint8_t c) const {
    return i < m_t.size() && m_t[i].kind == kTokRaw && m_t[i].ch == c;
  }
  bool Peek(uint8_t c) const { return At(m_i, c); }
  bool Done() const { return m_i >= m_t.size(); }
  Frame& Top() { return m_frames.back(); }

  int Add(RxNode node) {
    m_tree.nodes.push_back(std::move(node));
    return static_cast<int>(m_tree.nodes.size()) - 1;
  }
  int AddSet(const RxByteSet& set, bool rtl) {
    m_tree.sets.push_back(set);
    RxNode n;
    n.kind = RxKind::kSet;
    n.set = static_cast<int>(m_tree.sets.size()) - 1;
    n.rtl = rtl;
    return Add(std::move(n));
  }
  int AddEmpty() { return Add(RxNode{}); }

  void Element(int node) {
    Top().items.push_back(node);
    Top().lastQuantified = false;
    Top().lastOpenRun = false;
  }
  void ZeroWidth(int node) { Element(node); }
  void Literal(uint8_t c);
  bool Quantifier();
  void Brace(int& min, int& max, bool& empty);
  void OpenGroup();
  void CloseGroup();
  void Alternative();
  int FinishAlternatives(Frame& f);
  int SequenceNode(Frame& f);
  void ClassOrPosix();
  void Escape(const Token& tok);
  void BackrefByName(bool icase);
  std::string ReadName(uint8_t close);
  bool ReadFlags(int& flags);
  void Resolve();
  void Push(FrameKind kind, int flags, bool rtl) {
    Frame f;
    f.kind = kind;
    f.flags = flags;
    f.rtl = rtl;
    m_frames.push_back(std::move(f));
  }

  const std::vector<Token>& m_t;
  RxTree& m_tree;
  int m_flags;
  size_t m_i = 0;
  std::vector<Frame> m_frames;
  int m_unnamed = 0;
  bool m_closedByParen = true;
  std::vector<NameRef> m_namedGroups, m_namedRefs, m_namedRecursions, m_namedConds;
};

void Parser::Literal(uint8_t c) {
  Frame& f = Top();
  bool icase = f.flags & RX_IGNORE_CASE;
  if (f.lastOpenRun) {
    RxNode& last = m_tree.nodes[f.items.back()];
    if (last.icase == icase) {
      last.text.push_back(static_cast<char>(c));
      f.lastQuantified = false;
      return;
    }
  }
  RxNode n;
  n.kind = RxKind::kString;
  n.icase = icase;
  n.rtl = f.rtl;
  n.text.assign(1, static_cast<char>(c));
  Element(Add(std::move(n)));
  Top().lastOpenRun = true;
}

// Reads the inside of {...}; the opening brace is consumed.
void Parser::Brace(int& min, int& max, bool& empty) {
  auto skipSpace = [&] {
    while (!Done() && m_t[m_i].kind == kTokRaw &&
           (m_t[m_i].ch == ' ' || (m_t[m_i].ch >= 9 && m_t[m_i].ch <= 13)))
      ++m_i;
  };
  auto number = [&](int& value) {
    bool any = false;
    value = 0;
    for (int k = 0; k < 3 && !Done() && m_t[m_i].kind != kTokEsc && m_t[m_i].kind != kTokRef &&
                    IsDigit(m_t[m_i].ch);
         ++k, ++m_i) {
      value = value * 10 + (m_t[m_i].ch - '0');
      any = true;
    }
    return any;
  };
  auto skipTo = [&](uint8_t a, uint8_t b) {
    while (!Done() && !Peek(a) && !Peek(b)) ++m_i;
  };
  skipSpace();
  empty = !number(min);
  max = min;
  skipTo(',', '}');
  if (Peek(',')) {
    ++m_i;
    skipSpace();
    if (!number(max)) max = kRxUnbounded;
    skipTo('}', '}');
  }
  if (!Done()) ++m_i;  // the closing brace
  if (max < min) max = min;
  if (max == 0) empty = true;
}

// A quantifier at the current token applied to the last element; false when
// the token is no quantifier or stands where it must be taken literally.
bool Parser::Quantifier() {
  if (Done() || m_t[m_i].kind != kTokRaw) return false;
  uint8_t c = m_t[m_i].ch;
  if (c != '*' && c != '+' && c != '?' && c != '{') return false;
  Frame& f = Top();
  if (f.items.empty() || f.lastQuantified) return false;
  ++m_i;
  int min = 0, max = kRxUnbounded;
  bool empty = false;
  if (c == '+') min = 1;
  if (c == '?') max = 1;
  if (c == '{') Brace(min, max, empty);
  RxRepeatKind kind = kRxGreedy;
  if (Peek('?')) {
    kind = kRxLazy;
    ++m_i;
  } else if (Peek('+')) {
    kind = kRxPossessive;
    ++m_i;
  }
  Frame& g = Top();
  int item = g.items.back();
  RxNode& last = m_tree.nodes[item];
  if (last.kind == RxKind::kString && last.text.size() > 1 && g.lastOpenRun) {
    RxNode tail = last;
    tail.text = last.text.substr(last.text.size() - 1);
    m_tree.nodes[item].text.pop_back();
    g.items.push_back(Add(std::move(tail)));
    item = g.items.back();
  }
  if (empty) {
    g.items.back() = AddEmpty();
  } else if (!(min == 1 && max == 1)) {
    RxNode rep;
    rep.kind = RxKind::kRepeat;
    rep.min = min;
    rep.max = max;
    rep.sub = min == max ? kRxGreedy : kind;
    rep.kids = {item};
    g.items.back() = Add(std::move(rep));
  }
  g.lastQuantified = true;
  g.lastOpenRun = false;
  return true;
}

std::string Parser::ReadName(uint8_t close) {
  std::string name;
  while (!Done() && !Peek(close)) name.push_back(static_cast<char>(m_t[m_i++].ch));
  if (!Done()) ++m_i;
  return name;
}

// Reads flag letters up to ")" or ":" (not consumed); false at the end.
bool Parser::ReadFlags(int& flags) {
  bool off = false;
  for (; !Done() && !Peek(')') && !Peek(':'); ++m_i) {
    uint8_t c = RxFold(m_t[m_i].ch);
    int bit = c == 'i'   ? RX_IGNORE_CASE
              : c == 'm' ? RX_MULTI_LINE
              : c == 's' ? RX_DOT_ALL
              : c == 'g' ? RX_GLOBAL
                         : 0;
    if (m_t[m_i].ch == '-') off = true;
    if (off)
      flags &= ~bit;
    else
      flags |= bit;
  }
  return !Done();
}

void Parser::OpenGroup() {
  Frame& f = Top();
  int flags = f.flags;
  bool rtl = f.rtl;
  if (!Peek('?')) {
    Push(kFrameCapture, flags, rtl);
    Top().group = ++m_unnamed;
    return;
  }
  ++m_i;
  auto assertion = [&](uint8_t bits) {
    Push(kFrameAssert, flags, (bits & kRxAssertBehind) != 0);
    Top().assertBits = bits;
  };
  if (Peek(':')) {
    ++m_i;
    Push(kFrameNonCapture, flags, rtl);
  } else if (Peek('=')) {
    ++m_i;
    assertion(0);
  } else if (Peek('!')) {
    ++m_i;
    assertion(kRxAssertNegative);
  } else if (Peek('<') && At(m_i + 1, '=')) {
    m_i += 2;
    assertion(kRxAssertBehind);
  } else if (Peek('<') && At(m_i + 1, '!')) {
    m_i += 2;
    assertion(kRxAssertBehind | kRxAssertNegative);
  } else if (Peek('>')) {
    ++m_i;
    Push(kFrameAtomic, flags, rtl);
  } else if (Peek('<') || Peek('\'') || (Peek('P') && (At(m_i + 1, '<') || At(m_i + 1, '\'')))) {
    if (Peek('P')) ++m_i;
    uint8_t close = Peek('<') ? '>' : '\'';
    ++m_i;
    std::string name = ReadName(close);
    Push(kFrameCapture, flags, rtl);
    Top().name = name;
    Top().named = true;
  } else if (Peek('(')) {
    ++m_i;
    Push(kFrameCond, flags, rtl);
    if (Peek('?') && (At(m_i + 1, '=') || At(m_i + 1, '!') ||
                      (At(m_i + 1, '<') && (At(m_i + 2, '=') || At(m_i + 2, '!'))))) {
      ++m_i;
      bool behind = Peek('<');
      if (behind) ++m_i;
      uint8_t bits = (behind ? kRxAssertBehind : 0) | (Peek('!') ? kRxAssertNegative : 0);
      ++m_i;
      Push(kFrameCondTest, flags, behind);
      Top().assertBits = bits;
    } else {
      Push(kFrameCondTest, flags, false);
      Top().condNamed = true;
      Top().textFrom = m_i;
    }
  } else if (Peek('R') || (!Done() && m_t[m_i].kind == kTokRaw && IsDigit(m_t[m_i].ch))) {
    if (Peek('R')) ++m_i;
    RxNode n;
    n.kind = RxKind::kRecurse;
    n.group = 0;
    std::string digits;
    while (digits.size() < 3 && !Done() && m_t[m_i].kind == kTokRaw && IsDigit(m_t[m_i].ch))
      digits.push_back(static_cast<char>(m_t[m_i++].ch));
    if (!digits.empty()) n.group = DigitName(digits);
    std::string name;
    bool named = false;
    if (digits.empty() && (Peek('<') || Peek('\''))) {
      uint8_t close = Peek('<') ? '>' : '\'';
      ++m_i;
      name = ReadName(close);
      named = true;
    }
    while (!Done() && !Peek(')')) ++m_i;
    if (!Done()) ++m_i;
    int node = Add(std::move(n));
    if (named) m_namedRecursions.push_back({node, name});
    Element(node);
  } else {
    int inner = flags;
    bool more = ReadFlags(inner);
    if (!more || Peek(')')) {
      if (more) ++m_i;
      Top().flags = inner;
      Element(AddEmpty());  // an element of its own: a quantifier after it applies to nothing
      return;
    }
    ++m_i;  // ':'
    Push(kFrameNonCapture, inner, rtl);
  }
}

int Parser::SequenceNode(Frame& f) {
  if (f.items.empty()) return AddEmpty();
  if (f.items.size() == 1) return f.items[0];
  RxNode seq;
  seq.kind = RxKind::kSeq;
  seq.rtl = f.rtl;
  seq.kids = std::move(f.items);
  f.items.clear();
  return Add(std::move(seq));
}

void Parser::Alternative() {
  Frame& f = Top();
  f.alternatives.push_back(SequenceNode(f));
  f.items.clear();
  f.lastQuantified = true;
  f.lastOpenRun = false;
}

int Parser::FinishAlternatives(Frame& f) {
  f.alternatives.push_back(SequenceNode(f));
  if (f.alternatives.size() == 1) return f.alternatives[0];
  RxNode alt;
  alt.kind = RxKind::kAlt;
  alt.kids = f.alternatives;
  return Add(std::move(alt));
}

void Parser::CloseGroup() {
  Frame f = std::move(m_frames.back());
  m_frames.pop_back();
  if (f.kind == kFrameCondTest) {
    RxNode a;
    a.kind = RxKind::kAssert;
    a.sub = f.assertBits;
    a.kids = {FinishAlternatives(f)};
    Frame& cond = Top();
    cond.condAssert = Add(std::move(a));
    if (f.condNamed) {
      std::string text;
      size_t end = m_closedByParen ? m_i - 1 : m_t.size();
      for (size_t k = f.textFrom; k < end; ++k) text.push_back(static_cast<char>(m_t[k].ch));
      if (text.size() >= 2 && ((text.front() == '<' && text.back() == '>') ||
                               (text.front() == '\'' && text.back() == '\'')))
        text = text.substr(1, text.size() - 2);
      cond.condNamed = true;
      cond.condName = text;
    }
    return;
  }
  RxNode n;
  switch (f.kind) {
    case kFrameCapture:
      n.kind = RxKind::kGroup;
      n.group = f.group;
      n.kids = {FinishAlternatives(f)};
      break;
    case kFrameAtomic:
      n.kind = RxKind::kAtomic;
      n.kids = {FinishAlternatives(f)};
      break;
    case kFrameAssert:
      n.kind = RxKind::kAssert;
      n.sub = f.assertBits;
      n.kids = {FinishAlternatives(f)};
      break;
    case kFrameCond: {
      n.kind = RxKind::kCond;
      f.alternatives.push_back(SequenceNode(f));
      int yes = f.alternatives[0];
      int no;
      if (f.alternatives.size() == 1) {
        no = AddEmpty();
      } else if (f.alternatives.size() == 2) {
        no = f.alternatives[1];
      } else {
        RxNode alt;
        alt.kind = RxKind::kAlt;
        alt.kids.assign(f.alternatives.begin() + 1, f.alternatives.end());
        no = Add(std::move(alt));
      }
      n.kids = {yes, no};
      n.aux = f.condAssert >= 0 ? f.condAssert : AddEmpty();
      break;
    }
    default:  // non-capturing
      Element(FinishAlternatives(f));
      return;
  }
  int node = Add(std::move(n));
  if (f.kind == kFrameCapture && f.named) m_namedGroups.push_back({node, f.name});
  if (f.kind == kFrameCond && f.condNamed) m_namedConds.push_back({node, f.condName});
  Element(node);
}

void Parser::ClassOrPosix() {
  // A POSIX class: "[:name:]" or "[:^name:]", the opening "[" already read.
  auto posix = [&](size_t at, RxByteSet& set, size_t& next) {
    if (!At(at, ':')) return false;
    size_t k = at + 1;
    bool negate = At(k, '^');
    if (negate) ++k;
    std::string name;
    for (; k < m_t.size() && !(At(k, ':') && At(k + 1, ']')); ++k) {
      uint8_t c = m_t[k].ch;
      if (m_t[k].kind != kTokRaw || !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
        return false;
      name.push_back(static_cast<char>(c));
    }
    if (k >= m_t.size()) return false;
    next = k + 2;
    RxByteSet s;
    bool known = true;
    for (int c = 0; c < 128; ++c) {
      bool in;
      if (name == "alnum")
        in = isalnum(c);
      else if (name == "alpha")
        in = isalpha(c);
      else if (name == "ascii")
        in = true;
      else if (name == "blank")
        in = c == ' ' || c == '\t';
      else if (name == "cntrl")
        in = iscntrl(c);
      else if (name == "digit")
        in = isdigit(c);
      else if (name == "graph")
        in = isgraph(c);
      else if (name == "lower")
        in = islower(c);
      else if (name == "print")
        in = isprint(c);
      else if (name == "punct")
        in = ispunct(c);
      else if (name == "space")
        in = isspace(c);
      else if (name == "upper")
        in = isupper(c);
      else if (name == "xdigit")
        in = isxdigit(c);
      else {
        known = false;
        break;
      }
      if (in) s.Add(static_cast<uint8_t>(c));
    }
    if (known && negate) s.Invert();
    if (known) set.AddSet(s);
    return true;
  };
  Frame& f = Top();
  bool icase = f.flags & RX_IGNORE_CASE;
  bool rtl = f.rtl;
  RxByteSet set;
  size_t next = 0;
  if (posix(m_i, set, next)) {
    m_i = next;
    Element(AddSet(set, rtl));
    return;
  }
  bool negate = Peek('^');
  if (negate) ++m_i;
  RxByteSet singles;  // single bytes and ranges: these fold case
  // One item: a byte (returned), or a nested class added to `set` (-1).
  auto item = [&]() -> int {
    const Token& t = m_t[m_i];
    if (t.kind == kTokRaw && t.ch == '[' && posix(m_i + 1, set, next)) {
      m_i = next;
      return -1;
    }
    ++m_i;
    if (t.kind == kTokRef) return t.num & 0xFF;
    if (t.kind != kTokEsc) return t.ch;
    RxByteSet s;
    switch (t.ch) {
      case 'b':
        return 0x08;
      case 'd':
      case 'D':
        s.AddRange('0', '9');
        break;
      case 'w':
      case 'W':
        for (int c = 0; c < 256; ++c)
          if (RxIsWord(static_cast<uint8_t>(c))) s.Add(static_cast<uint8_t>(c));
        break;
      case 's':
      case 'S':
        s.Add(' ');
        s.Add('\t');
        s.Add('\r');
        s.Add('\n');
        if (rtl) {
          s.Add('\f');
          s.Add('\v');
        }
        break;
      default:
        return t.ch;
    }
    if (t.ch == 'D' || t.ch == 'W' || t.ch == 'S') s.Invert();
    set.AddSet(s);
    return -1;
  };
  while (!Done() && !Peek(']')) {
    int lo = item();
    if (lo < 0) continue;
    if (Peek('-') && m_i + 1 < m_t.size() && !At(m_i + 1, ']')) {
      ++m_i;
      int hi = item();
      if (hi < 0) {
        singles.Add(static_cast<uint8_t>(lo));
        singles.Add('-');
        continue;
      }
      int slo = static_cast<int8_t>(lo), shi = static_cast<int8_t>(hi);
      for (int c = slo; c <= shi; ++c) singles.Add(static_cast<uint8_t>(c));
      continue;
    }
    singles.Add(static_cast<uint8_t>(lo));
  }
  if (!Done()) ++m_i;  // ']'
  if (icase) {
    RxByteSet folded = singles;
    for (int c = 0; c < 256; ++c)
      if (singles.Has(static_cast<uint8_t>(c))) folded.Add(RxOtherCase(static_cast<uint8_t>(c)));
    singles = folded;
  }
  set.AddSet(singles);
  if (negate) set.Invert();
  Element(AddSet(set, rtl));
}

void Parser::BackrefByName(bool icase) {
  RxNode n;
  n.kind = RxKind::kBackref;
  n.icase = icase;
  n.rtl = Top().rtl;
  std::string name;
  if (Peek('<') || Peek('\'')) {
    uint8_t close = Peek('<') ? '>' : '\'';
    ++m_i;
    name = ReadName(close);
  } else {
    while (name.size() < 3 && !Done() && m_t[m_i].kind == kTokRaw && IsDigit(m_t[m_i].ch))
      name.push_back(static_cast<char>(m_t[m_i++].ch));
  }
  int number = DigitName(name);
  int node = Add(std::move(n));
  if (number >= 0)
    m_tree.nodes[node].group = number;
  else
    m_namedRefs.push_back({node, name});
  Element(node);
}

void Parser::Escape(const Token& tok) {
  Frame& f = Top();
  bool rtl = f.rtl;
  auto boundary = [&](RxBoundary b) {
    RxNode n;
    n.kind = RxKind::kBoundary;
    n.sub = b;
    ZeroWidth(Add(std::move(n)));
  };
  RxByteSet s;
  switch (tok.ch) {
    case 'A':
      boundary(kRxTextBegin);
      return;
    case 'z':
      boundary(kRxTextEnd);
      return;
    case 'Z':
      boundary(kRxTextEndNewline);
      return;
    case 'b':
      boundary(kRxWordBoundary);
      return;
    case 'B':
      boundary(kRxNotWordBoundary);
      return;
    case 'G':
      if (f.flags & RX_GLOBAL)
        boundary(kRxSearchStart);
      else
        ZeroWidth(AddEmpty());
      return;
    case 'k':
    case 'g':
      if (Peek('<') || Peek('\'') ||
          (!Done() && m_t[m_i].kind == kTokRaw && IsDigit(m_t[m_i].ch))) {
        BackrefByName(f.flags & RX_IGNORE_CASE);
      } else {
        Literal(tok.ch);
      }
      return;
    case 'd':
    case 'D':
      s.AddRange('0', '9');
      break;
    case 'w':
    case 'W':
      for (int c = 0; c < 256; ++c)
        if (RxIsWord(static_cast<uint8_t>(c))) s.Add(static_cast<uint8_t>(c));
      break;
    default:  // s, S
      s.Add(' ');
      s.Add('\t');
      s.Add('\r');
      s.Add('\n');
      if (rtl) {
        s.Add('\f');
        s.Add('\v');
      }
      break;
  }
  if (tok.ch == 'D' || tok.ch == 'W' || tok.ch == 'S') s.Invert();
  Element(AddSet(s, rtl));
}

void Parser::Run() {
  Push(kFrameRoot, m_flags, (m_flags & RX_RIGHT_TO_LEFT) != 0);
  while (!Done()) {
    if (Quantifier()) continue;
    const Token tok = m_t[m_i++];
    if (tok.kind == kTokLit) {
      Literal(tok.ch);
      continue;
    }
    if (tok.kind == kTokEsc) {
      Escape(tok);
      continue;
    }
    if (tok.kind == kTokRef) {
      RxNode n;
      n.kind = RxKind::kBackref;
      n.group = tok.num;
      n.icase = Top().flags & RX_IGNORE_CASE;
      n.rtl = Top().rtl;
      Element(Add(std::move(n)));
      continue;
    }
    switch (tok.ch) {
      case '|':
        Alternative();
        break;
      case '(':
        OpenGroup();
        break;
      case ')':
        if (m_frames.size() == 1) {
          m_i = m_t.size();  // an unmatched ")" ends the expression
        } else {
          CloseGroup();
        }
        break;
      case '[':
        ClassOrPosix();
        break;
      case '.': {
        RxByteSet s;
        s.Invert();
        if (!(Top().flags & RX_DOT_ALL)) s.m_bits[0] &= ~(uint64_t{1} << '\n');
        Element(AddSet(s, Top().rtl));
        break;
      }
      case '^':
      case '$': {
        bool multi = Top().flags & RX_MULTI_LINE;
        RxNode n;
        n.kind = RxKind::kBoundary;
        n.sub = tok.ch == '^' ? (multi ? kRxLineBeginMulti : kRxLineBegin)
                              : (multi ? kRxLineEndMulti : kRxLineEnd);
        ZeroWidth(Add(std::move(n)));
        break;
      }
      default:
        Literal(tok.ch);
        break;
    }
  }
  m_closedByParen = false;
  while (m_frames.size() > 1) CloseGroup();  // unclosed groups end with the pattern
  m_tree.root = FinishAlternatives(m_frames.back());
  Resolve();
}

void Parser::Resolve() {
  int highest = m_unnamed;
  std::map<std::string, int> numbers;
  std::vector<bool> used(1000, false);
  for (int g = 0; g <= m_unnamed && g < 1000; ++g) used[static_cast<size_t>(g)] = true;
  for (const NameRef& r : m_namedGroups) {
    int d = DigitName(r.name);
    if (d >= 0) used[static_cast<size_t>(d)] = true;
  }
  int next = m_unnamed + 1;
  for (const NameRef& r : m_namedGroups) {
    int number = DigitName(r.name);
    if (number < 0) {
      std::string key = Lower(r.name);
      auto it = numbers.find(key);
      if (it != numbers.end()) {
        number = it->second;
      } else {
        while (next < 1000 && used[static_cast<size_t>(next)]) ++next;
        number = next++;
        numbers[key] = number;
      }
    }
    m_tree.nodes[static_cast<size_t>(r.node)].group = number;
    if (number > highest) highest = number;
  }
  auto lookup = [&](const std::string& name) {
    int d = DigitName(name);
    if (d >= 0) return d;
    auto it = numbers.find(Lower(name));
    return it == numbers.end() ? -1 : it->second;
  };
  for (const NameRef& r : m_namedRefs)
    m_tree.nodes[static_cast<size_t>(r.node)].group = lookup(r.name);
  for (const NameRef& r : m_namedRecursions)
    m_tree.nodes[static_cast<size_t>(r.node)].group = lookup(r.name);
  for (const NameRef& r : m_namedConds) {
    int d = DigitName(r.name);
    int g = d >= 0 ? d : lookup(r.name);
    if (g >= 0) m_tree.nodes[static_cast<size_t>(r.node)].group = g;
  }
  m_tree.highest = highest;
  m_tree.groupNode.assign(static_cast<size_t>(highest) + 1, -1);
  for (size_t k = 0; k < m_tree.nodes.size(); ++k) {
    const RxNode& n = m_tree.nodes[k];
    if (n.kind == RxKind::kGroup && n.group >= 0 &&
        m_tree.groupNode[static_cast<size_t>(n.group)] < 0)
      m_tree.groupNode[static_cast<size_t>(n.group)] = static_cast<int>(k);
  }
}

}  // namespace

void RxParse(const char* pattern, size_t length, int flags, RxTree& tree) {
  tree = RxTree{};
  std::vector<Token> toks =
      Tokenizer(reinterpret_cast<const uint8_t*>(pattern), length, (flags & RX_EXTENDED) != 0)
          .Run();
  Parser(toks, flags, tree).Run();
}

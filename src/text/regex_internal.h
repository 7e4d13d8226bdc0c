#pragma once

// The engine's private forms: the node tree the parser builds and the
// program the compiler makes of it. Only the regex_*.cpp files include this.

#include <cstdint>
#include <string>
#include <vector>

// A set of bytes, one bit per byte value.
struct RxByteSet {
  uint64_t m_bits[4] = {0, 0, 0, 0};

  bool Has(uint8_t c) const { return (m_bits[c >> 6] >> (c & 63)) & 1; }
  void Add(uint8_t c) { m_bits[c >> 6] |= uint64_t{1} << (c & 63); }
  void AddRange(int lo, int hi) {
    for (int c = lo; c <= hi; ++c) Add(static_cast<uint8_t>(c));
  }
  void AddSet(const RxByteSet& other) {
    for (int i = 0; i < 4; ++i) m_bits[i] |= other.m_bits[i];
  }
  void Invert() {
    for (uint64_t& w : m_bits) w = ~w;
  }
  bool Empty() const { return !(m_bits[0] | m_bits[1] | m_bits[2] | m_bits[3]); }
  bool Full() const { return !~(m_bits[0] & m_bits[1] & m_bits[2] & m_bits[3]); }
  int Count() const {
    return __builtin_popcountll(m_bits[0]) + __builtin_popcountll(m_bits[1]) +
           __builtin_popcountll(m_bits[2]) + __builtin_popcountll(m_bits[3]);
  }
};

inline uint8_t RxFold(uint8_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
inline uint8_t RxOtherCase(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 'a' && c <= 'z') return c - 32;
  return c;
}
inline bool RxIsWord(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

enum class RxKind : uint8_t {
  kEmpty,
  kString,    // text; icase; rtl
  kSet,       // set index; rtl
  kSeq,       // kids in pattern order; rtl: matched last to first
  kAlt,       // kids in order of preference
  kRepeat,    // kids[0]; min, max; sub = RxRepeatKind
  kGroup,     // kids[0]; group number (-1 until a named group is numbered)
  kBackref,   // group number (-1 never matches); icase; rtl
  kAssert,    // kids[0]; sub = RxAssert* bits
  kAtomic,    // kids[0]
  kCond,      // kids = {yes, no}; group >= 0: group condition, else aux = assertion node
  kBoundary,  // sub = RxBoundary
  kRecurse,   // group number (-1 never matches)
};

enum RxRepeatKind : uint8_t { kRxGreedy, kRxLazy, kRxPossessive };
enum RxAssertBits : uint8_t { kRxAssertNegative = 1, kRxAssertBehind = 2 };
enum RxBoundary : uint8_t {
  kRxLineBegin,        // ^
  kRxLineBeginMulti,   // ^ under multi-line
  kRxLineEnd,          // $
  kRxLineEndMulti,     // $ under multi-line
  kRxTextBegin,        // \A
  kRxTextEnd,          // \z
  kRxTextEndNewline,   // \Z
  kRxWordBoundary,     // \b
  kRxNotWordBoundary,  // \B
  kRxSearchStart,      // \G under the global flag
};

constexpr int kRxUnbounded = 2147483647;

struct RxNode {
  RxKind kind = RxKind::kEmpty;
  bool icase = false;
  bool rtl = false;
  uint8_t sub = 0;
  int min = 0;
  int max = 0;
  int group = -1;
  int set = -1;
  int aux = -1;
  std::string text;  // literal bytes, or a name still to be resolved
  std::vector<int> kids;
};

// The parser's result: a node tree whose names are already resolved.
struct RxTree {
  std::vector<RxNode> nodes;
  std::vector<RxByteSet> sets;
  int root = 0;
  int highest = 0;
  std::vector<int> groupNode;  // group number -> its kGroup node, or -1
};

void RxParse(const char* pattern, size_t length, int flags, RxTree& tree);

enum RxOp : uint8_t {
  kOpMatch,
  kOpFail,
  kOpString,         // a = pool offset, b = length, c = 1 with a digit; flag: 1 icase, 2 backward
  kOpSet,            // a = set; flag 2 backward
  kOpRepeatSet,      // a = set, b = min, c = max, d = hint set or -1; flag: kind | 4 backward
  kOpRepeatSetBack,  // resumes kOpRepeatSet at pc - 1 on backtracking
  kOpGroupRepeat,    // (x)* with a one-byte body: a = set, b = min, c = group; greedy, forward
  kOpGroupRepeatBack,
  kOpSplit,       // try pc + 1, on backtracking a
  kOpJump,        // a
  kOpOpen,        // a = group
  kOpClose,       // a = group
  kOpReturnIf,    // a = group: return when inside a call of that group
  kOpCall,        // a = group
  kOpLoopInit,    // a = loop
  kOpLoopGreedy,  // a = loop, b = min, c = max, d = exit
  kOpLoopLazy,    // a = loop, b = min, c = max, d = exit; the body starts at pc + 2
  kOpLazyEnter,   // a = loop
  kOpLoopEnd,     // a = loop, b = min, c = loop head, d = exit
  kOpBarrier,     // atomic group or positive look-around: remembers the position
  kOpAtomicEnd,   // drops the backtracking points since the barrier
  kOpAssertEnd,   // positive look-around matched: back to its position
  kOpNegBarrier,  // a = where to go if the body fails
  kOpNegEnd,      // body of a negative look-around matched: fail
  kOpCondEnd,     // a = where to go; flag 1: keep the body's captures
  kOpCondGroup,   // a = group, b = where to go when it has not captured
  kOpBoundary,    // a = RxBoundary
  kOpBackref,     // a = group; flag: 1 icase, 2 backward
};

struct RxInst {
  RxOp op;
  uint8_t flag = 0;
  int a = 0, b = 0, c = 0, d = 0;
};

// The compiled form: instructions plus what the search loop uses to skip
// positions that cannot begin a match.
struct RegexProgramData {
  int flags = 0;
  int highest = 0;
  std::vector<RxInst> code;
  std::string pool;
  std::vector<RxByteSet> sets;
  std::vector<int> groupPc;   // group -> pc of its open marker, -1 if none
  std::vector<int> loopFrom;  // group -> first loop inside it
  std::vector<int> loopTo;    // group -> one past the last loop inside it
  int loops = 0;
  // Start-position filters, forward matching only.
  bool anchored = false;  // can only match at the text's beginning
  std::string prefix;     // every match begins with these bytes
  bool prefixIcase = false;
  int prefixScanAt = -1;   // offset of a prefix byte without case to scan for
  bool useFirst = false;   // every match begins with a byte of `first`
  std::string firstBytes;  // the bytes of `first` when there are at most three
  bool firstTable[256] = {};
  RxByteSet first;
  int required = -1;  // a byte every match contains at or after its start
  bool requiredIcase = false;
  int minLength = 0;
};

void RxCompile(const RxTree& tree, RegexProgramData& program);

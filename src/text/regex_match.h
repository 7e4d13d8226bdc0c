#pragma once

// The backtracking machine that runs a compiled program at one position.
// Its backtracking points live in a heap vector, never on the call stack.

#include <cstdint>
#include <vector>

#include "text/regex.h"
#include "text/regex_internal.h"

class RxMatcher {
 public:
  RxMatcher(const RegexProgramData& program, const uint8_t* text, int length, int searchStart);

  // Tries to match at `pos`; on success `End()` and `Capture` describe it.
  bool Run(int pos);
  int End() const { return m_end; }
  // The latest completed capture of a group: false when it has none.
  bool Capture(int group, int& begin, int& end) const;
  // The search gave up (kOk while it did not): too many backtracking steps
  // over all the Runs of this matcher, or a stack beyond its limit.
  RegexStatus GaveUp() const;

 private:
  struct Entry {
    int32_t a;  // a position or an old value
    int32_t b;  // what the entry is, see the kTag constants
  };

  void Set(int slot, int value);
  bool PushChoice(int pc, int pos);
  void Push(int a, int b);
  void PopEntry();
  int FindBarrier() const;
  void Cut(int at);
  void Unwind(int at);
  bool Boundary(int kind, int pos) const;
  bool Backref(const RxInst& inst, int& pos) const;
  bool Call(int group, int& pc, int pos);
  bool ReturnFromCall(int group, int& pc);
  int LazyNext(const RxInst& inst, int q, int start) const;
  int GreedyBack(const RxInst& inst, int q, int low) const;
  int RunLength(const RxInst& inst, int pos, bool backward, int max) const;
  // Text in the local code page may hold GB18030's four-byte characters,
  // whose second and fourth bytes are ASCII digits. No match, group or class
  // test takes such a byte for a digit: a match and its groups neither begin
  // nor end inside such a character, and classes see its bytes as high bytes.
  bool InsideChar(int pos) const {
    // Only a digit after a high byte, or a high byte after such a digit, may
    // stand inside one; everything else is decided here.
    if (pos <= 0 || pos >= m_n) return false;
    const uint8_t c = m_s[pos], before = m_s[pos - 1];
    const bool digitAfterHigh = c >= '0' && c <= '9' && before >= 0x81 && before <= 0xFE;
    const bool highAfterDigit = c >= 0x81 && c <= 0xFE && before >= '0' && before <= '9';
    return (digitAfterHigh || highAfterDigit) && InsideFourByteChar(pos);
  }
  bool InsideFourByteChar(int pos) const;
  bool In(const RxByteSet& set, int pos) const;
  bool IsWordAt(int pos) const;
  bool LiteralFits(const uint8_t* literal, int length, int at) const;

  const RegexProgramData& m_p;
  const uint8_t* m_s;
  int m_n;
  int m_searchStart;
  int m_loopBase;
  int m_frameSlot;
  std::vector<int> m_reg;
  std::vector<int> m_slotRecord;
  std::vector<Entry> m_stack;
  std::vector<int> m_frames;
  int m_topChoice = -1;
  int m_end = 0;
  bool m_overflow = false;
  long long m_steps = 0;
  size_t m_limit;
};

#include "text/regex_match.h"

#include <algorithm>
#include <cstring>

#include "base/codepage.h"
#include "text/regex.h"

namespace {

// What a stack entry is, by its b field.
constexpr int32_t kTagNeg = 1 << 30;  // b >= kTagNeg: negative look-around, resume at b - kTagNeg
constexpr int32_t kTagBarrier = -1;   // atomic group or positive look-around; a = position
constexpr int32_t kTagCall = -2;      // undo a call: drop frames from a on
constexpr int32_t kTagData = -3;      // a value kept for a repeat's backtracking
constexpr int32_t kTagSlot = -4;      // b <= kTagSlot: register -4 - b had value a

// Beyond this many backtracking entries a search gives up (about 256 MB).
constexpr size_t kStackLimit = size_t{1} << 25;

// How far back InsideChar looks for a byte that always stands alone (ASCII
// other than a digit or a letter); beyond that a position counts as the
// start of a character, as in plain byte matching.
constexpr int kMaxLookBack = 1024;

bool IsUndo(int32_t b) { return b == kTagCall || b <= kTagSlot; }
bool IsHigh(uint8_t c) { return c >= 0x81 && c <= 0xFE; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool StandsAlone(uint8_t c) {
  return c < 0x30 || (c > 0x39 && c < 0x40) || c == 0x7F || c == 0x80 || c == 0xFF;
}

// Whether byte `at` of a local text is the second, third or fourth byte of
// a four-byte character; false when it can't be told within kMaxLookBack.
bool InsideFourByte(const uint8_t* s, int n, int at) {
  const bool candidate = (IsDigit(s[at]) && at >= 1 && IsHigh(s[at - 1])) ||
                         (IsHigh(s[at]) && at >= 2 && IsDigit(s[at - 1]) && IsHigh(s[at - 2]));
  if (!candidate) return false;
  int from = at;
  while (from > 0 && !StandsAlone(s[from - 1])) {
    if (at - from >= kMaxLookBack) return false;
    --from;
  }
  const char* text = reinterpret_cast<const char*>(s);
  size_t i = static_cast<size_t>(from);
  while (i < static_cast<size_t>(at)) i += LocalCharLength(text, static_cast<size_t>(n), i);
  return i != static_cast<size_t>(at);
}
bool IsBarrier(int32_t b) { return b == kTagBarrier || b >= kTagNeg; }

}  // namespace

RxMatcher::RxMatcher(const RegexProgramData& program, const uint8_t* text, int length,
                     int searchStart)
    : m_p(program), m_s(text), m_n(length), m_searchStart(searchStart), m_limit(kStackLimit) {
  int groups = m_p.highest + 1;
  m_loopBase = 4 * groups;
  m_frameSlot = m_loopBase + 2 * m_p.loops;
  m_reg.assign(static_cast<size_t>(m_frameSlot) + 1, -1);
  for (int g = 0; g < groups; ++g) m_reg[static_cast<size_t>(4 * g + 1)] = 0;
  for (int l = 0; l < m_p.loops; ++l) m_reg[static_cast<size_t>(m_loopBase + 2 * l)] = 0;
  m_slotRecord.assign(m_reg.size(), -1);
  m_stack.reserve(64);
}

RegexStatus RxMatcher::GaveUp() const {
  if (m_overflow) return RegexStatus::kStackLimit;
  return m_steps > kRegexStepLimit ? RegexStatus::kMatchLimit : RegexStatus::kOk;
}

bool RxMatcher::Capture(int group, int& begin, int& end) const {
  if (group < 0 || group > m_p.highest) return false;
  int b = m_reg[static_cast<size_t>(4 * group + 2)], e = m_reg[static_cast<size_t>(4 * group + 3)];
  if (b < 0) return false;
  begin = std::min(b, e);
  end = std::max(b, e);
  return true;
}

void RxMatcher::Set(int slot, int value) {
  int& r = m_reg[static_cast<size_t>(slot)];
  if (r == value) return;
  int rec = m_slotRecord[static_cast<size_t>(slot)];
  // One saved value per register since the latest backtracking point is enough.
  if (!(rec > m_topChoice && rec < static_cast<int>(m_stack.size()) &&
        m_stack[static_cast<size_t>(rec)].b == kTagSlot - slot)) {
    m_slotRecord[static_cast<size_t>(slot)] = static_cast<int>(m_stack.size());
    m_stack.push_back({r, kTagSlot - slot});
  }
  r = value;
}

void RxMatcher::Push(int a, int b) {
  m_stack.push_back({a, b});
  if (!IsUndo(b)) m_topChoice = static_cast<int>(m_stack.size()) - 1;
}

bool RxMatcher::PushChoice(int pc, int pos) {
  if (m_stack.size() >= m_limit) {
    m_overflow = true;
    return false;
  }
  Push(pos, pc);
  return true;
}

void RxMatcher::PopEntry() {
  m_stack.pop_back();
  m_topChoice = std::min(m_topChoice, static_cast<int>(m_stack.size()) - 1);
}

int RxMatcher::FindBarrier() const {
  for (size_t i = m_stack.size(); i-- > 0;)
    if (IsBarrier(m_stack[i].b)) return static_cast<int>(i);
  return -1;
}

// Drops the backtracking points from `at` on, keeping what undoes changes.
void RxMatcher::Cut(int at) {
  size_t w = static_cast<size_t>(at);
  for (size_t i = w + 1; i < m_stack.size(); ++i)
    if (IsUndo(m_stack[i].b)) m_stack[w++] = m_stack[i];
  m_stack.resize(w);
  m_topChoice = std::min(m_topChoice, static_cast<int>(m_stack.size()) - 1);
}

// Pops down to `at` (inclusive), undoing every change on the way.
void RxMatcher::Unwind(int at) {
  while (static_cast<int>(m_stack.size()) > at) {
    Entry e = m_stack.back();
    m_stack.pop_back();
    if (e.b <= kTagSlot)
      m_reg[static_cast<size_t>(kTagSlot - e.b)] = e.a;
    else if (e.b == kTagCall)
      m_frames.resize(static_cast<size_t>(e.a));
  }
  m_topChoice = std::min(m_topChoice, static_cast<int>(m_stack.size()) - 1);
}

bool RxMatcher::Boundary(int kind, int pos) const {
  const uint8_t* s = m_s;
  int n = m_n;
  switch (kind) {
    case kRxLineBegin:
    case kRxTextBegin:
      return pos == 0;
    case kRxLineBeginMulti:
      return pos == 0 || s[pos - 1] == '\n' || (s[pos - 1] == '\r' && (pos >= n || s[pos] != '\n'));
    case kRxLineEnd:
    case kRxTextEnd:
      return pos == n;
    case kRxLineEndMulti:
      return pos == n || s[pos] == '\r' || (s[pos] == '\n' && (pos == 0 || s[pos - 1] != '\r'));
    case kRxTextEndNewline:
      return pos == n || (pos == n - 1 && s[pos] == '\n') ||
             (pos == n - 2 && s[pos] == '\r' && s[pos + 1] == '\n');
    case kRxWordBoundary:
    case kRxNotWordBoundary: {
      bool before = pos > 0 && IsWordAt(pos - 1);
      bool after = pos < n && IsWordAt(pos);
      return (before != after) == (kind == kRxWordBoundary);
    }
    case kRxSearchStart:
      return pos == m_searchStart;
    default:
      return false;
  }
}

bool RxMatcher::Backref(const RxInst& inst, int& pos) const {
  int begin, end;
  if (!Capture(inst.a, begin, end)) return false;
  int len = end - begin;
  int at = (inst.flag & 2) ? pos - len : pos;
  if (at < 0 || at + len > m_n) return false;
  const uint8_t* x = m_s + begin;
  const uint8_t* y = m_s + at;
  if (inst.flag & 1) {
    for (int i = 0; i < len; ++i)
      if (RxFold(x[i]) != RxFold(y[i])) return false;
  } else if (len && std::memcmp(x, y, static_cast<size_t>(len)) != 0) {
    return false;
  }
  pos = (inst.flag & 2) ? at : at + len;
  return true;
}

bool RxMatcher::Call(int group, int& pc, int pos) {
  int target = m_p.groupPc[static_cast<size_t>(group)];
  if (target < 0) return false;
  // Entering the same group again at the same place would never end. Calls
  // further down were made at earlier places unless the text was walked
  // backwards; what that misses, the stack limit ends.
  for (int f = m_reg[static_cast<size_t>(m_frameSlot)]; f >= 0;
       f = m_frames[static_cast<size_t>(f + 2)]) {
    int at = m_frames[static_cast<size_t>(f + 3)];
    if (at < pos) break;
    if (at == pos && m_frames[static_cast<size_t>(f + 1)] == group) return false;
  }
  if (m_frames.size() >= m_limit) {
    m_overflow = true;
    return false;
  }
  int frame = static_cast<int>(m_frames.size());
  Push(frame, kTagCall);
  m_frames.push_back(pc + 1);
  m_frames.push_back(group);
  m_frames.push_back(m_reg[static_cast<size_t>(m_frameSlot)]);
  m_frames.push_back(pos);
  // The loops inside the group get their counters back on return.
  for (int l = m_p.loopFrom[static_cast<size_t>(group)]; l < m_p.loopTo[static_cast<size_t>(group)];
       ++l) {
    m_frames.push_back(m_reg[static_cast<size_t>(m_loopBase + 2 * l)]);
    m_frames.push_back(m_reg[static_cast<size_t>(m_loopBase + 2 * l + 1)]);
  }
  Set(m_frameSlot, frame);
  pc = target;
  return true;
}

bool RxMatcher::ReturnFromCall(int group, int& pc) {
  int f = m_reg[static_cast<size_t>(m_frameSlot)];
  if (f < 0 || m_frames[static_cast<size_t>(f + 1)] != group) return false;
  size_t k = static_cast<size_t>(f + 4);
  for (int l = m_p.loopFrom[static_cast<size_t>(group)]; l < m_p.loopTo[static_cast<size_t>(group)];
       ++l) {
    Set(m_loopBase + 2 * l, m_frames[k++]);
    Set(m_loopBase + 2 * l + 1, m_frames[k++]);
  }
  pc = m_frames[static_cast<size_t>(f)];
  Set(m_frameSlot, m_frames[static_cast<size_t>(f + 2)]);
  return true;
}

// How many bytes of the set follow (precede, backward) pos, at most max.
int RxMatcher::RunLength(const RxInst& inst, int pos, bool backward, int max) const {
  const RxByteSet& set = m_p.sets[static_cast<size_t>(inst.a)];
  int room = backward ? pos : m_n - pos;
  int limit = std::min(room, max);
  if (set.Full()) return limit;
  int k = 0;
  // Most sets see a digit as they see a high byte; they need no look at
  // four-byte characters.
  if (set.Has('0') == set.Has(0x80) && set.Has('9') == set.Has(0x80)) {
    if (backward) {
      while (k < limit && set.Has(m_s[pos - 1 - k])) ++k;
    } else {
      const uint8_t* p = m_s + pos;
      while (k < limit && set.Has(p[k])) ++k;
    }
  } else if (backward) {
    while (k < limit && In(set, pos - 1 - k)) ++k;
  } else {
    while (k < limit && In(set, pos + k)) ++k;
  }
  return k;
}

// The first position from q on where what follows a lazy repeat may match,
// having consumed the bytes from start; -1 when the repeat cannot get there.
int RxMatcher::LazyNext(const RxInst& inst, int q, int start) const {
  const RxByteSet& set = m_p.sets[static_cast<size_t>(inst.a)];
  long long last =
      std::min<long long>(m_n, static_cast<long long>(start) + inst.c);  // furthest reachable
  if (inst.d < 0) return q <= last ? q : -1;
  const RxByteSet& hint = m_p.sets[static_cast<size_t>(inst.d)];
  if (set.Full() && hint.Count() == 1) {
    uint8_t h = 0;
    while (!hint.Has(h)) ++h;
    long long stop = std::min<long long>(last, m_n - 1);
    while (q <= stop) {
      const void* hit = std::memchr(m_s + q, h, static_cast<size_t>(stop - q + 1));
      if (!hit) return -1;
      q = static_cast<int>(static_cast<const uint8_t*>(hit) - m_s);
      if (In(hint, q)) return q;
      ++q;
    }
    return -1;
  }
  for (; q <= last && q < m_n; ++q) {
    if (In(hint, q)) return q;
    if (!In(set, q)) return -1;
  }
  return -1;
}

// The last position from q down to low where what follows a greedy repeat
// may match; -1 when there is none.
int RxMatcher::GreedyBack(const RxInst& inst, int q, int low) const {
  if (q < low) return -1;
  if (inst.d < 0) return q;
  const RxByteSet& hint = m_p.sets[static_cast<size_t>(inst.d)];
  if (q >= m_n) q = m_n - 1;
  if (hint.Count() == 1 && q >= low) {
    uint8_t h = 0;
    while (!hint.Has(h)) ++h;
    while (q >= low) {
      const void* hit = memrchr(m_s + low, h, static_cast<size_t>(q - low + 1));
      if (!hit) return -1;
      q = static_cast<int>(static_cast<const uint8_t*>(hit) - m_s);
      if (In(hint, q)) return q;
      --q;
    }
    return -1;
  }
  for (; q >= low; --q)
    if (In(hint, q)) return q;
  return -1;
}

bool RxMatcher::InsideFourByteChar(int pos) const { return InsideFourByte(m_s, m_n, pos); }

bool RxMatcher::In(const RxByteSet& set, int pos) const {
  const uint8_t c = m_s[pos];
  const bool has = set.Has(c);
  if (!IsDigit(c) || has == set.Has(0x80)) return has;
  return InsideChar(pos) ? !has : has;
}

bool RxMatcher::IsWordAt(int pos) const {
  return RxIsWord(m_s[pos]) && !(IsDigit(m_s[pos]) && InsideChar(pos));
}

// A literal's digits match only digits that stand where the literal has
// them: on their own, or inside the same four-byte character.
bool RxMatcher::LiteralFits(const uint8_t* literal, int length, int at) const {
  for (int i = 0; i < length; ++i)
    if (IsDigit(literal[i]) && InsideChar(at + i) != InsideFourByte(literal, length, i))
      return false;
  return true;
}

bool RxMatcher::Run(int start) {
  const RxInst* code = m_p.code.data();
  const uint8_t* s = m_s;
  const int n = m_n;
  int pc = 0;
  int pos = start;
  if (InsideChar(start)) return false;
  m_stack.clear();
  m_frames.clear();
  m_topChoice = -1;
  for (;;) {
    const RxInst& in = code[pc];
    bool ok = true;
    switch (in.op) {
      case kOpMatch:
        m_end = pos;
        if (!InsideChar(pos)) return true;
        ok = false;
        break;
      case kOpFail:
        ok = false;
        break;
      case kOpString: {
        int len = in.b;
        const uint8_t* lit = reinterpret_cast<const uint8_t*>(m_p.pool.data()) + in.a;
        int at = (in.flag & 2) ? pos - len : pos;
        if (at < 0 || at + len > n) {
          ok = false;
        } else if (in.flag & 1) {
          for (int i = 0; i < len; ++i)
            if (RxFold(s[at + i]) != lit[i]) {
              ok = false;
              break;
            }
        } else {
          ok = std::memcmp(s + at, lit, static_cast<size_t>(len)) == 0;
        }
        ok = ok && (in.c == 0 || LiteralFits(lit, len, at));
        if (ok) pos = (in.flag & 2) ? at : at + len;
        ++pc;
        break;
      }
      case kOpSet: {
        const RxByteSet& set = m_p.sets[static_cast<size_t>(in.a)];
        if (in.flag & 2) {
          ok = pos > 0 && In(set, pos - 1);
          --pos;
        } else {
          ok = pos < n && In(set, pos);
          ++pos;
        }
        ++pc;
        break;
      }
      case kOpRepeatSet: {
        int kind = in.flag & 3;
        bool backward = in.flag & 4;
        int dir = backward ? -1 : 1;
        if (kind == kRxLazy) {
          if (RunLength(in, pos, backward, in.b) < in.b) {
            ok = false;
            break;
          }
          int q = backward ? pos - in.b : LazyNext(in, pos + in.b, pos);
          if (q < 0) {
            ok = false;
            break;
          }
          Push(pos, kTagData);
          if (!PushChoice(pc + 1, q)) {
            ok = false;
            break;
          }
          pos = q;
          pc += 2;
          break;
        }
        int k = RunLength(in, pos, backward, in.c);
        if (k < in.b) {
          ok = false;
          break;
        }
        if (kind == kRxPossessive) {
          pos += dir * k;
          pc += 2;
          break;
        }
        int low = pos + dir * in.b;
        int q = pos + dir * k;
        if (!backward) {
          q = GreedyBack(in, q, low);
          if (q < 0) {
            ok = false;
            break;
          }
        }
        if (q != low) {
          Push(low, kTagData);
          if (!PushChoice(pc + 1, q)) {
            ok = false;
            break;
          }
        }
        pos = q;
        pc += 2;
        break;
      }
      case kOpRepeatSetBack: {
        const RxInst& r = code[pc - 1];
        int kind = r.flag & 3;
        bool backward = r.flag & 4;
        int data = m_stack.back().a;
        int q = -1;
        bool more = false;
        if (kind == kRxLazy) {
          const RxByteSet& set = m_p.sets[static_cast<size_t>(r.a)];
          int taken = backward ? data - pos : pos - data;
          bool can =
              taken < r.c && (backward ? pos > 0 && In(set, pos - 1) : pos < n && In(set, pos));
          if (can) q = backward ? pos - 1 : LazyNext(r, pos + 1, data);
          more = q >= 0;
        } else if (backward) {
          q = pos + 1;
          more = q < data;
        } else {
          q = GreedyBack(r, pos - 1, data);
          more = q > data;
        }
        if (!more) PopEntry();
        if (q < 0) {
          ok = false;
          break;
        }
        if (more && !PushChoice(pc, q)) {
          ok = false;
          break;
        }
        pos = q;
        ++pc;
        break;
      }
      case kOpGroupRepeat: {
        int k = RunLength(in, pos, false, kRxUnbounded);
        if (k < in.b) {
          ok = false;
          break;
        }
        int low = pos + in.b;
        int q = GreedyBack(in, pos + k, low);
        if (q < 0) {
          ok = false;
          break;
        }
        int slot = 4 * in.c + 2;
        if (q > low) {
          Push(m_reg[static_cast<size_t>(slot)], kTagData);
          Push(m_reg[static_cast<size_t>(slot + 1)], kTagData);
          Push(pos, kTagData);
          Push(low, kTagData);
          if (!PushChoice(pc + 1, q)) {
            ok = false;
            break;
          }
        }
        if (q > pos) {
          Set(slot, q - 1);
          Set(slot + 1, q);
        }
        pos = q;
        pc += 2;
        break;
      }
      case kOpGroupRepeatBack: {
        const RxInst& r = code[pc - 1];
        size_t top = m_stack.size() - 1;
        int low = m_stack[top].a, begin = m_stack[top - 1].a;
        int oldEnd = m_stack[top - 2].a, oldBegin = m_stack[top - 3].a;
        int q = GreedyBack(r, pos - 1, low);
        bool more = q > low;
        if (!more)
          for (int i = 0; i < 4; ++i) PopEntry();
        if (q < 0) {
          ok = false;
          break;
        }
        if (more && !PushChoice(pc, q)) {
          ok = false;
          break;
        }
        int slot = 4 * r.c + 2;
        Set(slot, q > begin ? q - 1 : oldBegin);
        Set(slot + 1, q > begin ? q : oldEnd);
        pos = q;
        ++pc;
        break;
      }
      case kOpSplit:
        ok = PushChoice(in.a, pos);
        ++pc;
        break;
      case kOpJump:
        pc = in.a;
        break;
      case kOpOpen: {
        if (InsideChar(pos)) {
          ok = false;
          break;
        }
        int g = 4 * in.a;
        if (m_reg[static_cast<size_t>(g)] >= 0)
          Set(g + 1, m_reg[static_cast<size_t>(g + 1)] - 1);  // entered again by recursion
        else
          Set(g, pos);
        ++pc;
        break;
      }
      case kOpClose: {
        if (InsideChar(pos)) {
          ok = false;
          break;
        }
        int g = 4 * in.a;
        int nest = m_reg[static_cast<size_t>(g + 1)];
        if (nest < 0) {
          Set(g + 1, nest + 1);
        } else {
          Set(g + 2, m_reg[static_cast<size_t>(g)]);
          Set(g + 3, pos);
          Set(g, -1);
        }
        ++pc;
        break;
      }
      case kOpReturnIf:
        if (!ReturnFromCall(in.a, pc)) ++pc;
        break;
      case kOpCall:
        ok = Call(in.a, pc, pos);
        break;
      case kOpLoopInit:
        Set(m_loopBase + 2 * in.a, 0);
        ++pc;
        break;
      case kOpLoopGreedy: {
        int count = m_reg[static_cast<size_t>(m_loopBase + 2 * in.a)];
        if (count >= in.c) {
          pc = in.d;
          break;
        }
        if (count >= in.b && !PushChoice(in.d, pos)) {
          ok = false;
          break;
        }
        if (!(in.flag & 1)) Set(m_loopBase + 2 * in.a + 1, pos);
        ++pc;
        break;
      }
      case kOpLoopLazy: {
        int count = m_reg[static_cast<size_t>(m_loopBase + 2 * in.a)];
        if (count < in.b) {
          if (!(in.flag & 1)) Set(m_loopBase + 2 * in.a + 1, pos);
          pc += 2;
        } else if (count < in.c) {
          ok = PushChoice(pc + 1, pos);
          pc = in.d;
        } else {
          pc = in.d;
        }
        break;
      }
      case kOpLazyEnter:
        if (!(in.flag & 1)) Set(m_loopBase + 2 * in.a + 1, pos);
        ++pc;
        break;
      case kOpLoopEnd: {
        int slot = m_loopBase + 2 * in.a;
        // Without a maximum only "below, at or above the minimum" matters, so
        // the count stops at min + 1 and long loops save it no more.
        int max = code[in.c].c;
        int count = m_reg[static_cast<size_t>(slot)] + 1;
        if (max == kRxUnbounded && count > in.b + 1) count = in.b + 1;
        Set(slot, count);
        // A repetition beyond the minimum that consumed nothing ends the loop;
        // flag 1: the body always consumes something.
        bool empty = !(in.flag & 1) && pos == m_reg[static_cast<size_t>(slot + 1)];
        pc = (count > in.b && empty) ? in.d : in.c;
        break;
      }
      case kOpBarrier:
        Push(pos, kTagBarrier);
        ++pc;
        break;
      case kOpAtomicEnd:
      case kOpAssertEnd: {
        int at = FindBarrier();
        if (at < 0) {
          ok = false;
          break;
        }
        if (in.op == kOpAssertEnd) pos = m_stack[static_cast<size_t>(at)].a;
        Cut(at);
        ++pc;
        break;
      }
      case kOpNegBarrier:
        Push(pos, kTagNeg + in.a);
        ++pc;
        break;
      case kOpNegEnd: {
        int at = FindBarrier();
        if (at >= 0) Unwind(at);
        ok = false;
        break;
      }
      case kOpCondEnd: {
        int at = FindBarrier();
        if (at < 0) {
          ok = false;
          break;
        }
        pos = m_stack[static_cast<size_t>(at)].a;
        if (in.flag & 1)
          Cut(at);
        else
          Unwind(at);
        pc = in.a;
        break;
      }
      case kOpCondGroup:
        pc = in.a >= 0 && m_reg[static_cast<size_t>(4 * in.a + 2)] >= 0 ? pc + 1 : in.b;
        break;
      case kOpBoundary:
        ok = Boundary(in.a, pos);
        ++pc;
        break;
      case kOpBackref:
        ok = Backref(in, pos);
        ++pc;
        break;
    }
    if (ok) continue;
    // Backtrack: undo changes until a point that can try something else.
    for (;;) {
      if (m_overflow || m_stack.empty() || m_steps > kRegexStepLimit) {
        Unwind(0);
        return false;
      }
      Entry e = m_stack.back();
      m_stack.pop_back();
      if (e.b <= kTagSlot) {
        m_reg[static_cast<size_t>(kTagSlot - e.b)] = e.a;
        continue;
      }
      if (e.b == kTagCall) {
        m_frames.resize(static_cast<size_t>(e.a));
        continue;
      }
      m_topChoice = std::min(m_topChoice, static_cast<int>(m_stack.size()) - 1);
      if (e.b >= 0) {
        // Each return to a backtracking point is one step of the budget.
        ++m_steps;
        pc = e.b >= kTagNeg ? e.b - kTagNeg : e.b;
        pos = e.a;
        break;
      }
    }
  }
}

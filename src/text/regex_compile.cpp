// Node tree -> program. The tree is walked with an explicit stack, so a
// pattern nested thousands of groups deep compiles without deep recursion.
// The analyses for skipping start positions give up past a fixed depth,
// which only makes them less useful, never wrong.

#include <algorithm>

#include "text/regex.h"
#include "text/regex_internal.h"

namespace {

constexpr int kAnalysisDepth = 200;

// Work items on the emit stack: a node and how far its emission has got.
struct Work {
  explicit Work(int n) : node(n) {}
  int node;
  int stage = 0;
  int k = 0;
  int p1 = -1, p2 = -1;
  std::vector<int> fix;
};

class Compiler {
 public:
  Compiler(const RxTree& tree, RegexProgramData& p) : m_tree(tree), m_p(p) {}
  void Run();

 private:
  const RxNode& Node(int i) const { return m_tree.nodes[static_cast<size_t>(i)]; }
  int Pc() const { return static_cast<int>(m_p.code.size()); }
  int Emit(RxOp op, int a = 0, int b = 0, int c = 0, int d = 0, uint8_t flag = 0) {
    RxInst inst;
    inst.op = op;
    inst.flag = flag;
    inst.a = a;
    inst.b = b;
    inst.c = c;
    inst.d = d;
    m_p.code.push_back(inst);
    return Pc() - 1;
  }
  int AddSet(const RxByteSet& s) {
    m_p.sets.push_back(s);
    return static_cast<int>(m_p.sets.size()) - 1;
  }
  bool SingleByte(int node, RxByteSet& out, bool& rtl, int depth) const;
  void EmitTree(int root);
  void EmitAlt(Work& w, const RxNode& n, int& next, bool& done);
  void EmitCond(Work& w, const RxNode& n, int& next, bool& done);
  void EmitRepeat(Work& w, const RxNode& n, int& next, bool& done);
  void Hints();
  void Analyse();
  bool First(int node, RxByteSet& set, int depth) const;
  int MinLength(int node, int depth) const;
  void Required(int node, int depth);

  const RxTree& m_tree;
  RegexProgramData& m_p;
  std::vector<bool> m_called;
};

// Nodes that match exactly one byte and have no other effect; alternations
// of them become one set, which cannot change which match is found.
bool Compiler::SingleByte(int node, RxByteSet& out, bool& rtl, int depth) const {
  const RxNode& n = Node(node);
  if (depth > kAnalysisDepth) return false;
  if (n.kind == RxKind::kString && n.text.size() == 1) {
    uint8_t c = static_cast<uint8_t>(n.text[0]);
    out.Add(c);
    if (n.icase) out.Add(RxOtherCase(c));
    rtl = n.rtl;
    return true;
  }
  if (n.kind == RxKind::kSet) {
    out.AddSet(m_tree.sets[static_cast<size_t>(n.set)]);
    rtl = n.rtl;
    return true;
  }
  if (n.kind == RxKind::kAlt) {
    bool first = true, dir = false;
    for (int k : n.kids) {
      bool r = false;
      if (!SingleByte(k, out, r, depth + 1)) return false;
      if (!first && r != dir) return false;
      dir = r;
      first = false;
    }
    rtl = dir;
    return true;
  }
  return false;
}

void Compiler::EmitTree(int root) {
  std::vector<Work> st;
  st.push_back(Work{root});
  while (!st.empty()) {
    Work& w = st.back();
    const RxNode& n = Node(w.node);
    int next = -1;      // a child to emit before coming back to w
    bool done = false;  // w is emitted completely
    switch (n.kind) {
      case RxKind::kEmpty:
        done = true;
        break;
      case RxKind::kString: {
        // A literal with a digit is checked against four-byte characters.
        const bool digits =
            std::any_of(n.text.begin(), n.text.end(), [](char c) { return c >= '0' && c <= '9'; });
        Emit(kOpString, static_cast<int>(m_p.pool.size()), static_cast<int>(n.text.size()),
             digits ? 1 : 0, 0, static_cast<uint8_t>((n.icase ? 1 : 0) | (n.rtl ? 2 : 0)));
        for (char c : n.text)
          m_p.pool.push_back(n.icase ? static_cast<char>(RxFold(static_cast<uint8_t>(c))) : c);
        done = true;
        break;
      }
      case RxKind::kSet:
        Emit(kOpSet, AddSet(m_tree.sets[static_cast<size_t>(n.set)]), 0, 0, 0, n.rtl ? 2 : 0);
        done = true;
        break;
      case RxKind::kBoundary:
        Emit(kOpBoundary, n.sub);
        done = true;
        break;
      case RxKind::kBackref:
        if (n.group < 0 || n.group > m_p.highest)
          Emit(kOpFail);
        else
          Emit(kOpBackref, n.group, 0, 0, 0,
               static_cast<uint8_t>((n.icase ? 1 : 0) | (n.rtl ? 2 : 0)));
        done = true;
        break;
      case RxKind::kRecurse:
        if (n.group < 0 || n.group > m_p.highest)
          Emit(kOpFail);
        else
          Emit(kOpCall, n.group);
        done = true;
        break;
      case RxKind::kSeq:
        if (w.k < static_cast<int>(n.kids.size())) {
          size_t idx =
              n.rtl ? n.kids.size() - 1 - static_cast<size_t>(w.k) : static_cast<size_t>(w.k);
          next = n.kids[idx];
          ++w.k;
        } else {
          done = true;
        }
        break;
      case RxKind::kAlt:
        EmitAlt(w, n, next, done);
        break;
      case RxKind::kGroup:
        if (w.stage == 0) {
          w.stage = 1;
          size_t g = static_cast<size_t>(n.group);
          if (n.group > 0 && m_p.groupPc[g] < 0) {
            m_p.groupPc[g] = Pc();
            m_p.loopFrom[g] = m_p.loops;
          }
          if (n.group >= 0) Emit(kOpOpen, n.group);
          next = n.kids[0];
        } else {
          if (n.group >= 0) {
            Emit(kOpClose, n.group);
            Emit(kOpReturnIf, n.group);
          }
          if (n.group > 0)
            m_p.loopTo[static_cast<size_t>(n.group)] =
                std::max(m_p.loopTo[static_cast<size_t>(n.group)], m_p.loops);
          done = true;
        }
        break;
      case RxKind::kAtomic:
        if (w.stage == 0) {
          w.stage = 1;
          Emit(kOpBarrier);
          next = n.kids[0];
        } else {
          Emit(kOpAtomicEnd);
          done = true;
        }
        break;
      case RxKind::kAssert:
        if (w.stage == 0) {
          w.stage = 1;
          if (n.sub & kRxAssertNegative)
            w.p1 = Emit(kOpNegBarrier);
          else
            Emit(kOpBarrier);
          next = n.kids[0];
        } else {
          if (n.sub & kRxAssertNegative) {
            Emit(kOpNegEnd);
            m_p.code[static_cast<size_t>(w.p1)].a = Pc();
          } else {
            Emit(kOpAssertEnd);
          }
          done = true;
        }
        break;
      case RxKind::kCond:
        EmitCond(w, n, next, done);
        break;
      case RxKind::kRepeat:
        EmitRepeat(w, n, next, done);
        break;
    }
    if (next >= 0) {
      st.push_back(Work{next});
    } else if (done) {
      st.pop_back();
    }
  }
}

void Compiler::EmitAlt(Work& w, const RxNode& n, int& next, bool& done) {
  int m = static_cast<int>(n.kids.size());
  if (w.k == 0) {
    RxByteSet set;
    bool rtl = false;
    if (SingleByte(w.node, set, rtl, 0)) {
      Emit(kOpSet, AddSet(set), 0, 0, 0, rtl ? 2 : 0);
      done = true;
      return;
    }
  } else if (w.k - 1 < m - 1) {
    w.fix.push_back(Emit(kOpJump));
    m_p.code[static_cast<size_t>(w.p1)].a = Pc();
  }
  if (w.k < m) {
    if (w.k < m - 1) w.p1 = Emit(kOpSplit);
    next = n.kids[static_cast<size_t>(w.k)];
    ++w.k;
    return;
  }
  for (int f : w.fix) m_p.code[static_cast<size_t>(f)].a = Pc();
  done = true;
}

// A condition on a group: CondGroup(no) yes Jump(end) no. On a look-around:
// NegBarrier(on failure) body CondEnd(on success) yes Jump(end) no.
void Compiler::EmitCond(Work& w, const RxNode& n, int& next, bool& done) {
  bool byGroup = n.group >= 0;
  const RxNode& test = Node(n.aux);
  bool assertion = !byGroup && test.kind == RxKind::kAssert;
  bool negative = assertion && (test.sub & kRxAssertNegative);
  auto at = [&](int pc) -> RxInst& { return m_p.code[static_cast<size_t>(pc)]; };
  switch (w.stage) {
    case 0:
      w.stage = 1;
      if (byGroup) {
        w.p1 = Emit(kOpCondGroup, n.group <= m_p.highest ? n.group : -1);  // no such group: false
      } else if (assertion) {
        w.p1 = Emit(kOpNegBarrier);
        next = test.kids[0];
      }
      return;
    case 1:
      w.stage = 2;
      if (assertion) {
        w.p2 = Emit(kOpCondEnd, 0, 0, 0, 0, negative ? 0 : 1);
        at(negative ? w.p1 : w.p2).a = Pc();
      }
      next = n.kids[0];
      return;
    case 2:
      w.stage = 3;
      w.fix.push_back(Emit(kOpJump));
      if (byGroup)
        at(w.p1).b = Pc();
      else if (assertion)
        at(negative ? w.p2 : w.p1).a = Pc();
      next = n.kids[1];
      return;
    default:
      for (int f : w.fix) at(f).a = Pc();
      done = true;
  }
}

void Compiler::EmitRepeat(Work& w, const RxNode& n, int& next, bool& done) {
  auto at = [&](int pc) -> RxInst& { return m_p.code[static_cast<size_t>(pc)]; };
  if (w.stage == 0) {
    RxByteSet set;
    bool rtl = false;
    const RxNode& body = Node(n.kids[0]);
    if (SingleByte(n.kids[0], set, rtl, 0)) {
      Emit(kOpRepeatSet, AddSet(set), n.min, n.max, -1,
           static_cast<uint8_t>(n.sub | (rtl ? 4 : 0)));
      Emit(kOpRepeatSetBack);
      done = true;
      return;
    }
    RxByteSet inner;
    if (body.kind == RxKind::kGroup && n.sub == kRxGreedy && n.max == kRxUnbounded &&
        body.group > 0 && SingleByte(body.kids[0], inner, rtl, 0) && !rtl &&
        !m_called[static_cast<size_t>(body.group)]) {
      Emit(kOpGroupRepeat, AddSet(inner), n.min, body.group, -1);
      Emit(kOpGroupRepeatBack);
      done = true;
      return;
    }
    if (n.sub == kRxPossessive) Emit(kOpBarrier);
    if (n.min == 0 && n.max == 1 && n.sub != kRxLazy) {
      w.stage = 10;  // greedy "?": a split is enough
      w.p1 = Emit(kOpSplit);
    } else if (n.min == 0 && n.max == 1) {
      w.stage = 11;  // lazy "?"
      w.p1 = Emit(kOpSplit);
      w.p2 = Emit(kOpJump);
      at(w.p1).a = Pc();
    } else {
      w.stage = 1;
      w.k = m_p.loops++;
      Emit(kOpLoopInit, w.k);
      uint8_t consumes = MinLength(n.kids[0], 0) > 0 ? 1 : 0;
      w.p1 = Emit(n.sub == kRxLazy ? kOpLoopLazy : kOpLoopGreedy, w.k, n.min, n.max, 0, consumes);
      if (n.sub == kRxLazy) Emit(kOpLazyEnter, w.k, 0, 0, 0, consumes);
    }
    next = n.kids[0];
    return;
  }
  if (w.stage == 10) {
    at(w.p1).a = Pc();
  } else if (w.stage == 11) {
    at(w.p2).a = Pc();
  } else {
    int end = Emit(kOpLoopEnd, w.k, n.min, w.p1, 0, m_p.code[static_cast<size_t>(w.p1)].flag);
    at(end).d = Pc();
    at(w.p1).d = Pc();
  }
  if (n.sub == kRxPossessive) Emit(kOpAtomicEnd);
  done = true;
}

void Compiler::Hints() {
  bool anyCall = false;
  for (bool c : m_called) anyCall = anyCall || c;
  for (size_t pc = 0; pc < m_p.code.size(); ++pc) {
    RxInst& inst = m_p.code[pc];
    bool repeat = inst.op == kOpRepeatSet && !(inst.flag & 4) && (inst.flag & 3) != kRxPossessive;
    if (!repeat && inst.op != kOpGroupRepeat) continue;
    size_t q = pc + 2;
    int hint = -1;
    for (int steps = 0; steps < 64 && q < m_p.code.size(); ++steps) {
      const RxInst& c = m_p.code[q];
      if (c.op == kOpOpen || c.op == kOpClose) {
        ++q;
      } else if (c.op == kOpReturnIf &&
                 !(c.a >= 0 && static_cast<size_t>(c.a) < m_called.size() &&
                   m_called[static_cast<size_t>(c.a)]) &&
                 !(c.a == 0 && anyCall)) {
        ++q;
      } else if (c.op == kOpJump) {
        q = static_cast<size_t>(c.a);
      } else if (c.op == kOpString && !(c.flag & 2)) {
        RxByteSet s;
        uint8_t b = static_cast<uint8_t>(m_p.pool[static_cast<size_t>(c.a)]);
        s.Add(b);
        if (c.flag & 1) s.Add(RxOtherCase(b));
        hint = AddSet(s);
        break;
      } else if (c.op == kOpSet && !(c.flag & 2)) {
        hint = c.a;
        break;
      } else {
        break;
      }
    }
    inst.d = hint;
  }
}

bool Compiler::First(int node, RxByteSet& set, int depth) const {
  const RxNode& n = Node(node);
  if (depth > kAnalysisDepth) {
    for (uint64_t& w : set.m_bits) w = ~uint64_t{0};
    return true;
  }
  switch (n.kind) {
    case RxKind::kEmpty:
    case RxKind::kBoundary:
    case RxKind::kAssert:
      return true;
    case RxKind::kString: {
      uint8_t c = static_cast<uint8_t>(n.text[0]);
      set.Add(c);
      if (n.icase) set.Add(RxOtherCase(c));
      return false;
    }
    case RxKind::kSet:
      set.AddSet(m_tree.sets[static_cast<size_t>(n.set)]);
      return false;
    case RxKind::kSeq:
      for (int k : n.kids)
        if (!First(k, set, depth + 1)) return false;
      return true;
    case RxKind::kAlt: {
      bool empty = false;
      for (int k : n.kids) empty = First(k, set, depth + 1) || empty;
      return empty;
    }
    case RxKind::kRepeat:
      return First(n.kids[0], set, depth + 1) || n.min == 0;
    case RxKind::kGroup:
    case RxKind::kAtomic:
      return First(n.kids[0], set, depth + 1);
    default:
      for (uint64_t& w : set.m_bits) w = ~uint64_t{0};
      return true;
  }
}

int Compiler::MinLength(int node, int depth) const {
  const RxNode& n = Node(node);
  if (depth > kAnalysisDepth) return 0;
  switch (n.kind) {
    case RxKind::kString:
      return static_cast<int>(n.text.size());
    case RxKind::kSet:
      return 1;
    case RxKind::kSeq: {
      long long sum = 0;
      for (int k : n.kids) sum = std::min<long long>(sum + MinLength(k, depth + 1), 1 << 30);
      return static_cast<int>(sum);
    }
    case RxKind::kAlt: {
      int best = 1 << 30;
      for (int k : n.kids) best = std::min(best, MinLength(k, depth + 1));
      return best;
    }
    case RxKind::kRepeat:
      return static_cast<int>(std::min<long long>(
          static_cast<long long>(n.min) * MinLength(n.kids[0], depth + 1), 1 << 30));
    case RxKind::kGroup:
    case RxKind::kAtomic:
      return MinLength(n.kids[0], depth + 1);
    default:
      return 0;
  }
}

// The last literal byte on the path every match takes.
void Compiler::Required(int node, int depth) {
  const RxNode& n = Node(node);
  if (depth > kAnalysisDepth) return;
  switch (n.kind) {
    case RxKind::kString:
      m_p.required = static_cast<uint8_t>(n.text.back());
      m_p.requiredIcase = n.icase;
      break;
    case RxKind::kSeq:
      for (int k : n.kids) Required(k, depth + 1);
      break;
    case RxKind::kRepeat:
      if (n.min >= 1) Required(n.kids[0], depth + 1);
      break;
    case RxKind::kGroup:
    case RxKind::kAtomic:
      Required(n.kids[0], depth + 1);
      break;
    default:
      break;
  }
}

void Compiler::Analyse() {
  if (m_p.flags & RX_RIGHT_TO_LEFT) return;
  // Anchor and literal prefix: follow the first item down.
  int node = m_tree.root;
  for (int steps = 0; steps < 10000; ++steps) {
    const RxNode& n = Node(node);
    if (n.kind == RxKind::kSeq && !n.kids.empty()) {
      node = n.kids[0];
    } else if ((n.kind == RxKind::kGroup || n.kind == RxKind::kAtomic) && !n.kids.empty()) {
      node = n.kids[0];
    } else {
      if (n.kind == RxKind::kBoundary && (n.sub == kRxTextBegin || n.sub == kRxLineBegin))
        m_p.anchored = true;
      if (n.kind == RxKind::kString) {
        m_p.prefix = n.text;
        m_p.prefixIcase = n.icase;
        for (size_t k = 0; k < n.text.size(); ++k) {
          uint8_t c = static_cast<uint8_t>(n.text[k]);
          if (!n.icase || RxOtherCase(c) == c) {
            m_p.prefixScanAt = static_cast<int>(k);
            break;
          }
        }
      }
      break;
    }
  }
  RxByteSet first;
  if (!First(m_tree.root, first, 0) && !first.Full()) {
    m_p.useFirst = true;
    for (int c = 0; c < 256; ++c) m_p.firstTable[c] = first.Has(static_cast<uint8_t>(c));
    if (first.Count() <= 3)
      for (int c = 0; c < 256; ++c)
        if (first.Has(static_cast<uint8_t>(c))) m_p.firstBytes.push_back(static_cast<char>(c));
    m_p.first = first;
  }
  m_p.minLength = MinLength(m_tree.root, 0);
  Required(m_tree.root, 0);
  if (m_p.required >= 0 && m_p.requiredIcase &&
      RxOtherCase(static_cast<uint8_t>(m_p.required)) == m_p.required)
    m_p.requiredIcase = false;
}

void Compiler::Run() {
  size_t groups = static_cast<size_t>(m_tree.highest) + 1;
  m_p.highest = m_tree.highest;
  m_p.groupPc.assign(groups, -1);
  m_p.loopFrom.assign(groups, 0);
  m_p.loopTo.assign(groups, 0);
  m_called.assign(groups, false);
  for (const RxNode& n : m_tree.nodes)
    if (n.kind == RxKind::kRecurse && n.group >= 0 && static_cast<size_t>(n.group) < groups)
      m_called[static_cast<size_t>(n.group)] = true;
  m_p.groupPc[0] = 0;
  EmitTree(m_tree.root);
  Emit(kOpReturnIf, 0);
  Emit(kOpMatch);
  m_p.loopTo[0] = m_p.loops;
  // Groups reached only by recursion (their place in the pattern was dropped
  // by a zero repetition) still need code to call.
  for (size_t g = 1; g < groups; ++g) {
    if (!m_called[g] || m_p.groupPc[g] >= 0 || m_tree.groupNode[g] < 0) continue;
    EmitTree(m_tree.groupNode[g]);
    Emit(kOpFail);
  }
  Hints();
  Analyse();
}

}  // namespace

void RxCompile(const RxTree& tree, RegexProgramData& program) { Compiler(tree, program).Run(); }

#pragma once

#include <functional>
#include <string>

class CTask;

// What a task's price history says of a drop, told beside the change text:
// a low ("历史最低", "近90天最低"), a drop that only undoes a recent rise
// ("先涨后降：14天内从199.00涨到259.00"), or nothing (a history too short to
// say, or a price that is neither).
struct DealNote {
  enum class Kind { kNone, kLow, kRiseUndone };
  Kind kind = Kind::kNone;
  std::string text;  // local code page; empty for kNone
  // At least the lowest price of the last 30 days, and no rise undone: what
  // "只提醒真降价" (RealDealsOnly) still tells.
  bool realDeal = false;

  bool operator==(const DealNote&) const = default;
};

// Judges a task's current price against its price history. The histories
// live in the services layer, which provides the program's one
// (JudgeTaskDeal); without one, drops carry no note.
using JudgeDealFunction = std::function<DealNote(const CTask& task)>;

#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "engine/dealnote.h"
#include "services/history.h"

class CTask;

// Deal verdicts: what a product's price history says of a price. A history
// holds a point for each change, so a price holds from its point until the
// next one: the lowest price of the last N days is the lowest of the points
// in those days and of the price in force when they began.

// Section "Base" of config.ini: a rise of at least "RisePercent" (5) per cent
// within the last "RiseDays" (14) days that a drop only undoes is "先涨后降".
struct VerdictSettings {
  int riseDays = 14;
  double risePercent = 5;
};
VerdictSettings ReadVerdictSettings();

// The lowest price of a stretch of history and the date of its point; both
// empty when the history does not reach back over the whole stretch.
struct PriceLow {
  std::string price;  // "%.2f"
  std::string date;
};

inline constexpr int kVerdictDays[] = {30, 90, 180};
// The history an all-time low needs.
inline constexpr int kAllTimeLowDays = 60;

struct PriceVerdict {
  enum class Kind {
    kTooShort,    // the history is too short to say anything ("历史记录不足")
    kNone,        // above the lowest price of the last 30 days
    kAllTimeLow,  // "历史最低"
    kLowOfDays,   // "近N天最低", N = lowDays
    kRiseUndone,  // "先涨后降：N天内从A涨到B"
  };
  Kind kind = Kind::kTooShort;
  // The longest of 30, 90, 180 days whose lowest price the price is at or
  // below; 0 for none. Set whatever the kind.
  int lowDays = 0;
  PriceLow lows[3];  // of the last 30, 90 and 180 days
  PriceLow lowest;   // of the whole history
  // The rise a drop undoes: from `riseFrom` to `riseTo` within `riseDays`.
  std::string riseFrom;
  std::string riseTo;
  int riseDays = 0;
};

// Judges `price` at `now` against a history (points newest first, as
// CPriceInfo holds them; points whose date or price does not read are left
// out). The new price's own point may be among them.
PriceVerdict JudgePrice(const std::vector<CPriceInfoItem>& newestFirst, const std::string& price,
                        std::time_t now, const VerdictSettings& settings);

// The verdict as the user reads it, local code page: "历史最低", "近90天最低",
// "先涨后降：14天内从199.00涨到259.00"; empty for kTooShort and kNone.
std::string VerdictText(const PriceVerdict& verdict);
// The same as the history view says it: kTooShort is "历史记录不足", kNone
// "高于近30天最低价".
std::string VerdictViewText(const PriceVerdict& verdict);

// "近N天最低", local code page.
std::string LowOfDaysText(int days);

DealNote MakeDealNote(const PriceVerdict& verdict);

// The tracker's judge: the task's CurrentPrice now, against the history
// attached to the task, with the settings of config.ini.
DealNote JudgeTaskDeal(const CTask& task);

#include "services/verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/clock.h"
#include "base/ini.h"
#include "base/programdir.h"
#include "base/stringtable.h"
#include "base/timetext.h"
#include "engine/task.h"

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;
// Prices were texts of two decimals; a hair keeps 199.00 equal to 199.00.
constexpr double kHair = 1e-6;
// The longest rise window a setting may ask for (ten years).
constexpr int kMostRiseDays = 3650;

struct Point {
  std::time_t when;
  double price;
  std::string date;
};

double ReadPrice(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && std::isfinite(value) ? value : 0;
}

std::string FormatPrice(double price) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", price);
  return text;
}

// Oldest first, without the points that say nothing.
std::vector<Point> ReadPoints(const std::vector<CPriceInfoItem>& newestFirst) {
  std::vector<Point> points;
  points.reserve(newestFirst.size());
  for (auto item = newestFirst.rbegin(); item != newestFirst.rend(); ++item) {
    std::time_t when = 0;
    const double price = ReadPrice(item->price);
    if (price > 0 && ParseTimeText(item->date, when)) points.push_back({when, price, item->date});
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const Point& a, const Point& b) { return a.when < b.when; });
  return points;
}

// Whether point i set the price at some time from `start` on: it lies after
// `start`, or it is the one in force at `start`.
bool HeldSince(const std::vector<Point>& points, size_t i, std::time_t start) {
  return points[i].when > start || i + 1 == points.size() || points[i + 1].when > start;
}

// The lowest price held from `start` on (of points before `end`, an index);
// of equal prices the latest, the last time it was seen.
const Point* LowestSince(const std::vector<Point>& points, std::time_t start, size_t end) {
  const Point* lowest = nullptr;
  for (size_t i = 0; i < end; ++i)
    if (HeldSince(points, i, start) && (!lowest || points[i].price <= lowest->price + kHair))
      lowest = &points[i];
  return lowest;
}

PriceLow LowOf(const Point* point) {
  return point ? PriceLow{FormatPrice(point->price), point->date} : PriceLow{};
}

// A rise within the window that a drop to `price` only undoes: the latest
// highest price of the window, at least `risePercent` above the lowest price
// held in the window before it, with `price` below the peak and not below
// where the rise began.
bool FindRiseUndone(const std::vector<Point>& points, double price, std::time_t now,
                    const VerdictSettings& settings, PriceVerdict& verdict) {
  if (settings.riseDays <= 0) return false;
  const std::time_t start = now - std::min(settings.riseDays, kMostRiseDays) * kDay;
  size_t peak = points.size();
  for (size_t i = 0; i < points.size(); ++i)
    if (points[i].when > start &&
        (peak == points.size() || points[i].price >= points[peak].price - kHair))
      peak = i;
  if (peak == points.size() || !(price < points[peak].price - kHair)) return false;
  const Point* before = LowestSince(points, start, peak);
  if (!before) return false;
  const double least = before->price * (1 + std::max(0.0, settings.risePercent) / 100);
  if (points[peak].price < least - kHair || price < before->price - kHair) return false;
  verdict.riseFrom = FormatPrice(before->price);
  verdict.riseTo = FormatPrice(points[peak].price);
  verdict.riseDays = settings.riseDays;
  return true;
}

}  // namespace

std::string LowOfDaysText(int days) {
  return LoadString(IDS_VERDICT_RECENT) + std::to_string(days) + LoadString(IDS_VERDICT_DAYS_LOW);
}

VerdictSettings ReadVerdictSettings() {
  const std::string config = ProgramFile("config.ini");
  VerdictSettings settings;
  settings.riseDays =
      std::clamp(IniGetInt(config, "Base", "RiseDays", settings.riseDays), 0, kMostRiseDays);
  const std::string percent = IniGetString(config, "Base", "RisePercent", "");
  char* end = nullptr;
  const double value = std::strtod(percent.c_str(), &end);
  // An unreadable or negative percentage keeps the default.
  if (end != percent.c_str() && std::isfinite(value) && value >= 0) settings.risePercent = value;
  return settings;
}

PriceVerdict JudgePrice(const std::vector<CPriceInfoItem>& newestFirst, const std::string& price,
                        std::time_t now, const VerdictSettings& settings) {
  PriceVerdict verdict;
  const std::vector<Point> points = ReadPoints(newestFirst);
  const double value = ReadPrice(price);
  if (points.empty() || !(value > 0)) return verdict;

  const std::time_t span = now - points.front().when;
  for (size_t k = 0; k < std::size(kVerdictDays); ++k) {
    const int days = kVerdictDays[k];
    if (span < days * kDay) break;
    const Point* low = LowestSince(points, now - days * kDay, points.size());
    verdict.lows[k] = LowOf(low);
    if (value <= low->price + kHair) verdict.lowDays = days;
  }
  const Point* lowest = LowestSince(points, points.front().when, points.size());
  verdict.lowest = LowOf(lowest);

  if (FindRiseUndone(points, value, now, settings, verdict))
    verdict.kind = PriceVerdict::Kind::kRiseUndone;
  else if (span >= kAllTimeLowDays * kDay && value <= lowest->price + kHair)
    verdict.kind = PriceVerdict::Kind::kAllTimeLow;
  else if (verdict.lowDays > 0)
    verdict.kind = PriceVerdict::Kind::kLowOfDays;
  else if (span >= kVerdictDays[0] * kDay)
    verdict.kind = PriceVerdict::Kind::kNone;
  return verdict;
}

std::string VerdictText(const PriceVerdict& verdict) {
  switch (verdict.kind) {
    case PriceVerdict::Kind::kAllTimeLow:
      return LoadString(IDS_VERDICT_ALL_TIME_LOW);
    case PriceVerdict::Kind::kLowOfDays:
      return LowOfDaysText(verdict.lowDays);
    case PriceVerdict::Kind::kRiseUndone:
      return LoadString(IDS_VERDICT_RISE_UNDONE) + std::to_string(verdict.riseDays) +
             LoadString(IDS_VERDICT_RISE_WITHIN) + verdict.riseFrom +
             LoadString(IDS_VERDICT_RISE_TO) + verdict.riseTo;
    case PriceVerdict::Kind::kTooShort:
    case PriceVerdict::Kind::kNone:
      break;
  }
  return std::string();
}

std::string VerdictViewText(const PriceVerdict& verdict) {
  if (verdict.kind == PriceVerdict::Kind::kTooShort) return LoadString(IDS_VERDICT_TOO_SHORT);
  if (verdict.kind == PriceVerdict::Kind::kNone) return LoadString(IDS_VERDICT_NONE);
  return VerdictText(verdict);
}

DealNote MakeDealNote(const PriceVerdict& verdict) {
  DealNote note;
  note.text = VerdictText(verdict);
  if (verdict.kind == PriceVerdict::Kind::kRiseUndone)
    note.kind = DealNote::Kind::kRiseUndone;
  else if (!note.text.empty())
    note.kind = DealNote::Kind::kLow;
  note.realDeal = verdict.lowDays > 0 && verdict.kind != PriceVerdict::Kind::kRiseUndone;
  return note;
}

DealNote JudgeTaskDeal(const CTask& task) {
  const std::shared_ptr<CPriceInfo> history = task.GetPriceHistory();
  if (!history) return DealNote{};
  return MakeDealNote(
      JudgePrice(history->Items(), task.GetCurrentPrice(), CurrentTime(), ReadVerdictSettings()));
}

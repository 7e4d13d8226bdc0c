#include "controls/timeaxis.h"

#include <algorithm>
#include <cmath>

#include <QDateTime>
#include <QTimeZone>

namespace {

constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 86400;
constexpr qint64 kMonth = 30 * kDay;
constexpr qint64 kYear = 365 * kDay;

enum class Unit { kSeconds, kDays, kMonths, kYears };

struct CalendarStep {
  Unit unit;
  qint64 count;  // of seconds, days, months or years
  qint64 seconds;
};

constexpr CalendarStep kSteps[] = {
    {Unit::kSeconds, kMinute, kMinute},
    {Unit::kSeconds, 5 * kMinute, 5 * kMinute},
    {Unit::kSeconds, 10 * kMinute, 10 * kMinute},
    {Unit::kSeconds, 15 * kMinute, 15 * kMinute},
    {Unit::kSeconds, 30 * kMinute, 30 * kMinute},
    {Unit::kSeconds, kHour, kHour},
    {Unit::kSeconds, 2 * kHour, 2 * kHour},
    {Unit::kSeconds, 3 * kHour, 3 * kHour},
    {Unit::kSeconds, 6 * kHour, 6 * kHour},
    {Unit::kSeconds, 12 * kHour, 12 * kHour},
    {Unit::kDays, 1, kDay},
    {Unit::kDays, 2, 2 * kDay},
    {Unit::kDays, 5, 5 * kDay},
    {Unit::kDays, 10, 10 * kDay},
    {Unit::kDays, 15, 15 * kDay},
    {Unit::kMonths, 1, kMonth},
    {Unit::kMonths, 2, 2 * kMonth},
    {Unit::kMonths, 3, 3 * kMonth},
    {Unit::kMonths, 6, 6 * kMonth},
};

// Histories span years at most; beyond this the axis gets no ticks.
constexpr double kLongestSpan = 10000.0 * kYear;

qint64 Start(int year, int month, int day) {
  return QDateTime(QDate(year, month, day), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
}

// Collects the ticks a walk offers in order, inside [low, high]; false once
// the walk may stop (past `high`, or more ticks than wanted).
struct TickCollector {
  qint64 low;
  qint64 high;
  size_t most;
  std::vector<double> ticks;

  bool Offer(qint64 value) {
    if (value > high) return false;
    if (value >= low) ticks.push_back(static_cast<double>(value));
    return ticks.size() <= most;
  }
};

void WalkSeconds(TickCollector& ticks, qint64 step) {
  // Midnights are whole days since 1970, so multiples of the step count
  // from midnight.
  qint64 t = ticks.low - ((ticks.low % step) + step) % step;
  while (ticks.Offer(t)) t += step;
}

// Days 1, 1 + n, 1 + 2n ... of each month; a day too near the month's end
// is left out rather than crowding the next month's 1st.
void WalkDays(TickCollector& ticks, int step) {
  const QDate first = QDateTime::fromSecsSinceEpoch(ticks.low, QTimeZone::utc()).date();
  for (QDate month(first.year(), first.month(), 1);; month = month.addMonths(1)) {
    for (int day = 1; day <= month.daysInMonth(); day += step) {
      if (day > 1 && month.daysInMonth() - day + 1 <= step / 2) break;
      if (!ticks.Offer(Start(month.year(), month.month(), day))) return;
    }
  }
}

void WalkMonths(TickCollector& ticks, int step) {
  const QDate first = QDateTime::fromSecsSinceEpoch(ticks.low, QTimeZone::utc()).date();
  int index = first.year() * 12 + first.month() - 1;
  index -= index % step;
  for (; ticks.Offer(Start(index / 12, index % 12 + 1, 1)); index += step) {
  }
}

void WalkYears(TickCollector& ticks, int step) {
  int year = QDateTime::fromSecsSinceEpoch(ticks.low, QTimeZone::utc()).date().year();
  year -= ((year % step) + step) % step;
  for (; ticks.Offer(Start(year, 1, 1)); year += step) {
  }
}

std::vector<double> Walk(const CalendarStep& step, qint64 low, qint64 high, size_t most) {
  TickCollector ticks{low, high, most, {}};
  const int count = static_cast<int>(step.count);
  switch (step.unit) {
    case Unit::kSeconds:
      WalkSeconds(ticks, step.count);
      break;
    case Unit::kDays:
      WalkDays(ticks, count);
      break;
    case Unit::kMonths:
      WalkMonths(ticks, count);
      break;
    case Unit::kYears:
      WalkYears(ticks, count);
      break;
  }
  return std::move(ticks.ticks);
}

}  // namespace

AxisTicks CalendarTicks(double low, double high, int maxTicks) {
  if (!std::isfinite(low) || !std::isfinite(high) || high < low || high - low > kLongestSpan)
    return {};
  const auto most = static_cast<size_t>(std::max(1, maxTicks));
  const auto from = static_cast<qint64>(std::ceil(low));
  const auto to = static_cast<qint64>(std::floor(high));
  std::vector<CalendarStep> steps(std::begin(kSteps), std::end(kSteps));
  for (qint64 magnitude = 1; magnitude <= 10000; magnitude *= 10)
    for (qint64 factor : {1, 2, 5})
      steps.push_back({Unit::kYears, factor * magnitude, factor * magnitude * kYear});
  for (const CalendarStep& step : steps) {
    std::vector<double> ticks = Walk(step, from, to, most);
    if (ticks.size() <= most) return {std::move(ticks), static_cast<double>(step.seconds)};
  }
  return {};
}

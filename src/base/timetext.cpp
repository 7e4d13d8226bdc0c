#include "base/timetext.h"

#include <cstdio>

#include "base/clock.h"

std::string FormatTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[64];
  std::snprintf(text, sizeof(text), "%d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string FormatNowText() { return FormatTimeText(CurrentTime()); }

bool ParseTimeText(const std::string& text, std::time_t& when) {
  std::tm local{};
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%n", &local.tm_year, &local.tm_mon,
                  &local.tm_mday, &local.tm_hour, &local.tm_min, &local.tm_sec, &consumed) != 6)
    return false;
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;
  when = std::mktime(&local);
  return when != static_cast<std::time_t>(-1);
}

std::string NowStamp() { return std::to_string(static_cast<long long>(CurrentTime())); }

#include "automation/writers/date_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tavrio::automation::writers {
namespace {

constexpr double kLastSerial = 2958466;  // 10000-01-01

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
CivilDate FromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned mp = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2), month, day};
}

CivilDate FromSerialDay(std::int64_t day) {
  if (day == 0) return {1900, 1, 0};  // what spreadsheet applications show for 0
  if (day == 60) return {1900, 2, 29};
  // Serials below 60 count from 1899-12-31, later ones from 1899-12-30 (1900 had no 29 Feb).
  constexpr std::int64_t k18991230 = -25569;
  return FromDays(k18991230 + day + (day < 60 ? 1 : 0));
}

}  // namespace

std::optional<std::string> SerialDateText(double serial, engine::NumberFormatKind kind) {
  if (!(serial >= 0) || serial >= kLastSerial) return std::nullopt;
  const auto seconds = static_cast<std::int64_t>(std::llround(serial * 86400));
  const std::int64_t day = seconds / 86400;
  const std::int64_t second_of_day = seconds % 86400;
  char text[40];
  const auto hours = static_cast<int>(second_of_day / 3600);
  const auto minutes = static_cast<int>(second_of_day / 60 % 60);
  const auto secs = static_cast<int>(second_of_day % 60);
  if (!kind.date) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, secs);
    return text;
  }
  const CivilDate date = FromSerialDay(day);
  const int length = std::snprintf(text, sizeof text, "%04lld-%02u-%02u",
                                   static_cast<long long>(date.year), date.month, date.day);
  if (kind.time) {
    std::snprintf(text + length, sizeof text - length, " %02d:%02d:%02d", hours, minutes, secs);
  }
  return text;
}

}  // namespace tavrio::automation::writers

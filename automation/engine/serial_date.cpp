#include "automation/engine/serial_date.h"

namespace tavrio::automation::engine {
namespace {

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm).
CalendarDate FromUnixDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  const int year = static_cast<int>(year_of_era + era * 400) + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

}  // namespace

CalendarDate SerialDayToDate(std::int64_t serial_day) {
  if (serial_day == 0) return {1900, 1, 0};
  if (serial_day == 60) return {1900, 2, 29};
  constexpr std::int64_t kSerialOf1970 = 25569;
  return FromUnixDays(serial_day - kSerialOf1970 + (serial_day < 60 ? 1 : 0));
}

}  // namespace tavrio::automation::engine

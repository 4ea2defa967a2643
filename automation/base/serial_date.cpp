#include "automation/base/serial_date.h"

#include <chrono>

namespace tavrio::automation {
namespace {

using std::chrono::sys_days;
using std::chrono::year_month_day;

// Serials count from 1899-12-30, so that 1900-03-01 is 61 and the phantom 1900-02-29 is 60.
constexpr sys_days kSerialEpoch = sys_days(year_month_day(std::chrono::year(1899) / 12 / 30));
constexpr sys_days k1904Epoch = sys_days(year_month_day(std::chrono::year(1904) / 1 / 1));
constexpr std::int64_t kPhantomLeapDay = 60;

}  // namespace

CalendarDate SerialDayToDate(std::int64_t serial_day) {
  if (serial_day == 0) return {1900, 1, 0};
  if (serial_day == kPhantomLeapDay) return {1900, 2, 29};
  if (serial_day < kPhantomLeapDay) ++serial_day;
  const year_month_day date(kSerialEpoch + std::chrono::days(serial_day));
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day()))};
}

std::optional<std::int64_t> SerialDayFromDate(int year, int month, int day, DateSystem system) {
  if (month < 1 || day < 1) return std::nullopt;
  const year_month_day date{std::chrono::year{year},
                            std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) return std::nullopt;
  if (system == DateSystem::k1904) return (sys_days(date) - k1904Epoch).count();
  std::int64_t serial = (sys_days(date) - kSerialEpoch).count();
  if (serial <= kPhantomLeapDay) --serial;
  return serial;
}

}  // namespace tavrio::automation

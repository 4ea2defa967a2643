#include "automation/writers/date_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "automation/base/serial_date.h"

namespace tavrio::automation::writers {

std::optional<std::string> SerialDateText(double serial, engine::NumberFormatKind kind) {
  if (!(serial >= 0) || serial >= kSerialPastLastDate) return std::nullopt;
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
  const CalendarDate date = SerialDayToDate(day);
  const int length =
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  if (kind.time) {
    std::snprintf(text + length, sizeof text - length, " %02d:%02d:%02d", hours, minutes, secs);
  }
  return text;
}

}  // namespace tavrio::automation::writers

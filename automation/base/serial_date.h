#pragma once

#include <cstdint>
#include <optional>

namespace tavrio::automation {

// A day of the calendar as the 1900 date system names it. Month and day are 1-based, except
// that serial 0 is "1900-01-00", as spreadsheet applications show it.
struct CalendarDate {
  int year;
  int month;
  int day;
};

// The first serial number past 9999-12-31: no date format can show it or anything later.
inline constexpr double kSerialPastLastDate = 2958466;

// The calendar day of a serial day number in the 1900 date system (the system every workbook
// in the engine uses). That system counts a 29 February 1900 (serial 60) that never was, so
// serials below 61 are one day off the true calendar; it is kept because every spreadsheet
// application shows them that way.
CalendarDate SerialDayToDate(std::int64_t serial_day);

enum class DateSystem { k1900, k1904 };

// The serial day number of a calendar date: in the 1900 system 1899-12-31 is 0 and 1900-03-01
// is 61 (one past the phantom 29 February); in the 1904 system 1904-01-01 is 0. Days before
// those come out negative. nullopt for a date the calendar does not have (2023-02-29).
std::optional<std::int64_t> SerialDayFromDate(int year, int month, int day,
                                              DateSystem system = DateSystem::k1900);

}  // namespace tavrio::automation

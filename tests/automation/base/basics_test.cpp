// The basics every layer shares: cell addresses, serial dates, UTF-16 lengths.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/base/cell_address.h"
#include "automation/base/serial_date.h"
#include "automation/base/utf8.h"

namespace tavrio::automation {
namespace {

TEST(CellAddressTest, ColumnLettersCountLikeASpreadsheet) {
  const std::pair<std::uint32_t, std::string> cases[] = {{1, "A"},     {26, "Z"},     {27, "AA"},
                                                         {52, "AZ"},   {53, "BA"},    {702, "ZZ"},
                                                         {703, "AAA"}, {16384, "XFD"}};
  for (const auto& [column, letters] : cases) {
    SCOPED_TRACE(column);
    EXPECT_EQ(ColumnLetters(column), letters);
    std::uint32_t row = 0, parsed = 0;
    ASSERT_EQ(ParseCellReference(letters + "7", row, parsed), ReferenceStatus::kValid);
    EXPECT_EQ(parsed, column);
    EXPECT_EQ(row, 7u);
  }
  EXPECT_EQ(CellReference(1048576, 16384), "XFD1048576");
}

TEST(CellAddressTest, ReferencesOutsideTheSheetOrMalformedAreToldApart) {
  const std::pair<const char*, ReferenceStatus> cases[] = {
      {"b7", ReferenceStatus::kValid},         {"XFD1048576", ReferenceStatus::kValid},
      {"XFE1", ReferenceStatus::kOutOfRange},  {"A1048577", ReferenceStatus::kOutOfRange},
      {"AAAA1", ReferenceStatus::kOutOfRange}, {"A123456789", ReferenceStatus::kOutOfRange},
      {"A0", ReferenceStatus::kMalformed},     {"7", ReferenceStatus::kMalformed},
      {"A", ReferenceStatus::kMalformed},      {"$A$1", ReferenceStatus::kMalformed},
      {"A1B", ReferenceStatus::kMalformed},    {"", ReferenceStatus::kMalformed}};
  for (const auto& [text, status] : cases) {
    SCOPED_TRACE(text);
    std::uint32_t row = 99, column = 99;
    EXPECT_EQ(ParseCellReference(text, row, column), status);
    if (status != ReferenceStatus::kValid) {
      EXPECT_EQ(row, 99u);
    }
  }
}

TEST(CellAddressTest, RangesKeepTheirEndsAsWritten) {
  const std::pair<const char*, std::vector<std::uint32_t>> cases[] = {
      {"B2:C7", {2, 2, 7, 3}},
      {"C7:b2", {7, 3, 2, 2}},
      {"D4", {4, 4, 4, 4}},
      {"A1:XFD1048576", {1, 1, 1048576, 16384}},
      {"A1:", {}},
      {":A1", {}},
      {"A1:B2:C3", {}},
      {"A1:XFE1", {}},
      {"", {}}};
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    CellRangeReference range{9, 9, 9, 9};
    const bool parsed = ParseCellRange(text, range);
    EXPECT_EQ(parsed, !expected.empty());
    if (!parsed) {
      EXPECT_EQ(range.first_row, 9u);
      continue;
    }
    EXPECT_EQ((std::vector<std::uint32_t>{range.first_row, range.first_column, range.last_row,
                                          range.last_column}),
              expected);
  }
}

struct DateCase {
  std::int64_t serial;
  CalendarDate date;
};

TEST(SerialDateTest, CountsThePhantomLeapDayOfThe1900System) {
  const DateCase cases[] = {
      {0, {1900, 1, 0}},      {1, {1900, 1, 1}},         {59, {1900, 2, 28}},
      {60, {1900, 2, 29}},    {61, {1900, 3, 1}},        {25569, {1970, 1, 1}},
      {45306, {2024, 1, 15}}, {2958465, {9999, 12, 31}}, {-1, {1899, 12, 30}}};
  for (const auto& [serial, date] : cases) {
    SCOPED_TRACE(serial);
    const CalendarDate shown = SerialDayToDate(serial);
    EXPECT_EQ(shown.year, date.year);
    EXPECT_EQ(shown.month, date.month);
    EXPECT_EQ(shown.day, date.day);
  }
  // Every real day comes back to its serial; the phantom 1900-02-29 has none to come from.
  for (const std::int64_t serial : {1, 59, 61, 25569, 45306, 2958465}) {
    const CalendarDate date = SerialDayToDate(serial);
    EXPECT_EQ(SerialDayFromDate(date.year, date.month, date.day), serial) << serial;
  }
  EXPECT_EQ(SerialDayFromDate(1899, 12, 31), 0);
  EXPECT_EQ(SerialDayFromDate(1900, 2, 29), std::nullopt);
  EXPECT_EQ(SerialDayFromDate(2023, 2, 29), std::nullopt);
  EXPECT_EQ(SerialDayFromDate(2024, 13, 1), std::nullopt);
  EXPECT_EQ(SerialDayFromDate(1904, 1, 1, DateSystem::k1904), 0);
  EXPECT_EQ(SerialDayFromDate(2024, 1, 15, DateSystem::k1904), 45306 - 1462);
}

TEST(Utf8Test, LengthCountsUtf16UnitsAndEncodingRoundsTheRanges) {
  std::string text;
  for (const std::uint32_t code : {0x41u, 0xE9u, 0x9500u, 0x1F600u}) AppendUtf8(code, text);
  EXPECT_EQ(text, "A\xC3\xA9\xE9\x94\x80\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16Length(text), 5u);
  EXPECT_EQ(Utf16Length(""), 0u);
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("销售"), 2u);
}

}  // namespace
}  // namespace tavrio::automation

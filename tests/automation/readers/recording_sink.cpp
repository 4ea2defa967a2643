#include "tests/automation/readers/recording_sink.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tavrio::automation::readers::testing {
namespace {

std::pair<std::uint32_t, std::uint16_t> Decode(const std::string& reference) {
  std::size_t i = 0;
  unsigned column = 0;
  while (i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z') {
    column = column * 26 + (reference[i++] - 'A' + 1);
  }
  return {static_cast<std::uint32_t>(std::stoul(reference.substr(i))),
          static_cast<std::uint16_t>(column)};
}

}  // namespace

void RecordingSink::Put(std::uint32_t row, std::uint16_t column, RecordedCell cell) {
  if (!cells_.emplace(std::make_pair(row, column), std::move(cell)).second) {
    ADD_FAILURE() << "cell handed over twice: row " << row << " column " << column;
  }
}

void RecordingSink::Number(std::uint32_t row, std::uint16_t column, double value,
                           std::uint32_t style) {
  Put(row, column, {Kind::kNumber, value, {}, false, style});
}

void RecordingSink::Text(std::uint32_t row, std::uint16_t column, std::string_view text,
                         std::uint32_t style) {
  Put(row, column, {Kind::kText, 0, std::string(text), false, style});
}

void RecordingSink::Boolean(std::uint32_t row, std::uint16_t column, bool value,
                            std::uint32_t style) {
  Put(row, column, {Kind::kBoolean, 0, {}, value, style});
}

void RecordingSink::ErrorValue(std::uint32_t row, std::uint16_t column, std::string_view text,
                               std::uint32_t style) {
  Put(row, column, {Kind::kError, 0, std::string(text), false, style});
}

void RecordingSink::Blank(std::uint32_t row, std::uint16_t column, std::uint32_t style) {
  Put(row, column, {Kind::kBlank, 0, {}, false, style});
}

const RecordedCell& RecordingSink::At(const std::string& reference) const {
  auto found = cells_.find(Decode(reference));
  if (found == cells_.end()) throw std::out_of_range("no cell at " + reference);
  return found->second;
}

bool RecordingSink::Has(const std::string& reference) const {
  return cells_.count(Decode(reference)) != 0;
}

}  // namespace tavrio::automation::readers::testing

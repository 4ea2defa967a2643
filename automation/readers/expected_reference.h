#pragma once

// The reference the next cell of a row has when it stands right after the previous one: "E7"
// after "D7". Nearly every cell a spreadsheet application saves does, so a cell is placed by
// comparing its r attribute with this one, a few bytes, rather than by reading its letters and
// digits: ~45 instructions a cell less on the benchmark's million set (`valgrind
// --tool=callgrind build-bench/bench/harness/tavrio-bench-merge` on two of its files).

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "automation/base/sheet_limits.h"

namespace tavrio::automation::readers {

class ExpectedReference {
 public:
  // Expects column 1 of `row` (1 to kMaxRows).
  void StartRow(std::uint32_t row);
  // Expects `column` of the row; one past kMaxColumns matches no reference.
  void Expect(std::uint32_t column);
  // Expects the column after the one expected: "Z7" is followed by "AA7". Inline: it runs for
  // nearly every cell.
  void Advance() {
    if (column_ >= kMaxColumns) {
      column_ = kMaxColumns + 1;
      return;
    }
    ++column_;
    for (std::size_t i = kLetters; i-- > kLetters - letters_;) {
      if (text_[i] != 'Z') {
        ++text_[i];
        return;
      }
      text_[i] = 'A';
    }
    text_[kLetters - ++letters_] = 'A';
    ++size_;
  }
  // Whether `reference` spells the expected cell exactly as this program writes it (upper-case
  // letters, no leading zero): ParseCellReference reads such a reference as that cell. Any
  // other spelling is for it to read.
  bool Matches(std::string_view reference) const {
    if (reference.size() != size_ || column_ > kMaxColumns) return false;
    const char* const expected = text_.data() + kLetters - letters_;
    // A letter and a digit at least, so the ends of either spelling are two words that
    // overlap or meet; a byte loop or memcmp's call each cost more than the reference saves.
    if (size_ >= 8) return SameEnds<std::uint64_t>(reference.data(), expected, size_);
    if (size_ >= 4) return SameEnds<std::uint32_t>(reference.data(), expected, size_);
    return SameEnds<std::uint16_t>(reference.data(), expected, size_);
  }
  std::uint32_t column() const { return column_; }

 private:
  // Whether the first and the last Word of `size` bytes at `a` and `b` agree.
  template <typename Word>
  static bool SameEnds(const char* a, const char* b, std::size_t size) {
    Word a_first, a_last, b_first, b_last;
    std::memcpy(&a_first, a, sizeof(Word));
    std::memcpy(&a_last, a + size - sizeof(Word), sizeof(Word));
    std::memcpy(&b_first, b, sizeof(Word));
    std::memcpy(&b_last, b + size - sizeof(Word), sizeof(Word));
    return ((a_first ^ b_first) | (a_last ^ b_last)) == 0;
  }

  static constexpr std::size_t kLetters = 3;  // XFD, the last column
  // The letters end at kLetters, the row's digits follow them.
  std::array<char, kLetters + 7> text_{};
  std::size_t letters_ = 0;
  std::size_t size_ = 0;
  std::uint32_t column_ = 0;
};

}  // namespace tavrio::automation::readers

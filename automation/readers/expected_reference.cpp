#include "automation/readers/expected_reference.h"

#include <charconv>

namespace tavrio::automation::readers {

void ExpectedReference::StartRow(std::uint32_t row) {
  const auto [end, ec] = std::to_chars(text_.data() + kLetters, text_.data() + text_.size(), row);
  size_ = end - (text_.data() + kLetters);
  letters_ = 0;
  Expect(1);
}

void ExpectedReference::Expect(std::uint32_t column) {
  size_ -= letters_;
  column_ = column;
  letters_ = 0;
  for (; column > 0 && letters_ < kLetters; column = (column - 1) / 26) {
    text_[kLetters - ++letters_] = static_cast<char>('A' + (column - 1) % 26);
  }
  size_ += letters_;
}

}  // namespace tavrio::automation::readers

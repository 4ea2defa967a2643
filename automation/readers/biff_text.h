#pragma once

// The strings of a binary workbook's records. BIFF8 stores Unicode: UTF-16, or one byte per
// character when all high bytes are zero (so Latin-1, whatever the code page). Earlier
// generations store bytes in the workbook's code page, which the CODEPAGE record names;
// without one, Windows-1252.

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/readers/biff_stream.h"
#include "automation/readers/text_encoding.h"

namespace tavrio::automation::readers {

class BiffText {
 public:
  explicit BiffText(BiffVersion version, std::uint16_t code_page = 1252);

  BiffVersion version() const { return version_; }
  // Throws ReadFault for a code page ICU cannot read.
  void SetCodePage(std::uint16_t code_page);

  // The string at `at` whose character count takes `count_bytes` (1 or 2) bytes, moving `at`
  // past it. In BIFF8 a flags byte follows the count, and a rich or phonetic string's extras,
  // which only shape how it looks, are skipped. Throws when the record ends before the string.
  std::string Read(std::string_view data, std::size_t& at, int count_bytes) const;
  // The same, for a string that ends its record: `at` need not move on.
  std::string ReadAt(std::string_view data, std::size_t at, int count_bytes) const {
    return Read(data, at, count_bytes);
  }
  // The same, for a string whose character count `count` the record keeps elsewhere: BIFF8
  // then has only the flags byte before the characters.
  std::string Chars(std::string_view data, std::size_t& at, std::size_t count) const;
  // Bytes in the workbook's code page, as UTF-8.
  std::string Bytes(std::string_view bytes) const { return decoder_.Decode(bytes); }

 private:
  BiffVersion version_;
  CodePageDecoder decoder_;
};

}  // namespace tavrio::automation::readers

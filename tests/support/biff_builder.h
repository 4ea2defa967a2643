#pragma once

// Builds binary workbooks byte by byte, for the cases no application at hand writes: records,
// the strings inside them, whole workbook streams, and the compound file that holds them.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrio::testing {

// Little-endian fields.
std::string U8(std::uint8_t value);
std::string U16(std::uint16_t value);
std::string U32(std::uint32_t value);
std::string F64(double value);

// One record: type, length, payload (at most 8224 bytes, as the format allows).
std::string BiffRecord(std::uint16_t type, std::string_view payload);

// A BIFF8 string: its character count (in `count_bytes`, 1 or 2), the flags byte, then the
// characters, 16-bit when any is past U+00FF or `wide` asks for it. `utf8` is the text.
std::string Biff8String(std::string_view utf8, int count_bytes, bool wide = false);
// The UTF-16 units of UTF-8 text, as little-endian bytes, without count or flags.
std::string Utf16Bytes(std::string_view utf8);

// A BOF record of the generation (2, 3, 4, 5 or 8) opening a substream of `type` (0x0005
// globals, 0x0010 worksheet, 0x0020 chart).
std::string BiffBof(int generation, std::uint16_t type);
std::string BiffEof();

struct BiffSheetBytes {
  std::string name;             // BIFF8: UTF-8; BIFF5: bytes in the workbook's code page
  std::string records;          // between the sheet's BOF and EOF
  std::uint8_t visibility = 0;  // 0 visible, 1 hidden, 2 very hidden
  std::uint8_t type = 0;        // 0 worksheet, 2 chart, 6 Visual Basic module
};

// A BIFF5 or BIFF8 workbook stream: the globals BOF, `globals` (records), one BOUNDSHEET per
// sheet pointing at it, EOF, then each sheet between its BOF and EOF.
std::string BiffWorkbookStream(int generation, const std::string& globals,
                               const std::vector<BiffSheetBytes>& sheets);

// A compound file holding `streams` (name, bytes) in its root storage, in 512-byte sectors;
// streams under 4096 bytes live in the mini stream, as every writer puts them.
std::string CompoundFileBytes(const std::vector<std::pair<std::string, std::string>>& streams);

}  // namespace tavrio::testing

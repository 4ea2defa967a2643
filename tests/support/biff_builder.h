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
// sheet pointing at it, EOF, then each sheet between its BOF and EOF (a worksheet's records
// after a DIMENSIONS record).
std::string BiffWorkbookStream(int generation, const std::string& globals,
                               const std::vector<BiffSheetBytes>& sheets);

// A compound file holding `streams` (name, bytes) in its root storage, in 512-byte sectors;
// streams under 4096 bytes live in the mini stream, as every writer puts them. A file past
// about 7 MiB lists its FAT in DIFAT sectors, as large workbooks do.
std::string CompoundFileBytes(const std::vector<std::pair<std::string, std::string>>& streams);

// Records of a sheet and its globals, as each generation lays them out. Rows and columns are
// 0-based; `xf` is the XF record's position. Without a generation in the name: BIFF3 on.
namespace biff {

std::string CodePage(std::uint16_t code_page);
std::string Format2(std::string_view code);                    // BIFF2-3, numbered by position
std::string Format4(std::string_view code);                    // BIFF4, numbered by position
std::string Format5(std::uint16_t id, std::string_view code);  // BIFF5, bytes
std::string Format8(std::uint16_t id, std::string_view utf8);
std::string Xf3(std::uint8_t format);
std::string Xf4(std::uint8_t format);
std::string Xf5(std::uint16_t format);
// A BIFF8 XF record from its fields: the alignment byte, the two border words and the
// fill colours.
std::string Xf8(std::uint16_t font, std::uint16_t format, std::uint8_t alignment,
                std::uint32_t lines, std::uint32_t more_lines, std::uint16_t fill_colors);
std::string Font8(std::string_view name, std::uint16_t twips, std::uint16_t weight,
                  std::uint16_t color, std::uint16_t options, std::uint8_t underline);

std::string Number(std::uint16_t row, std::uint16_t col, std::uint16_t xf, double value);
std::string Rk(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint32_t rk);
std::string MulRk(std::uint16_t row, std::uint16_t first_col,
                  const std::vector<std::pair<std::uint16_t, std::uint32_t>>& xf_rks);
std::string Blank(std::uint16_t row, std::uint16_t col, std::uint16_t xf);
std::string Label5(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::string_view bytes);
std::string Label8(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::string_view utf8);
std::string LabelSst(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint32_t index);
std::string BoolErr(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint8_t value,
                    bool error);
// The 8 bytes of a formula's last result.
std::string NumberResult(double value);
std::string StringResult();  // the text follows in a STRING record
std::string BooleanResult(bool value);
std::string ErrorResult(std::uint8_t code);
std::string EmptyResult();
// A FORMULA record of `generation` (3, 4, 5 or 8); the tokens default to the constant 1.
std::string Formula(std::uint16_t row, std::uint16_t col, std::uint16_t xf,
                    const std::string& result, int generation,
                    const std::string& tokens = std::string("\x1E\x01\x00", 3));
std::string PtgExp(std::uint16_t row, std::uint16_t col);
std::string String5(std::string_view bytes);
std::string String8(std::string_view utf8);
std::string Utf16(std::string_view utf8);

// BIFF2 cells carry three attribute bytes; without XF records the second names the format.
std::string Number2(std::uint16_t row, std::uint16_t col, std::uint8_t format, double value);
std::string Integer2(std::uint16_t row, std::uint16_t col, std::uint8_t format,
                     std::uint16_t value);
std::string Label2(std::uint16_t row, std::uint16_t col, std::string_view bytes);
std::string BoolErr2(std::uint16_t row, std::uint16_t col, std::uint8_t value, bool error);
std::string Formula2(std::uint16_t row, std::uint16_t col, const std::string& result);

}  // namespace biff
}  // namespace tavrio::testing

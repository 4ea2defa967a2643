#include "tests/automation/readers/crafted_biff_files.h"

#include "tests/support/biff_builder.h"

namespace tavrio::automation::readers::testing {

using namespace tavrio::testing::biff;
using tavrio::testing::BiffBof;
using tavrio::testing::BiffEof;
using tavrio::testing::BiffRecord;
using tavrio::testing::BiffWorkbookStream;
using tavrio::testing::CompoundFileBytes;
using tavrio::testing::U16;
using tavrio::testing::U32;
using tavrio::testing::U8;

std::vector<CraftedBiffFile> BareBiffFiles() {
  return {
      {"biff2.xls", BiffBof(2, 0x0010) + Format2("General") + Format2("0.00") +
                        Number2(0, 0, 1, 2.5) + Integer2(0, 1, 0, 7) + Label2(1, 0, "caf\xE9") +
                        BoolErr2(1, 1, 1, false) + Formula2(2, 0, NumberResult(9)) + BiffEof()},
      {"biff3.xls", BiffBof(3, 0x0010) + Format2("General") + Format2("0.00") + Xf3(0) + Xf3(1) +
                        Number(0, 0, 1, 2.5) + Rk(0, 1, 0, 7 << 2 | 2) +
                        Label5(1, 0, 0, "caf\xE9") + BoolErr(1, 1, 0, 1, false) +
                        Formula(2, 0, 0, NumberResult(9), 3, std::string("\x1E\x09\x00", 3)) +
                        BiffEof()},
      {"biff4.xls", BiffBof(4, 0x0010) + CodePage(1252) + Format4("General") + Format4("0.00") +
                        Xf4(0) + Xf4(1) + Number(0, 0, 1, 2.5) + Rk(0, 1, 0, 7 << 2 | 2) +
                        Label5(1, 0, 0, "caf\xE9") + BoolErr(1, 1, 0, 1, false) +
                        Formula(2, 0, 0, NumberResult(9), 4, std::string("\x1E\x09\x00", 3)) +
                        BiffEof()},
  };
}

namespace {

// A formula ="abc" (a string token) whose result is "abc".
std::string TextFormula(std::uint16_t row, std::uint16_t col, int generation,
                        const std::string& text) {
  const std::string token = generation == 8
                                ? U8(0x17) + tavrio::testing::Biff8String(text, 1)
                                : U8(0x17) + U8(static_cast<std::uint8_t>(text.size())) + text;
  return Formula(row, col, 0, StringResult(), generation, token) +
         (generation == 8 ? String8(text) : String5(text));
}

std::string Biff5MacRoman() {
  const std::string globals =
      CodePage(10000) + Format5(164, "yyyy-mm-dd hh:mm:ss") + Xf5(0) + Xf5(164);
  const std::string cells = Label5(0, 0, 0, "caf\x8E") + BoolErr(0, 1, 0, 1, false) +
                            BoolErr(0, 2, 0, 0x07, true) + Number(1, 0, 1, 45306.75) +
                            TextFormula(1, 1, 5, "x\x8Ay") +
                            Formula(1, 2, 0, BooleanResult(true), 5, std::string("\x1D\x01", 2));
  return CompoundFileBytes({{"Book", BiffWorkbookStream(5, globals, {{"R\x8Esum\x8E", cells}})}});
}

std::string Biff5Gbk() {
  return CompoundFileBytes(
      {{"BOOK", BiffWorkbookStream(5, CodePage(936),
                                   {{"\xCA\xFD\xBE\xDD", Label5(0, 0, 0, "\xD6\xD0\xCE\xC4") +
                                                             Number(0, 1, 0, -1.5)}})}});
}

std::string Biff8SharedStrings() {
  const std::string sst =
      BiffRecord(0x00FC, U32(4) + U32(4) + U16(0) + U8(0) + U16(4) + U8(1) + Utf16("中文")) +
      BiffRecord(0x003C, U8(0) + "ab" + U16(2) + U8(1)) + BiffRecord(0x003C, U8(1) + Utf16("é!")) +
      BiffRecord(0x003C, U16(3) + U8(0) + "end");
  std::string cells;
  for (std::uint16_t i = 1; i < 4; ++i) cells += LabelSst(0, i - 1, 0, i);
  cells += TextFormula(1, 0, 8, "formula text");
  return CompoundFileBytes({{"WORKBOOK", BiffWorkbookStream(8, sst, {{"数据", cells}})}});
}

}  // namespace

std::vector<CraftedBiffFile> CraftedBiffFiles() {
  std::vector<CraftedBiffFile> files = BareBiffFiles();
  files.push_back({"biff5-mac-roman.xls", Biff5MacRoman()});
  files.push_back({"biff5-gbk.xls", Biff5Gbk()});
  files.push_back({"biff8-strings.xls", Biff8SharedStrings()});
  return files;
}

namespace {

std::string Font5(const std::string& name, std::uint16_t twips, std::uint16_t weight,
                  std::uint16_t options, std::uint8_t underline) {
  return BiffRecord(0x0031, U16(twips) + U16(options) + U16(8) + U16(weight) + U16(0) +
                                U8(underline) + U8(0) + U8(0) + U8(0) +
                                U8(static_cast<std::uint8_t>(name.size())) + name);
}

std::string Xf5Look(std::uint16_t font, std::uint8_t alignment, std::uint32_t area,
                    std::uint32_t lines) {
  return BiffRecord(0x00E0,
                    U16(font) + U16(0) + U16(0) + U8(alignment) + U8(0) + U32(area) + U32(lines));
}

std::string Biff5Look() {
  std::string fonts;
  for (int i = 0; i < 4; ++i) fonts += Font5("Arial", 200, 400, 0, 0);
  fonts += Font5("Courier New", 280, 700, 0x02, 1);
  // Solid fill in colour 10; bottom line medium; top thin, left dashed, right double.
  const std::uint32_t area = 10 | (65u << 7) | (1u << 16) | (2u << 22) | (8u << 25);
  const std::uint32_t lines = 1 | (3u << 3) | (6u << 6) | (8u << 9) | (8u << 16) | (8u << 23);
  const std::string globals = fonts + Xf5Look(0, 0x20, 0, 0) +
                              Xf5Look(5, 0x03 | 0x08 | 0x10, area, lines);  // right, wrap, centre
  return CompoundFileBytes(
      {{"Book", BiffWorkbookStream(5, globals, {{"S", Number(0, 0, 1, 1.5)}})}});
}

std::string Biff8Look() {
  std::string fonts;
  for (int i = 0; i < 4; ++i) fonts += Font8("Arial", 200, 400, 0x7FFF, 0, 0);
  fonts += Font8("Courier New", 280, 700, 10, 0x0A, 2);
  // Solid fill; left thin, right medium, top thick, bottom hair; centred, wrapped.
  const std::string xfs = Xf8(0, 0, 0x20, 0, 0, 64 | (65 << 7)) +
                          Xf8(5, 0x0A, 0x02 | 0x08 | 0x10,
                              1 | (2 << 4) | (5 << 8) | (7 << 12) | (12 << 16) | (12u << 23),
                              12 | (12 << 7) | (1u << 26), 10 | (65 << 7));
  return CompoundFileBytes(
      {{"Workbook", BiffWorkbookStream(8, fonts + xfs, {{"S", Number(0, 0, 1, 2.5)}})}});
}

}  // namespace

std::vector<CraftedBiffFile> CraftedLookFiles() {
  return {{"look5.xls", Biff5Look()}, {"look8.xls", Biff8Look()}};
}

}  // namespace tavrio::automation::readers::testing

// Token streams built by hand, one table row per kind of token, in BIFF8 and the earlier
// layouts, decoded to formula text or refused.

#include "automation/readers/biff_formula.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {
namespace {

// "24 0000 00c0" -> the bytes; spaces only for reading.
std::vector<std::uint8_t> Hex(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    digits += c;
    if (digits.size() == 2) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
      digits.clear();
    }
  }
  EXPECT_TRUE(digits.empty()) << text;
  return bytes;
}

std::string HexOfText(std::string_view text) {
  std::string hex;
  char buffer[3];
  for (unsigned char c : text) {
    std::snprintf(buffer, sizeof buffer, "%02x", c);
    hex += buffer;
  }
  return hex;
}

// The workbook every case refers into: BIFF8 EXTERNSHEET entries 0 Sheet2, 1 'Q1 销售',
// 2 Jan:Mar, 3 an add-in (external names only); BIFF5 sheets 0 Sheet1, 1 'Data 2', 2 Mar;
// names 1 税率, 2 _xlfn.IFERROR; a shared formula whose first cell is D1 (row 0, column 3):
// the cell two columns left times 2.
const std::vector<std::uint8_t> kSharedRgce = Hex("4c 0000 fec0 1e 0200 05");

BiffFormulaContext TestContext(int biff, std::uint32_t row = 4, std::uint16_t column = 3) {
  BiffFormulaContext context;
  context.biff = biff;
  context.row = row;
  context.column = column;
  context.externsheet_sheets = [](std::uint16_t ixti) -> std::optional<BiffSheetSpan> {
    switch (ixti) {
      case 0:
        return BiffSheetSpan{"Sheet2", ""};
      case 1:
        return BiffSheetSpan{"Q1 销售", ""};
      case 2:
        return BiffSheetSpan{"Jan", "Mar"};
      default:
        return std::nullopt;
    }
  };
  context.sheet_name = [](std::uint16_t index) -> std::optional<std::string> {
    static const char* const kNames[] = {"Sheet1", "Data 2", "Mar"};
    if (index >= 3) return std::nullopt;
    return kNames[index];
  };
  context.defined_name = [](std::uint32_t index) -> std::optional<std::string> {
    if (index == 1) return "税率";
    if (index == 2) return "_xlfn.IFERROR";
    return std::nullopt;
  };
  context.external_name = [](std::uint16_t sheet,
                             std::uint32_t index) -> std::optional<std::string> {
    if (sheet == 3 && index == 1) return "EDATE";
    return std::nullopt;
  };
  context.shared_formula = [](std::uint32_t first_row,
                              std::uint16_t first_column) -> std::optional<BiffSharedTokens> {
    if (first_row != 0 || first_column != 3) return std::nullopt;
    return BiffSharedTokens{kSharedRgce, {}};
  };
  // Latin-1, as a Western code page would read these bytes.
  context.decode_bytes = [](std::string_view bytes) -> std::optional<std::string> {
    std::string out;
    for (unsigned char c : bytes) {
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  };
  return context;
}

struct TokenCase {
  const char* what;
  int biff;
  std::string rgce;
  std::string rgcb;
  std::optional<std::string> text;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.what; }

class BiffFormulaTokensTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(BiffFormulaTokensTest, DecodesOrRefuses) {
  const TokenCase& c = GetParam();
  const auto rgce = Hex(c.rgce);
  const auto rgcb = Hex(c.rgcb);
  EXPECT_EQ(DecodeBiffFormula(rgce, rgcb, TestContext(c.biff)), c.text);
  // A stream cut short never reads as the whole formula.
  if (c.text && !rgce.empty()) {
    const std::span<const std::uint8_t> cut(rgce.data(), rgce.size() - 1);
    EXPECT_NE(DecodeBiffFormula(cut, rgcb, TestContext(c.biff)), c.text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Constants, BiffFormulaTokensTest,
    ::testing::Values(
        TokenCase{"integer", 8, "1e ffff", "", "65535"},
        TokenCase{"number", 8, "1f 9a9999999999b93f", "", "0.1"},
        TokenCase{"large number", 8, "1f 7dc39425ad49b254", "", "1E+100"},
        TokenCase{"NaN", 8, "1f 000000000000f87f", "", std::nullopt},
        TokenCase{"string, one byte a character", 8, "17 03 00 616263", "", "\"abc\""},
        TokenCase{"string, UTF-16, quote doubled", 8, "17 02 01 f48b 2200", "", "\"说\"\"\""},
        TokenCase{"string, a flag no formula string has", 8, "17 01 04 61", "", std::nullopt},
        TokenCase{"string, lone surrogate", 8, "17 01 01 00d8", "", std::nullopt},
        TokenCase{"BIFF5 string in the code page", 5, "17 02 e961", "", "\"éa\""},
        TokenCase{"boolean", 8, "1d 01", "", "TRUE"},
        TokenCase{"boolean out of range", 8, "1d 02", "", std::nullopt},
        TokenCase{"error", 8, "1c 07", "", "#DIV/0!"},
        TokenCase{"unknown error code", 8, "1c 08", "", std::nullopt},
        TokenCase{"missing argument", 8, "1e 0100 16 1e 0200 42 03 0100", "", "IF(1,,2)"},
        TokenCase{"array", 8, "20 00000000000000",
                  "01 0100 01 000000000000f03f 02 0100 00 61 04 01 00000000000000"
                  " 10 2a 00000000000000",
                  "{1,\"a\";TRUE,#N/A}"},
        TokenCase{"BIFF5 array: counts, byte strings", 5, "20 00000000000000",
                  "02 0100 01 000000000000f0bf 02 01 e9", "{-1,\"é\"}"},
        TokenCase{"array with an empty element", 8, "20 00000000000000",
                  "00 0000 00 0000000000000000", std::nullopt},
        TokenCase{"array without its values", 8, "20 00000000000000", "01 0100", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Operators, BiffFormulaTokensTest,
    ::testing::Values(
        TokenCase{"unary minus, power, percent", 8, "24 0000 00c0 13 1e 0200 14 07", "", "-A1^2%"},
        TokenCase{"unary plus, parentheses", 8, "24 0000 00c0 12 15 1e 0200 05", "", "(+A1)*2"},
        TokenCase{"concatenation", 8, "17 01 00 61 24 0000 01c0 08", "", "\"a\"&B1"},
        TokenCase{"range and intersection", 8,
                  "24 0000 00c0 24 0200 01c0 11 25 0100 0300 01c0 02c0 0f", "", "A1:B3 B2:C4"},
        TokenCase{"spaces dropped", 8, "1e 0100 19 40 0001 1e 0200 03", "", "1+2"},
        TokenCase{"an operator without operands", 8, "1e 0100 03", "", std::nullopt},
        TokenCase{"two values left over", 8, "1e 0100 1e 0200", "", std::nullopt},
        TokenCase{"no tokens", 8, "", "", std::nullopt},
        TokenCase{"a data table", 8, "02 0000 0000", "", std::nullopt},
        TokenCase{"an unknown token", 8, "18 00", "", std::nullopt},
        TokenCase{"an unknown BIFF version", 6, "1e 0100", "", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    References, BiffFormulaTokensTest,
    ::testing::Values(
        TokenCase{"cell, row relative only", 8, "24 0400 0180", "", "$B5"},
        TokenCase{"cell, absolute", 8, "44 0400 0100", "", "$B$5"},
        TokenCase{"column past the BIFF8 sheet", 8, "24 0000 00c1", "", std::nullopt},
        TokenCase{"area", 8, "25 0000 0900 00c0 01c0", "", "A1:B10"},
        TokenCase{"whole columns", 8, "25 0000 ffff 0000 0140", "", "$A:B"},
        TokenCase{"whole rows", 8, "25 0100 0200 0080 ff00", "", "2:$3"},
        TokenCase{"relative cell of a shared formula", 8, "2c ffff fdc0", "", "A4"},
        TokenCase{"relative column offset with its sign above the low byte", 8, "2c ffff fdff", "",
                  "A4"},
        TokenCase{"absolute column past the BIFF8 sheet in a shared formula", 8, "2c 0000 0001", "",
                  std::nullopt},
        TokenCase{"relative area of a shared formula", 8, "2d 0000 0100 fdc0 0080", "", "A5:$A6"},
        TokenCase{"relative row wraps at the sheet's edge", 8, "2c f0ff 0080", "", "$A65525"},
        TokenCase{"deleted cell", 8, "2a 00000000", "", "#REF!"},
        TokenCase{"deleted area", 8, "2b 0000000000000000", "", "#REF!"},
        TokenCase{"another sheet", 8, "3a 0000 0000 00c0", "", "Sheet2!A1"},
        TokenCase{"a sheet name to quote", 8, "5a 0100 0000 0000", "", "'Q1 销售'!$A$1"},
        TokenCase{"a range of sheets", 8, "3b 0200 0000 0100 00c0 00c0", "", "Jan:Mar!A1:A2"},
        TokenCase{"another workbook", 8, "3a 0300 0000 00c0", "", std::nullopt},
        TokenCase{"deleted cell on another sheet", 8, "3c 0000 00000000", "", "Sheet2!#REF!"},
        TokenCase{"deleted area on another sheet", 8, "3d 0100 0000000000000000", "",
                  "'Q1 销售'!#REF!"},
        TokenCase{"BIFF5 cell, flags in the row", 5, "24 04c0 01", "", "B5"},
        TokenCase{"BIFF5 absolute area", 5, "25 0000 0900 00 01", "", "$A$1:$B$10"},
        TokenCase{"BIFF5 whole columns", 5, "25 00c0 ff3f 00 01", "", "A:$B"},
        TokenCase{"BIFF5 relative cell of a shared formula", 5, "2c ffff fd", "", "A4"},
        TokenCase{"BIFF5 3-D range of sheets", 5, "3a ffff 0000000000000000 0000 0100 00c0 00", "",
                  "'Sheet1:Data 2'!A1"},
        TokenCase{"BIFF5 3-D one sheet", 5, "3b ffff 0000000000000000 0200 0200 0000 0100 00 00",
                  "", "Mar!$A$1:$A$2"},
        TokenCase{"BIFF5 3-D into another workbook", 5,
                  "3a 0100 0000000000000000 0000 0000 00c0 00", "", std::nullopt},
        TokenCase{"BIFF4 has no 3-D references", 4, "3a ffff 0000000000000000 0000 0000 00c0 00",
                  "", std::nullopt},
        TokenCase{"shared formula, read against the cell", 8, "01 0000 0300", "", "B5*2"},
        TokenCase{"array formula", 8, "01 0200 0300", "", std::nullopt},
        TokenCase{"shared formula after other tokens", 8, "1e 0100 01 0000 0300", "",
                  std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Functions, BiffFormulaTokensTest,
    ::testing::Values(
        TokenCase{"fixed arguments", 8, "1e 0500 13 21 1800", "", "ABS(-5)"},
        TokenCase{"no arguments", 8, "21 dd00", "", "TODAY()"},
        TokenCase{"counted arguments", 8, "1e 0100 1e 0200 1e 0300 42 03 0400", "", "SUM(1,2,3)"},
        TokenCase{"counted, prompt bit", 8, "1e 0100 42 81 0400", "", "SUM(1)"},
        TokenCase{"fixed call of a function whose count varies", 8, "1e 0100 21 0400", "",
                  std::nullopt},
        TokenCase{"a macro command", 8, "42 00 0080", "", std::nullopt},
        TokenCase{"an unused function number", 8, "42 00 ca00", "", std::nullopt},
        TokenCase{"more arguments than operands", 8, "1e 0100 42 02 0400", "", std::nullopt},
        TokenCase{"BIFF3 one-byte numbers", 3, "1e 0100 1e 0200 22 02 04 21 18", "",
                  "ABS(SUM(1,2))"},
        TokenCase{"SUM of one argument as an attribute", 8, "25 0000 0100 00c0 01c0 19 10 0000", "",
                  "SUM(A1:B2)"},
        TokenCase{"IF with its jumps", 8,
                  "24 0000 00c0 19 02 0700 1e 0100 19 08 0700 1e 0200 19 08 0300 42 03 0100", "",
                  "IF(A1,1,2)"},
        TokenCase{"CHOOSE with its jump table", 8,
                  "1e 0200 19 04 0200 0800 0c00 1000 17 01 00 61 19 08 0700 17 01 00 62"
                  " 19 08 0300 42 03 6400",
                  "", "CHOOSE(2,\"a\",\"b\")"},
        TokenCase{"CHOOSE's jump table cut short", 8, "1e 0200 19 04 0200 0800", "", std::nullopt},
        TokenCase{"BIFF2 attributes", 2, "1e 0100 19 10 0000", "", std::nullopt},
        TokenCase{"defined name", 8, "23 01000000 1e 0200 05", "", "税率*2"},
        TokenCase{"unknown defined name", 8, "23 09000000", "", std::nullopt},
        TokenCase{"BIFF5 defined name", 5, "23 0100 000000000000000000000000", "", "税率"},
        TokenCase{"add-in function", 8, "39 0300 01000000 24 0000 00c0 1e 0100 42 03 ff00", "",
                  "EDATE(A1,1)"},
        TokenCase{"newer function by a hidden name", 8,
                  "23 02000000 1e 0100 1e 0000 06 17 01 00 78 42 03 ff00", "",
                  "IFERROR(1/0,\"x\")"},
        TokenCase{"call by name without a name", 8, "1e 0100 42 01 ff00", "", std::nullopt},
        TokenCase{"union through a PtgMemFunc", 8,
                  "29 0d00 25 0000 0100 00c0 00c0 25 0000 0100 01c0 01c0 10 15 42 01 0400", "",
                  "SUM((A1:A2,B1:B2))"},
        TokenCase{"PtgMemArea's ranges precede the array's values", 8,
                  "26 00000000 0900 25 0000 0100 00c0 01c0 20 00000000000000 42 02 0400",
                  "0100 0000 0100 0000 0100 00 0000 01 000000000000f03f", "SUM(A1:B2,{1})"},
        TokenCase{"PtgMemArea without its ranges", 8, "26 00000000 0900 25 0000 0100 00c0 01c0",
                  "0100 0000", std::nullopt}));

TEST(BiffFormulaTest, EveryBinaryOperator) {
  const char* const kOperators[] = {
      "+", "-", "*", "/", "^", "&", "<", "<=", "=", ">=", ">", "<>", " ", ",", ":"};
  for (std::uint8_t ptg = 0x03; ptg <= 0x11; ++ptg) {
    SCOPED_TRACE(ptg);
    const std::vector<std::uint8_t> rgce = {0x44, 0, 0, 0, 0, 0x44, 1, 0, 1, 0, ptg};
    EXPECT_EQ(DecodeBiffFormula(rgce, {}, TestContext(8)),
              std::string("$A$1") + kOperators[ptg - 0x03] + "$B$2");
  }
}

TEST(BiffFormulaTest, SheetNamesQuotedWhereAFormulaNeedsIt) {
  const std::pair<const char*, const char*> kNames[] = {
      {"Sheet2", "Sheet2!A1"}, {"数据", "数据!A1"},           {"A1", "'A1'!A1"},
      {"xfd9", "'xfd9'!A1"},   {"R1C1", "'R1C1'!A1"},         {"rc", "'rc'!A1"},
      {"2024", "'2024'!A1"},   {"It's", "'It''s'!A1"},        {"a-b", "'a-b'!A1"},
      {"TRUE", "'TRUE'!A1"},   {"Summe_1.2", "Summe_1.2!A1"}, {"ABCD1", "ABCD1!A1"},
  };
  for (const auto& [name, text] : kNames) {
    SCOPED_TRACE(name);
    BiffFormulaContext context = TestContext(8);
    context.externsheet_sheets = [name = std::string(name)](std::uint16_t) {
      return std::optional<BiffSheetSpan>(BiffSheetSpan{name, ""});
    };
    EXPECT_EQ(DecodeBiffFormula(Hex("3a 0000 0000 00c0"), {}, context), text);
  }
}

TEST(BiffFormulaTest, LookupsLeftUnsetGiveNoText) {
  BiffFormulaContext bare;
  for (const char* rgce :
       {"3a 0000 0000 00c0", "23 01000000", "39 0300 01000000", "01 0000 0300"}) {
    SCOPED_TRACE(rgce);
    EXPECT_EQ(DecodeBiffFormula(Hex(rgce), {}, bare), std::nullopt);
  }
  // Without a code page only ASCII strings can be read.
  bare.biff = 5;
  EXPECT_EQ(DecodeBiffFormula(Hex("17 02 6162"), {}, bare), "\"ab\"");
  EXPECT_EQ(DecodeBiffFormula(Hex("17 02 e961"), {}, bare), std::nullopt);
}

TEST(BiffFormulaTest, NoLongerThanACellsFormulaMayBe) {
  // n strings of 255 characters joined by '&': each takes 257 characters and its '&'.
  auto joined = [](int n) {
    std::string rgce;
    for (int i = 0; i < n; ++i) {
      rgce += "17 ff 00" + HexOfText(std::string(255, 'a'));
      if (i > 0) rgce += " 08";
    }
    return Hex(rgce);
  };
  const auto fits = DecodeBiffFormula(joined(31), {}, TestContext(8));
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->size(), 31u * 258 - 1);
  EXPECT_EQ(DecodeBiffFormula(joined(32), {}, TestContext(8)), std::nullopt);
}

TEST(BiffFormulaTest, SharedFormulaMovesWithEachCell) {
  const auto rgce = Hex("01 0000 0300");
  for (std::uint32_t row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(DecodeBiffFormula(rgce, {}, TestContext(8, row, 3)),
              "B" + std::to_string(row + 1) + "*2");
  }
  // Two columns left of column B is past column A: the offset wraps to the last column.
  EXPECT_EQ(DecodeBiffFormula(rgce, {}, TestContext(8, 0, 1)), "IV1*2");
}

}  // namespace
}  // namespace tavrio::automation::readers::testing

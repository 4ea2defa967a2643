// Cell formats through a whole merge: source workbooks written by libxlsxwriter and openpyxl,
// opened, copied and pasted by the engine, saved, and read back by openpyxl, property by property.

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/writers/save_workbook.h"
#include "tests/support/engine_merge_step.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

// The look of a cell in dump_formats.py's words.
struct Look {
  std::string format = "General";
  std::string font = "Calibri|11.0||rgb:FF000000";  // libxlsxwriter's default, theme resolved
  std::string fill = "-";
  std::string border = "-,-,-,-";
  std::string align = "-|-|-";

  std::string Line(const std::string& ref) const {
    return ref + " fmt=" + format + " font=" + font + " fill=" + fill + " border=" + border +
           " align=" + align;
  }
};

struct FormatCase {
  const char* name;
  std::function<void(lxw_format*)> apply;
  Look look;
};

const std::vector<FormatCase>& Cases() {
  static const std::vector<FormatCase> cases = {
      {"默认", nullptr, {}},
      {"粗体", [](lxw_format* f) { format_set_bold(f); }, {.font = "Calibri|11.0|b|rgb:FF000000"}},
      {"斜体下划线",
       [](lxw_format* f) {
         format_set_italic(f);
         format_set_underline(f, LXW_UNDERLINE_SINGLE);
       },
       {.font = "Calibri|11.0|i u=single|rgb:FF000000"}},
      {"双下划线删除线",
       [](lxw_format* f) {
         format_set_underline(f, LXW_UNDERLINE_DOUBLE_ACCOUNTING);
         format_set_font_strikeout(f);
       },
       {.font = "Calibri|11.0|s u=doubleAccounting|rgb:FF000000"}},
      {"宋体红字",
       [](lxw_format* f) {
         format_set_font_name(f, "宋体");
         format_set_font_size(f, 14);
         format_set_font_color(f, LXW_COLOR_RED);
       },
       {.font = "宋体|14.0||rgb:FFFF0000"}},
      {"小五号",
       [](lxw_format* f) { format_set_font_size(f, 10.5); },
       {.font = "Calibri|10.5||rgb:FF000000"}},
      {"黄色填充",
       [](lxw_format* f) { format_set_bg_color(f, LXW_COLOR_YELLOW); },
       {.fill = "solid|rgb:FFFFFF00|indexed:64"}},
      {"网格图案",
       [](lxw_format* f) {
         format_set_pattern(f, LXW_PATTERN_DARK_GRID);
         format_set_fg_color(f, 0x00B050);
         format_set_bg_color(f, LXW_COLOR_BLUE);
       },
       {.fill = "darkGrid|rgb:FF00B050|rgb:FF0000FF"}},
      {"细边框",
       [](lxw_format* f) { format_set_border(f, LXW_BORDER_THIN); },
       {.border = "thin:-,thin:-,thin:-,thin:-"}},
      {"各边不同",
       [](lxw_format* f) {
         format_set_left(f, LXW_BORDER_THICK);
         format_set_left_color(f, LXW_COLOR_RED);
         format_set_right(f, LXW_BORDER_DASHED);
         format_set_top(f, LXW_BORDER_DOUBLE);
         format_set_top_color(f, 0x1F4E79);
         format_set_bottom(f, LXW_BORDER_HAIR);
       },
       {.border = "thick:rgb:FFFF0000,dashed:-,double:rgb:FF1F4E79,hair:-"}},
      {"居中",
       [](lxw_format* f) {
         format_set_align(f, LXW_ALIGN_CENTER);
         format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
       },
       {.align = "center|center|-"}},
      {"右上换行",
       [](lxw_format* f) {
         format_set_align(f, LXW_ALIGN_RIGHT);
         format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
         format_set_text_wrap(f);
       },
       {.align = "right|top|wrap"}},
      {"百分比粗体",
       [](lxw_format* f) {
         format_set_num_format(f, "0.00%");
         format_set_bold(f);
       },
       {.format = "0.00%", .font = "Calibri|11.0|b|rgb:FF000000"}},
      {"日期底框",
       [](lxw_format* f) {
         format_set_num_format(f, "yyyy\"年\"m\"月\"d\"日\"");
         format_set_bottom(f, LXW_BORDER_MEDIUM);
       },
       {.format = "yyyy\"年\"m\"月\"d\"日\"", .border = "-,-,-,medium:-"}},
      {"全部",
       [](lxw_format* f) {
         format_set_num_format(f, "#,##0.00");
         format_set_font_name(f, "Times New Roman");
         format_set_bold(f);
         format_set_italic(f);
         format_set_font_color(f, 0x7030A0);
         format_set_bg_color(f, 0xDDEBF7);
         format_set_border(f, LXW_BORDER_MEDIUM_DASH_DOT);
         format_set_border_color(f, 0x808080);
         format_set_align(f, LXW_ALIGN_JUSTIFY);
         format_set_align(f, LXW_ALIGN_VERTICAL_DISTRIBUTED);
         format_set_text_wrap(f);
       },
       {"#,##0.00", "Times New Roman|11.0|b i|rgb:FF7030A0", "solid|rgb:FFDDEBF7|indexed:64",
        "mediumDashDot:rgb:FF808080,mediumDashDot:rgb:FF808080,mediumDashDot:rgb:FF808080,"
        "mediumDashDot:rgb:FF808080",
        "justify|distributed|wrap"}},
  };
  return cases;
}

// Row 1 a bold header; row k + 2 holds case k as a text in A and a number in B.
void WriteSource(const std::string& path) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "数据");
  lxw_format* bold = workbook_add_format(workbook);
  format_set_bold(bold);
  worksheet_write_string(sheet, 0, 0, "项目", bold);
  worksheet_write_string(sheet, 0, 1, "金额", bold);
  for (std::size_t k = 0; k < Cases().size(); ++k) {
    lxw_format* format = nullptr;
    if (Cases()[k].apply) {
      format = workbook_add_format(workbook);
      Cases()[k].apply(format);
    }
    const auto row = static_cast<lxw_row_t>(k + 1);
    worksheet_write_string(sheet, row, 0, Cases()[k].name, format);
    worksheet_write_number(sheet, row, 1, 1234.5, format);
  }
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

// Colours libxlsxwriter cannot write: theme colours with a tint and palette entries.
void WriteThemedSource(const testing::TempFolder& folder, const std::string& path) {
  const std::string script =
      "import openpyxl, sys\n"
      "from openpyxl.styles import Color, Font, PatternFill, Border, Side\n"
      "wb = openpyxl.Workbook()\n"
      "ws = wb.active\n"
      "ws.title = '数据'\n"
      "ws['A1'] = '主题色'\n"
      "ws['A2'] = '主题色'\n"
      "ws['A2'].font = Font(name='等线', sz=12, color=Color(theme=4, tint=0.3999755851924192))\n"
      "ws['A2'].fill = PatternFill('solid', fgColor=Color(theme=5, tint=-0.249977111117893))\n"
      "ws['B2'] = 7\n"
      "ws['B2'].font = Font(name='等线', sz=12, color=Color(indexed=10))\n"
      "ws['B2'].border = Border(bottom=Side('thin', color=Color(indexed=8)))\n"
      "wb.save(sys.argv[1])\n";
  const std::string script_path = folder.File("themed.py");
  FILE* file = std::fopen(script_path.c_str(), "w");
  std::fputs(script.c_str(), file);
  std::fclose(file);
  ASSERT_TRUE(testing::RunCommand(*testing::PythonWithOpenpyxl() + " '" + script_path + "' '" +
                                  path + "'"));
}

std::vector<std::string> DumpFormats(const std::string& path) {
  const auto output = testing::RunCommand(*testing::PythonWithOpenpyxl() + " " +
                                          TAVRIO_DUMP_FORMATS + " '" + path + "'");
  if (!output) {
    ADD_FAILURE() << "openpyxl could not read " << path;
    return {};
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = output->find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(output->substr(start, end - start));
  }
  return lines;
}

class FormatsTest : public ::testing::Test {
 protected:
  void SetUp() override { TAVRIO_SKIP_WITHOUT(testing::PythonWithOpenpyxl(), "python3-openpyxl"); }

  // The calls a merge run makes for one file: the first file from row 1, the others from row 2.
  void MergeFile(const std::string& path, bool first) {
    testing::MergeSheet(engine_, path, "数据", first, merged_);
  }

  std::vector<std::string> SaveAndDump() {
    const std::string saved = folder_.File("合并.xlsx");
    engine_.SaveWorkbookAs(merged_, saved);
    return DumpFormats(saved);
  }

  testing::TempFolder folder_;
  Engine engine_{&readers::OpenWorkbookFile, &writers::SaveWorkbook};
  std::string merged_;
};

std::vector<std::string> CaseLines(std::size_t first_row) {
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < Cases().size(); ++k) {
    SCOPED_TRACE(Cases()[k].name);
    const std::string row = std::to_string(first_row + k);
    lines.push_back(Cases()[k].look.Line("A" + row));
    lines.push_back(Cases()[k].look.Line("B" + row));
  }
  return lines;
}

TEST_F(FormatsTest, EveryFormatOfTheSourcesReachesTheSavedWorkbook) {
  WriteSource(folder_.File("一月.xlsx"));
  WriteSource(folder_.File("二月.xlsx"));
  MergeFile(folder_.File("一月.xlsx"), true);
  MergeFile(folder_.File("二月.xlsx"), false);
  const Look header{.font = "Calibri|11.0|b|rgb:FF000000"};
  std::vector<std::string> expected = {
      // Each distinct part once, though two workbooks brought it and the header's bold look
      // is also a case's: 15 looks besides the default, 7 fonts besides the default one, 3
      // fills besides none and gray125 that every styles part begins with, 4 borders.
      "styles numFmts=3 fonts=8 fills=5 borders=5 cellXfs=16",
      "sheet Sheet1",
      "heights -",
      "merged -",
      header.Line("A1"),
      header.Line("B1"),
  };
  for (const auto& lines : {CaseLines(2), CaseLines(2 + Cases().size())}) {
    expected.insert(expected.end(), lines.begin(), lines.end());
  }
  testing::ExpectSameLines(SaveAndDump(), expected);
}

// The saved workbook has neither the source's theme nor its palette, so theme colours arrive as
// the RGB the source's theme and tint make, and palette entries as the RGB of the palette that
// openpyxl writes into every styles part.
TEST_F(FormatsTest, ThemeAndPaletteColoursArriveAsTheirRgb) {
  WriteThemedSource(folder_, folder_.File("主题.xlsx"));
  MergeFile(folder_.File("主题.xlsx"), true);
  const std::vector<std::string> dump = SaveAndDump();
  ASSERT_EQ(dump.size(), 7u);
  EXPECT_EQ(dump[5],
            "A2 fmt=General font=等线|12.0||rgb:FF95B3D7 "
            "fill=solid|rgb:FF953735|rgb:00000000 border=-,-,-,- align=-|-|-");
  EXPECT_EQ(dump[6],
            "B2 fmt=General font=等线|12.0||rgb:FFFF0000 fill=- border=-,-,-,thin:rgb:FF000000 "
            "align=-|-|-");
}

// Rows 1 to 6 with heights on 1, 3 and 5 (5 has no cells), and merged ranges: one across the
// header, one inside the data, and one that runs past the last used row, 6.
void WriteRowsAndMerges(const std::string& path) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "数据");
  worksheet_set_row(sheet, 0, 30, nullptr);
  worksheet_set_row(sheet, 2, 24.5, nullptr);
  worksheet_set_row(sheet, 4, 18, nullptr);
  worksheet_merge_range(sheet, 0, 0, 0, 2, "标题", nullptr);
  for (lxw_row_t row : {1, 2, 3, 5}) {
    worksheet_write_number(sheet, row, 0, row + 1, nullptr);
    worksheet_write_number(sheet, row, 1, 2 * (row + 1), nullptr);
  }
  worksheet_merge_range(sheet, 2, 2, 3, 3, "合并", nullptr);
  worksheet_merge_range(sheet, 5, 4, 7, 4, "跨出", nullptr);
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

TEST_F(FormatsTest, RowHeightsAndMergedCellsInsideTheBlockMoveWithIt) {
  WriteRowsAndMerges(folder_.File("一月.xlsx"));
  WriteRowsAndMerges(folder_.File("二月.xlsx"));
  MergeFile(folder_.File("一月.xlsx"), true);   // rows 1-6 at row 1
  MergeFile(folder_.File("二月.xlsx"), false);  // rows 2-6 at row 7
  const std::vector<std::string> dump = SaveAndDump();
  ASSERT_GE(dump.size(), 4u);
  EXPECT_EQ(dump[1], "sheet Sheet1");
  EXPECT_EQ(dump[2], "heights 1=30.0 3=24.5 5=18.0 8=24.5 10=18.0");
  EXPECT_EQ(dump[3], "merged A1:C1 C3:D4 C8:D9");
}

// A sheet large enough to be written in several runs of rows, with heights on rows without
// cells among them, on rows with cells, and after the last row with cells: each height must land
// on its own row whichever run writes it.
TEST_F(FormatsTest, RowHeightsAmongManyRowsLandOnTheirRows) {
  const std::string source = folder_.File("行高.xlsx");
  lxw_workbook* workbook = workbook_new(source.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "数据");
  constexpr lxw_row_t kRows = 6000;
  std::string expected = "heights";
  auto set_height = [&](lxw_row_t row, double points) {
    worksheet_set_row(sheet, row - 1, points, nullptr);
    char text[32];
    std::snprintf(text, sizeof text, " %u=%.1f", row, points);
    expected += text;
  };
  for (lxw_row_t row = 1; row <= kRows + 10; ++row) {
    if (row % 400 == 0 || row > kRows) {
      if (row % 400 == 0 || row == kRows + 3 || row == kRows + 10) set_height(row, row % 97 + 10);
      continue;
    }
    if (row % 500 == 1) set_height(row, 33);
    for (lxw_col_t column = 0; column < 4; ++column) {
      worksheet_write_string(sheet, row - 1, column,
                             ("第" + std::to_string(row) + "行的一段说明文字，长度约四十字节").c_str(),
                             nullptr);
    }
  }
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
  engine_.OpenWorkbook(source);
  const std::string saved = folder_.File("另存.xlsx");
  engine_.SaveWorkbookAs("行高.xlsx", saved);
  const std::vector<std::string> dump = DumpFormats(saved);
  ASSERT_GE(dump.size(), 3u);
  EXPECT_EQ(dump[2], expected);
  EXPECT_EQ(dump.size(), 4 + (kRows - kRows / 400) * 4u);
}

}  // namespace
}  // namespace tavrio::automation

#include "bench/workbook_generator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "bench/application_saved.h"
#include "bench/xlsx_workbook.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;

// splitmix64: tiny, fast and the same on every platform and standard library, unlike the
// distributions of <random>.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int bound) { return static_cast<int>(Next() % static_cast<std::uint64_t>(bound)); }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[Below(static_cast<int>(N))];
  }

 private:
  std::uint64_t state_;
};

constexpr std::array<const char*, 12> kSurnames = {"王", "李", "张", "刘", "陈", "杨",
                                                   "黄", "赵", "吴", "周", "徐", "孙"};
constexpr std::array<const char*, 12> kGivenNames = {"伟", "芳", "娜", "敏", "静", "磊",
                                                     "洋", "艳", "勇", "军", "杰", "秀英"};
constexpr std::array<const char*, 10> kCities = {"北京", "上海", "广州", "深圳", "杭州",
                                                 "成都", "武汉", "西安", "南京", "重庆"};
constexpr std::array<const char*, 8> kProducts = {"笔记本电脑", "显示器", "键盘", "鼠标",
                                                  "打印纸",     "U盘",    "耳机", "路由器"};
constexpr std::array<const char*, 6> kNotes = {"已付款", "pending",        "待发货 ASAP",
                                               "OK",     "退货 return #2", "加急"};
constexpr std::array<const char*, 8> kHeaders = {"编号", "姓名", "代码", "日期",
                                                 "金额", "城市", "数量", "备注"};

// Serial day of 2024-01-01 in the 1900 date system.
constexpr double kFirstDay = 45292;

// Each column kind's format (nullptr: none) and the header's; a plain workbook formats only
// its dates, a formatted one everything.
struct Formats {
  lxw_format* header = nullptr;
  std::array<lxw_format*, kHeaders.size()> kind{};
  lxw_format* late_date = nullptr;  // dates past the first eight columns show the time too
  lxw_format* formula = nullptr;
};

// The formula column replaces the ninth column's id: amount times quantity (columns E and G).
constexpr int kFormulaColumn = 8;
constexpr int kAmountColumn = 4;
constexpr int kQuantityColumn = 6;

// Every few thousand data rows one has a height of its own, as rows made taller by hand do.
constexpr int kTallRowEvery = 1000;

lxw_format* BorderedFormat(XlsxWorkbook& workbook, const char* number_format) {
  lxw_format* format = workbook.AddNumberFormat(number_format);
  format_set_border(format, LXW_BORDER_THIN);
  format_set_border_color(format, 0xBFBFBF);
  return format;
}

Formats PlainFormats(XlsxWorkbook& workbook) {
  Formats formats;
  formats.kind[3] = workbook.AddNumberFormat("yyyy-mm-dd");
  formats.late_date = formats.kind[3];
  return formats;
}

Formats RichFormats(XlsxWorkbook& workbook) {
  Formats formats;
  formats.header = BorderedFormat(workbook, "General");
  format_set_bold(formats.header);
  format_set_font_color(formats.header, LXW_COLOR_WHITE);
  format_set_bg_color(formats.header, 0x1F4E79);
  format_set_align(formats.header, LXW_ALIGN_CENTER);
  format_set_align(formats.header, LXW_ALIGN_VERTICAL_CENTER);
  formats.kind[0] = BorderedFormat(workbook, "000000");
  formats.kind[1] = BorderedFormat(workbook, "@");
  format_set_font_name(formats.kind[1], "宋体");
  formats.kind[2] = BorderedFormat(workbook, "@");
  formats.kind[3] = BorderedFormat(workbook, "yyyy\"年\"m\"月\"d\"日\"");
  formats.kind[4] = BorderedFormat(workbook, "#,##0.00");
  format_set_bg_color(formats.kind[4], 0xFFF2CC);
  formats.kind[5] = BorderedFormat(workbook, "General");
  format_set_italic(formats.kind[5]);
  format_set_font_color(formats.kind[5], 0x2F5597);
  formats.kind[6] = BorderedFormat(workbook, "0");
  formats.kind[7] = BorderedFormat(workbook, "@");
  format_set_font_size(formats.kind[7], 9);
  format_set_text_wrap(formats.kind[7]);
  formats.late_date = BorderedFormat(workbook, "yyyy-mm-dd hh:mm");
  formats.formula = BorderedFormat(workbook, "#,##0.00;[Red]-#,##0.00");
  format_set_bold(formats.formula);
  return formats;
}

std::string HeaderText(int column) {
  std::string header = kHeaders[column % kHeaders.size()];
  if (column >= static_cast<int>(kHeaders.size())) {
    header += std::to_string(column / kHeaders.size() + 1);
  }
  return header;
}

// A formatted header is taller than the rows and its last two cells are shown as one.
void WriteHeader(lxw_worksheet* sheet, int columns, const Formats& formats) {
  const bool merge_last = formats.header != nullptr && columns >= 2;
  if (formats.header != nullptr) worksheet_set_row(sheet, 0, 24, nullptr);
  for (int column = 0; column < columns - (merge_last ? 2 : 0); ++column) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), HeaderText(column).c_str(),
                           formats.header);
  }
  if (merge_last) {
    const auto last = static_cast<lxw_col_t>(columns - 1);
    worksheet_merge_range(sheet, 0, last - 1, 0, last, HeaderText(columns - 2).c_str(),
                          formats.header);
  }
}

// Writes one data cell and returns its number (0 for a text), which the formula column uses.
double WriteDataCell(lxw_worksheet* sheet, lxw_row_t row, int column, double id, Random& random,
                     const Formats& formats) {
  const auto col = static_cast<lxw_col_t>(column);
  const std::size_t kind = column % kHeaders.size();
  lxw_format* format = formats.kind[kind];
  char code[16];
  double number = 0;
  switch (kind) {
    case 0:
      number = id;
      break;
    case 1: {
      std::string name = std::string(random.Pick(kSurnames)) + random.Pick(kGivenNames);
      worksheet_write_string(sheet, row, col, name.c_str(), format);
      return 0;
    }
    case 2:  // leading zeros that must survive as text
      std::snprintf(code, sizeof code, "%05d", random.Below(100000));
      worksheet_write_string(sheet, row, col, code, format);
      return 0;
    case 3:
      number = kFirstDay + random.Below(731);
      if (column >= static_cast<int>(kHeaders.size())) format = formats.late_date;
      break;
    case 4:
      number = random.Below(10000000) / 100.0;
      break;
    case 5:
      worksheet_write_string(sheet, row, col, random.Pick(kCities), format);
      return 0;
    case 6:
      number = random.Below(1000);
      break;
    default:
      worksheet_write_string(sheet, row, col, random.Pick(kNotes), format);
      return 0;
  }
  worksheet_write_number(sheet, row, col, number, format);
  return number;
}

// The formula column of a formatted row, with the result a spreadsheet application would have
// saved with it, or with none.
void WriteFormulaCell(lxw_worksheet* sheet, lxw_row_t row, const std::vector<double>& numbers,
                      const Formats& formats, bool stored_result) {
  const std::string excel_row = std::to_string(row + 1);
  const std::string formula = "=E" + excel_row + "*G" + excel_row;
  if (!stored_result) {
    worksheet_write_formula(sheet, row, kFormulaColumn, formula.c_str(), formats.formula);
    return;
  }
  worksheet_write_formula_num(sheet, row, kFormulaColumn, formula.c_str(), formats.formula,
                              numbers[kAmountColumn] * numbers[kQuantityColumn]);
}

void FillBook(XlsxWorkbook& workbook, const GeneratedSet& set, int file) {
  lxw_worksheet* sheet = workbook.AddSheet("Sheet1");
  const Formats formats = set.formatted ? RichFormats(workbook) : PlainFormats(workbook);
  const bool formula_column = set.formatted && set.columns > kFormulaColumn;
  WriteHeader(sheet, set.columns, formats);
  Random random(set.seed * 0x100000001B3ull + static_cast<std::uint64_t>(file));
  std::vector<double> numbers(set.columns);
  for (int r = 1; r <= set.rows; ++r) {
    const double id = static_cast<double>(file) * set.rows + r;
    const auto row = static_cast<lxw_row_t>(r);
    if (set.formatted && r % kTallRowEvery == 0) worksheet_set_row(sheet, row, 30, nullptr);
    for (int column = 0; column < set.columns; ++column) {
      // An id draws nothing from `random`, so leaving it out keeps every other column's values.
      if (formula_column && column == kFormulaColumn) continue;
      numbers[column] = WriteDataCell(sheet, row, column, id, random, formats);
    }
    if (formula_column) WriteFormulaCell(sheet, row, numbers, formats, set.stored_results);
  }
}

std::string NumberedName(const std::string& prefix, int number, int width) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return prefix + "_" + digits + ".xlsx";
}

void CreateFolder(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw Error(error_number::kApplicationDefined,
                "无法创建文件夹“" + folder.string() + "”：" + error.message());
  }
}

void FillSample(XlsxWorkbook& workbook, int month) {
  lxw_worksheet* sheet = workbook.AddSheet("Sheet1");
  lxw_worksheet* notes = workbook.AddSheet("说明");
  lxw_format* date_format = workbook.AddNumberFormat("yyyy-mm-dd");
  lxw_format* money_format = workbook.AddNumberFormat("0.00");
  const std::array<const char*, 6> headers = {"日期", "门店", "商品", "数量", "单价", "金额"};
  for (std::size_t c = 0; c < headers.size(); ++c) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), headers[c], nullptr);
  }
  Random random(2024u * 100u + static_cast<std::uint64_t>(month));
  constexpr std::array<double, 4> kMonthStart = {45292, 45323, 45352, 45383};
  for (lxw_row_t row = 1; row <= 20; ++row) {
    const int quantity = 1 + random.Below(20);
    const double price = (500 + random.Below(500000)) / 100.0;
    worksheet_write_number(sheet, row, 0, kMonthStart[month - 1] + random.Below(28), date_format);
    worksheet_write_string(sheet, row, 1, (std::string(random.Pick(kCities)) + "店").c_str(),
                           nullptr);
    worksheet_write_string(sheet, row, 2, random.Pick(kProducts), nullptr);
    worksheet_write_number(sheet, row, 3, quantity, nullptr);
    worksheet_write_number(sheet, row, 4, price, money_format);
    worksheet_write_number(sheet, row, 5, quantity * price, money_format);
  }
  worksheet_set_column(sheet, 0, 0, 12, nullptr);
  worksheet_write_string(notes, 0, 0, "示例数据：每月一个文件，第一行是标题，数据在 Sheet1。",
                         nullptr);
}

}  // namespace

std::vector<fs::path> GenerateWorkbooks(const GeneratedSet& set, const fs::path& folder) {
  CreateFolder(folder);
  const int width = std::max<int>(4, static_cast<int>(std::to_string(set.files).size()));
  std::vector<fs::path> written;
  for (int file = 1; file <= set.files; ++file) {
    const fs::path path = folder / NumberedName(set.prefix, file, width);
    // Only the constant-memory mode writes inline strings; the default mode keeps a whole sheet
    // in memory (a few hundred MiB for a sheet near the row limit) to build the table.
    WriteWorkbook(path, /*constant_memory=*/set.inline_strings,
                  [&](XlsxWorkbook& workbook) { FillBook(workbook, set, file); });
    if (set.formatted && set.stored_results) MarkResultsAsCalculated(path);
    written.push_back(path);
  }
  return written;
}

std::vector<fs::path> GenerateSamples(const fs::path& folder) {
  CreateFolder(folder);
  std::vector<fs::path> written;
  for (int month = 1; month <= 4; ++month) {
    const fs::path path = folder / ("销售_2024年0" + std::to_string(month) + "月.xlsx");
    WriteWorkbook(path, /*constant_memory=*/false,
                  [&](XlsxWorkbook& workbook) { FillSample(workbook, month); });
    written.push_back(path);
  }
  return written;
}

}  // namespace tavrio::bench

#include "tests/automation/readers/office_fixtures.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::RunQuietly;
using tavrio::testing::WriteFile;

namespace {

namespace fs = std::filesystem;

constexpr char kCacheRoot[] = TAVRIO_FIXTURE_CACHE;

const char kSourceScript[] = R"(
import sys, datetime
from openpyxl import Workbook
FORMATS = [(0.256, "0%"), (0.256, "0.00%"), (1234567.891, "#,##0"), (1234.5, "#,##0.00"),
           (3.14159, "0.000"), (-1234.5, '"¥"#,##0.00;[Red]\\-"¥"#,##0.00'), ("00123", "@"),
           (12345, "0.00E+00"), ("=A4*2", "#,##0.00"), (42, "General"), (7, "0.0")]
wb = Workbook()
ws = wb.active
ws.title = "明细"
ws.append(["名称", "数量", "日期", "时刻", "日期时间", "编号", "电话", "身份证"])
ws.append(["苹果, 红", 12, datetime.date(2023, 12, 31), datetime.time(10, 30, 15),
           datetime.datetime(2024, 1, 15, 6, 0), "007", "13800138000", "110101199003070012"])
ws.append(['说"好"', -2.5, datetime.date(1900, 3, 1), datetime.time(0, 0, 1),
           datetime.datetime(2000, 2, 29, 23, 59, 59), "0", "021-12345678", "ID"])
ws.append(["两行\n文本", 1e300, None, None, None, None, None, None])
ws["A6"] = "=B2*2"
ws["B6"] = True
ws["C6"] = '="ab"&"cd"'
ws["D6"] = "=1/0"
for cell, value, shown in [("A7", 45306.75, "yyyy-mm-dd"), ("B7", 1.5, "hh:mm:ss"),
                           ("C7", 0, "yyyy-mm-dd")]:
    ws[cell] = value
    ws[cell].number_format = shown
hidden = wb.create_sheet("隐藏")
hidden.sheet_state = "hidden"
hidden["B2"] = "藏"
wb.create_sheet("空表")
fourth = wb.create_sheet("第四")
fourth["C3"] = 4
wb.save(sys.argv[1] + "/values.xlsx")
formats = Workbook()
data = formats.active
data.title = "数据"
for row, (value, shown) in enumerate(FORMATS, start=1):
    data.cell(row, 1, value).number_format = shown
formats.save(sys.argv[1] + "/formats.xlsx")
from openpyxl.chart import BarChart, Reference
charted = Workbook()
sales = charted.active
sales.title = "销售"
sales.append(["月份", "金额"])
for month in range(1, 13):
    sales.append(["%d月" % month, month * 100.5])
chart = BarChart()
chart.add_data(Reference(sales, min_col=2, min_row=1, max_row=13), titles_from_data=True)
sales.add_chart(chart, "D2")
charted.save(sys.argv[1] + "/chart.xlsx")
)";

bool Run(const std::string& command) { return RunQuietly(command); }

// One LibreOffice invocation converting `sources` in `dir` with `filter`.
bool Convert(const std::string& dir, const std::string& filter, const std::string& out_dir,
             const std::string& sources = "values.xlsx") {
  return Run("cd " + dir + " && HOME=" + dir + "/home " + *tavrio::testing::Soffice() +
             " --headless --norestore --convert-to '" + filter + "' --outdir " + out_dir + " " +
             sources);
}

bool Generate(const std::string& dir) {
  WriteFile(dir + "/make.py", kSourceScript);
  if (!Run(*tavrio::testing::PythonWithOpenpyxl() + " " + dir + "/make.py " + dir)) return false;
  if (!Convert(dir, "xls", dir, "values.xlsx formats.xlsx chart.xlsx") ||
      !Convert(dir, "html", dir) || !Convert(dir, "ods", dir)) {
    return false;
  }
  const std::string csv = "csv:Text - txt - csv (StarCalc):44,34,";
  if (!Convert(dir, csv + "76,1", dir)) return false;
  if (!Convert(dir, csv + "85,1", dir + "/gb")) return false;
  fs::rename(dir + "/gb/values.csv", dir + "/values-gb18030.csv");
  fs::remove_all(dir + "/home");
  for (const char* name : {"values.xls", "formats.xls", "chart.xls", "values.csv", "values.html",
                           "values-gb18030.csv", "values.ods"}) {
    if (!fs::exists(dir + "/" + name)) return false;
  }
  return true;
}

std::string MakeFixtures() {
  if (!tavrio::testing::Soffice() || !tavrio::testing::PythonWithOpenpyxl()) return {};
  // The key covers the list of conversions too, so that adding one remakes the folder.
  const std::string key =
      std::to_string(std::hash<std::string>{}(std::string(kSourceScript) + "xls html csv ods"));
  return tavrio::testing::CachedFixtureDir(kCacheRoot, key,
                                           [](const std::string& dir) { return Generate(dir); });
}

}  // namespace

const std::string& OfficeFixtureDir() {
  static const std::string dir = MakeFixtures();
  return dir;
}

}  // namespace tavrio::automation::readers::testing

#include "tests/automation/readers/ods_formula_fixtures.h"

#include <filesystem>
#include <functional>
#include <string>

#include "automation/readers/biff_functions.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {
namespace {

namespace fs = std::filesystem;
using tavrio::testing::RunQuietly;
using tavrio::testing::WriteFile;

constexpr char kCacheRoot[] = TAVRIO_FIXTURE_CACHE;

// argv[2] holds one call per line for the sheet "函数"; the "_xlfn." functions are added here.
const char kSourceScript[] = R"py(
import sys
from openpyxl import Workbook, load_workbook
CALLS = [line for line in sys.argv[2].splitlines() if line]
NEWER = """AGGREGATE BETA.DIST BETA.INV BINOM.DIST BINOM.INV CEILING.PRECISE CHISQ.DIST
CHISQ.DIST.RT CHISQ.INV CHISQ.INV.RT CHISQ.TEST CONFIDENCE.NORM CONFIDENCE.T COVARIANCE.P
COVARIANCE.S ERF.PRECISE ERFC.PRECISE EXPON.DIST F.DIST F.DIST.RT F.INV F.INV.RT F.TEST
FLOOR.PRECISE GAMMA.DIST GAMMA.INV GAMMALN.PRECISE HYPGEOM.DIST LOGNORM.DIST LOGNORM.INV
MODE.MULT MODE.SNGL NEGBINOM.DIST NORM.DIST NORM.INV NORM.S.DIST NORM.S.INV PERCENTILE.EXC
PERCENTILE.INC PERCENTRANK.EXC PERCENTRANK.INC POISSON.DIST QUARTILE.EXC QUARTILE.INC RANK.AVG
RANK.EQ STDEV.P STDEV.S T.DIST T.DIST.2T T.DIST.RT T.INV T.INV.2T T.TEST VAR.P VAR.S
WEIBULL.DIST ACOT ACOTH ARABIC BASE BITAND BITLSHIFT BITOR BITRSHIFT BITXOR CEILING.MATH
COMBINA COT COTH CSC CSCH DAYS DECIMAL ENCODEURL FILTERXML FLOOR.MATH FORMULATEXT GAMMA GAUSS
IFNA ISFORMULA ISOWEEKNUM MUNIT NUMBERVALUE PDURATION PERMUTATIONA PHI RRI SEC SECH SHEET
SHEETS SKEW.P UNICHAR UNICODE WEBSERVICE XOR CONCAT IFS MAXIFS MINIFS SWITCH TEXTJOIN
FORECAST.ETS FORECAST.ETS.CONFINT FORECAST.ETS.SEASONALITY FORECAST.ETS.STAT FORECAST.LINEAR
XLOOKUP XMATCH FILTER SORT UNIQUE SEQUENCE""".split()
PLAIN = "ISO.CEILING NETWORKDAYS.INTL WORKDAY.INTL EDATE EOMONTH NETWORKDAYS WORKDAY".split()
FORMULAS = [
    'SUM(B1:B3)', 'B1*2', '$B$1+B$2+$B3', 'SUM(数据!A2:B3)', 'Sheet2!A1*2',
    "'Q1 销售'!$A$1+'It''s'!B2", 'SUM(Jan:Mar!A1)', 'SUM(Jan:Mar!A1:B2)', 'SUM(数据!A:A)',
    'SUM(数据!$B:$B)', 'SUM(Sheet2!1:2)', 'SUM(Sheet2!$1:$2)', '-B1^2%', 'B1&"x"&B2',
    '"a""b"&"说"', 'B1<>B2', 'B1<=B2', 'B1>=B2', 'B1<B2', 'B1>B2', 'B1=B2', '(B1+B2)*2/3',
    'IF(B1>5,"大","小")', 'IF(B1,,1)', '#N/A', 'IFERROR(1/0,"x")', '1.5E+100', '0.1',
    '{1,2;3,4}', 'INDEX({"a",TRUE;"b",-1.5},2,2)', 'SUM((B1,B2))', 'SUM(B1:B3 B2:B4)',
    'AREAS((B1,B2:B3))', 'TRUE', 'FALSE', 'B1=TRUE', '_xlfn.IFS(B1>1,1,TRUE,2)',
    '_xlfn.STDEV.S(B1:B3)', 'CEILING(2.5,1)', 'FLOOR(2.5,1)', 'FDIST(1,2,3)',
    '_xlfn.F.DIST(1,2,3,TRUE)', '_xlfn.FORMULATEXT(B1)', '_xlfn.DAYS(B2,B1)', 'EDATE(B1,1)',
    'NETWORKDAYS.INTL(B1,B2)', 'ERROR.TYPE(#N/A)', 'SUMPRODUCT(B1:B3,B2:B4)',
    'INDEX(B1:B5,2)', 'VLOOKUP(3,B1:B10,1,FALSE)', 'ROUND(B3/7,2)', 'MOD(B3,2)',
    '_xlfn.CONCAT("a",B1)', '_xlfn.XLOOKUP(1,B1:B3,B1:B3)', 'PHONETIC(B1)',
]
wb = Workbook()
ws = wb.active
ws.title = "数据"
for c, header in enumerate(["编号", "金额", "两倍", "累计", "文字", "连接", "等级", "标准差",
                            "引用", "数组"], start=1):
    ws.cell(1, c, header)
for r in range(2, 12):
    ws.cell(r, 1, r - 1)
    ws.cell(r, 2, (r - 1) * 1.5)
    ws.cell(r, 3, "=A%d*2+B%d" % (r, r))
    ws.cell(r, 4, "=SUM($A$2:A%d)" % r)
    ws.cell(r, 5, '=IF(A%d>5,"大","小")&TEXT(B%d,"0.0")' % (r, r))
    ws.cell(r, 6, '=_xlfn.CONCAT(A%d,"-",B%d)' % (r, r))
    ws.cell(r, 7, '=_xlfn.IFS(A%d>8,"高",A%d>4,"中",TRUE,"低")' % (r, r))
    ws.cell(r, 8, "=_xlfn.STDEV.S(A%d:B%d)" % (r, r))
    ws.cell(r, 9, "=SUM((A%d,B%d))+SUM(A%d:B%d B%d:C%d)" % (r, r, r, r, r, r))
    ws.cell(r, 10, "=A%d+INDEX({10,20;30,40},2,1)" % r)
formulas = wb.create_sheet("公式")
for r, formula in enumerate(FORMULAS, start=1):
    formulas.cell(r, 1, "=" + formula)
    formulas.cell(r, 2, r)
for name in ["Sheet2", "Q1 销售", "It's", "Jan", "Feb", "Mar"]:
    sheet = wb.create_sheet(name)
    sheet["A1"], sheet["B2"], sheet["A2"] = 5, 7, 11
calls = wb.create_sheet("函数")
for r, call in enumerate(CALLS + ["_xlfn.%s(1)" % n for n in NEWER] +
                         ["%s(1)" % n for n in PLAIN], start=1):
    calls.cell(r, 1, "=" + call)
wb.save(sys.argv[1] + "/formulas.xlsx")
with open(sys.argv[1] + "/formulas.tsv", "w", encoding="utf-8") as out:
    for sheet in load_workbook(sys.argv[1] + "/formulas.xlsx"):
        for row in sheet.iter_rows():
            for cell in row:
                if cell.data_type == "f":
                    out.write("%s\t%s\t%s\n" % (sheet.title, cell.coordinate, cell.value[1:]))
)py";

// Every function of the .xls function table, with its fixed number of arguments or one.
std::string FunctionCalls() {
  std::string calls;
  for (std::uint16_t index = 0; index < 400; ++index) {
    const auto function = FindBiffFunction(index);
    if (!function) continue;
    const int count = function->fixed_arguments.value_or(1);
    calls += std::string(function->name) + "(";
    for (int i = 0; i < count; ++i) calls += i == 0 ? "1" : ",1";
    calls += ")\n";
  }
  return calls;
}

bool Convert(const std::string& dir, const std::string& filter, const std::string& out_dir,
             const std::string& source) {
  return RunQuietly("cd " + dir + " && HOME=" + dir + "/home " + *tavrio::testing::Soffice() +
                    " --headless --norestore --convert-to '" + filter + "' --outdir " + out_dir +
                    " " + source);
}

bool Generate(const std::string& dir, const std::string& calls) {
  WriteFile(dir + "/make.py", kSourceScript);
  const std::string python = *tavrio::testing::PythonWithOpenpyxl();
  if (!RunQuietly(python + " " + dir + "/make.py " + dir + " '" + calls + "'") ||
      !Convert(dir, "ods", dir, "formulas.xlsx") ||
      !Convert(dir, "csv:Text - txt - csv (StarCalc):44,34,76", dir + "/csv", "formulas.ods")) {
    return false;
  }
  fs::remove_all(dir + "/home");
  for (const char* name : {"formulas.xlsx", "formulas.tsv", "formulas.ods", "csv/formulas.csv"}) {
    if (!fs::exists(dir + "/" + name)) return false;
  }
  return true;
}

std::string MakeFixtures() {
  if (!tavrio::testing::Soffice() || !tavrio::testing::PythonWithOpenpyxl()) return {};
  const std::string calls = FunctionCalls();
  const std::string key =
      "ods-formulas-" + std::to_string(std::hash<std::string>{}(kSourceScript + calls));
  return tavrio::testing::CachedFixtureDir(
      kCacheRoot, key, [&calls](const std::string& dir) { return Generate(dir, calls); });
}

}  // namespace

const std::string& OdsFormulaFixtureDir() {
  static const std::string dir = MakeFixtures();
  return dir;
}

}  // namespace tavrio::automation::readers::testing

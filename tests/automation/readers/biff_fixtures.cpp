#include "tests/automation/readers/biff_fixtures.h"

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "automation/readers/biff_functions.h"
#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::RunQuietly;
using tavrio::testing::WriteFile;

namespace {

namespace fs = std::filesystem;

constexpr char kCacheRoot[] = TAVRIO_FIXTURE_CACHE;

// FIXED holds "NAME arguments" for each function of fixed argument count, filled in below.
const char kSourceScript[] = R"py(
import sys
from openpyxl import Workbook, load_workbook
from openpyxl.workbook.defined_name import DefinedName
FIXED = [line.split() for line in sys.argv[2].splitlines() if line]
FORMULAS = [
    'SUM(A1:B2)', 'AVERAGE(A1:A10)', 'IF(A1>5,"大","小")', 'ROUND(B3,1)',
    'VLOOKUP(3,A1:B10,2,FALSE)', 'HLOOKUP(1,A1:B10,2,TRUE)', 'INDEX(A1:B10,2,1)',
    'MATCH(4,A1:A10,0)', 'SUMIF(A1:A10,">3",B1:B10)', 'COUNTIF(A1:A10,"<5")',
    'COUNT(A1:A10)', 'COUNTA(A1:B10)', 'MIN(A1:A10)', 'MAX(A1:A10,B1:B10)',
    'TEXT(A1,"0.00")', 'DATE(2024,1,31)', 'CONCATENATE("a",A1,"b")', 'LEFT("abc",2)',
    'MID("abcdef",2,3)', 'RIGHT("abc")', 'LEN("说""好""")', 'IFERROR(1/0,"x")',
    'AND(A1>0,B1>0)', 'OR(A1<0,B1<>0)', 'NOT(A1=1)', 'ABS(-A1)', 'INT(B2)', 'MOD(A3,2)',
    'TODAY()', 'NOW()', 'YEAR(DATE(2024,5,6))', 'MONTH(45000)', 'DAY(45000)',
    'SUMPRODUCT(A1:A3,B1:B3)', '(A1+B1)*2', 'A1&"x"&B1', 'A1<=B1', 'A1>=B1', 'A1<B1',
    'A1>B1', 'A1<>B1', 'A1=B1', '-A1^2%', 'A1-B1/2', 'TRUE', 'FALSE', '#N/A', '1.5E+100',
    '0.1', '65535+1', "Sheet2!A1+'Q1 销售'!$A$1", 'SUM(Jan:Mar!A1)', 'SUM(Sheet2!A1:B2)',
    '税率*2', '{1,2;3,4}', '{"a",TRUE;"b",-1.5}', 'EDATE(A1,1)', 'SUM(A:A)', 'SUM($B:$B)',
    'SUM(1:1)', 'SUM($A$1:$B$2)', 'A$1+$A1', 'SUM((A1,B2))', 'CHOOSE(2,"a","b","c")',
    'ISERROR(A1)', 'ROUNDUP(B1,0)', 'SUBTOTAL(9,A1:A10)', 'POWER(2,10)', 'IF(A1>1,A2)', 'IF(A1,,1)',
    'SUM(A1:B3 B2:C4)',
]
wb = Workbook()
ws = wb.active
ws.title = "数据"
for r in range(1, 11):
    ws.cell(r, 1, r)
    ws.cell(r, 2, r * 1.5)
    ws.cell(r, 4, "=A%d*2+B%d" % (r, r))
    ws.cell(r, 6, "=SUM($A$1:A%d)" % r)
    ws.cell(r, 7, "=Sheet2!A%d+A%d" % (r, r))
for r, formula in enumerate(FORMULAS, start=1):
    ws.cell(r, 3, "=" + formula)
wb.create_sheet("Sheet2")["A1"] = 5
wb.create_sheet("Q1 销售")["A1"] = 3
wb.create_sheet("Jan")["A1"] = 1
wb.create_sheet("Mar")["A1"] = 2
calls = wb.create_sheet("函数")
for r, (name, count) in enumerate(FIXED, start=1):
    calls.cell(r, 1, "=%s(%s)" % (name, ",".join(["1"] * int(count))))
wb.defined_names.append(DefinedName("税率", attr_text="Sheet2!$A$1"))
wb.save(sys.argv[1] + "/formulas.xlsx")
with open(sys.argv[1] + "/formulas.tsv", "w", encoding="utf-8") as out:
    for sheet in load_workbook(sys.argv[1] + "/formulas.xlsx"):
        for row in sheet.iter_rows():
            for cell in row:
                if cell.data_type == "f":
                    out.write("%s\t%s\t%s\n" % (sheet.title, cell.coordinate, cell.value[1:]))
)py";

// Saves .xls files through LibreOffice's Python bridge, which can set a password on the way.
const char kEncryptScript[] = R"py(
import os, subprocess, sys, time, uno
from com.sun.star.beans import PropertyValue
def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p
soffice, folder = sys.argv[1], sys.argv[2]
pipe = "tavrio_fixture_%d" % os.getpid()
office = subprocess.Popen([soffice, "--headless", "--norestore", "--invisible",
                           "-env:UserInstallation=file://" + folder + "/home",
                           "--accept=pipe,name=%s;urp;" % pipe],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    for attempt in range(600):
        try:
            remote = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            time.sleep(0.1)
    desktop = remote.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", remote)
    for job in sys.argv[3:]:
        source, target, password = job.split(":")
        doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(folder + "/" + source),
                                           "_blank", 0, (prop("Hidden", True),))
        options = [prop("FilterName", "MS Excel 97")]
        if password:
            options.append(prop("Password", password))
        doc.storeToURL(uno.systemPathToFileUrl(folder + "/" + target), tuple(options))
        doc.close(True)
    try:
        desktop.terminate()
    except Exception:
        pass
finally:
    try:
        office.wait(timeout=60)
    except subprocess.TimeoutExpired:
        office.kill()
)py";

std::string FixedFunctionList() {
  std::string list;
  for (std::uint16_t index = 0; index < 400; ++index) {
    const auto function = FindBiffFunction(index);
    if (!function || !function->fixed_arguments) continue;
    list += std::string(function->name) + " " + std::to_string(*function->fixed_arguments) + "\n";
  }
  return list;
}

bool Generate(const std::string& dir, const std::string& functions) {
  WriteFile(dir + "/make.py", kSourceScript);
  WriteFile(dir + "/save.py", kEncryptScript);
  const std::string python = "/usr/bin/python3";
  if (!RunQuietly(*tavrio::testing::PythonWithOpenpyxl() + " " + dir + "/make.py " + dir + " '" +
                  functions + "'")) {
    return false;
  }
  if (!RunQuietly(python + " " + dir + "/save.py " + *tavrio::testing::Soffice() + " " + dir +
                  " formulas.xlsx:formulas.xls: formulas.xlsx:default-password.xls:VelvetSweatshop"
                  " formulas.xlsx:other-password.xls:geheim")) {
    return false;
  }
  fs::remove_all(dir + "/home");
  for (const char* name : {"formulas.xls", "default-password.xls", "other-password.xls"}) {
    if (!fs::exists(dir + "/" + name)) return false;
  }
  return true;
}

std::string MakeFixtures() {
  if (!tavrio::testing::Soffice() || !tavrio::testing::PythonWithOpenpyxl() ||
      !RunQuietly("/usr/bin/python3 -c 'import uno'")) {
    return {};
  }
  const std::string functions = FixedFunctionList();
  const std::string key = "biff-" + std::to_string(std::hash<std::string>{}(
                                        std::string(kSourceScript) + kEncryptScript + functions));
  const std::string final_dir = std::string(kCacheRoot) + "/" + key;
  if (fs::exists(final_dir + "/done")) return final_dir;
  fs::create_directories(kCacheRoot);
  std::string work = std::string(kCacheRoot) + "/work-XXXXXX";
  if (mkdtemp(work.data()) == nullptr) return {};
  if (!Generate(work, functions)) {
    fs::remove_all(work);
    return {};
  }
  WriteFile(work + "/done", "");
  // Test processes may race here; whichever renames first wins and the others use its files.
  std::error_code error;
  fs::rename(work, final_dir, error);
  if (error) fs::remove_all(work);
  return fs::exists(final_dir + "/done") ? final_dir : std::string();
}

}  // namespace

const std::string& BiffFixtureDir() {
  static const std::string dir = MakeFixtures();
  return dir;
}

}  // namespace tavrio::automation::readers::testing

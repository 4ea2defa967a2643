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
    'TODAY()', 'YEAR(DATE(2024,5,6))', 'MONTH(45000)', 'DAY(45000)',
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

// XOR obfuscation, which neither LibreOffice nor Excel 97 and later write: the plain .xls's
// workbook stream gets a FILEPASS record after its first BOF (INTERFACEEND and MMS, records of
// no meaning here, make room, so that no sheet moves) and is obfuscated under the default
// password as Microsoft's Office cryptography documentation defines it ("method 1"), written anew
// from that text. The clear stream is kept beside it; LibreOffice's reading of the result shows the
// obfuscation is Excel's.
const char kXorScript[] = R"py(
import shutil, struct, sys
import olefile
INITIAL = [0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
           0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3]
ROW_STARTS = [0xAEFC, 0x7B61, 0x4563, 0x0375, 0xD849, 0x6F45, 0xEB23, 0x47D3, 0xB861, 0x45A0,
              0xAA51, 0x76B4, 0x3730, 0x3331, 0x1021]
MATRIX = []
for value in ROW_STARTS:
    for _ in range(7):
        MATRIX.append(value)
        value = ((value << 1) & 0xFFFF) ^ (0x1021 if value & 0x8000 else 0)
PAD = [0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00]
CLEAR = {0x0809, 0x002F, 0x0194, 0x0195, 0x00E1, 0x0196, 0x0138}
PASSWORD = b"VelvetSweatshop"

def xor_key(password):
    key, element = INITIAL[len(password) - 1], 0x68
    for char in reversed(password):
        for _ in range(7):
            if char & 0x40:
                key ^= MATRIX[element]
            char, element = (char << 1) & 0xFF, element - 1
    return key

def verifier(password):
    value = 0
    for byte in reversed(bytes([len(password)]) + password):
        value = (((value << 1) & 0x7FFF) | (1 if value & 0x4000 else 0)) ^ byte
    return value ^ 0xCE4B

def rotate(value, bits):
    return ((value << bits) | (value >> (8 - bits))) & 0xFF

def xor_array(password):
    key = xor_key(password)
    high, low = key >> 8, key & 0xFF
    array, index = [0] * 16, len(password)
    if index % 2:
        array[index] = rotate(PAD[0] ^ high, 7)
        index -= 1
        array[index] = rotate(password[-1] ^ low, 7)
    while index > 0:
        array[index - 1] = rotate(password[index - 1] ^ high, 7)
        array[index - 2] = rotate(password[index - 2] ^ low, 7)
        index -= 2
    index, pad = 15, 15 - len(password)
    while pad > 0:
        array[index] = rotate(PAD[pad] ^ high, 7)
        array[index - 1] = rotate(PAD[pad - 1] ^ low, 7)
        index, pad = index - 2, pad - 2
    return array

def records(stream):
    at = 0
    while at + 4 <= len(stream):
        kind, size = struct.unpack_from("<HH", stream, at)
        yield kind, stream[at:at + 4 + size]
        at += 4 + size

def obfuscate(stream):
    array, out, at = xor_array(PASSWORD), bytearray(stream), 0
    for kind, record in records(stream):
        size = len(record) - 4
        if kind not in CLEAR:
            for i in range(4 if kind == 0x85 else 0, size):
                where = at + 4 + i
                out[where] = rotate(stream[where], 5) ^ array[(where + size) % 16]
        at += len(record)
    return bytes(out)

source, target = sys.argv[1], sys.argv[2]
with olefile.OleFileIO(source) as ole:
    stream = ole.openstream("Workbook").read()
clear, first = b"", True
for kind, record in records(stream):
    if kind in (0x00E2, 0x00C1):
        continue
    clear += record
    if first:
        clear += struct.pack("<HHHHH", 0x2F, 6, 0, xor_key(PASSWORD), verifier(PASSWORD))
        first = False
assert len(clear) == len(stream)
shutil.copy(source, target)
with olefile.OleFileIO(target, write_mode=True) as ole:
    ole.write_stream("Workbook", obfuscate(clear))
with open(target + ".clear", "wb") as out:
    out.write(clear)
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
  WriteFile(dir + "/xor.py", kXorScript);
  // Debian's interpreter, which also reaches LibreOffice's bridge and olefile.
  const std::string python = *tavrio::testing::PythonWithOpenpyxl();
  if (!RunQuietly(python + " " + dir + "/make.py " + dir + " '" + functions + "'")) {
    return false;
  }
  if (!RunQuietly(python + " " + dir + "/save.py " + *tavrio::testing::Soffice() + " " + dir +
                  " formulas.xlsx:formulas.xls: formulas.xlsx:default-password.xls:VelvetSweatshop"
                  " formulas.xlsx:other-password.xls:geheim")) {
    return false;
  }
  if (!RunQuietly(python + " " + dir + "/xor.py " + dir + "/formulas.xls " + dir + "/xor.xls")) {
    return false;
  }
  // LibreOffice's reading of the obfuscated workbook and of the plain one, to compare.
  fs::create_directories(dir + "/csv");
  if (!RunQuietly("cd " + dir + " && HOME=" + dir + "/home " + *tavrio::testing::Soffice() +
                  " --headless --norestore --convert-to csv --outdir csv formulas.xls xor.xls")) {
    return false;
  }
  fs::remove_all(dir + "/home");
  for (const char* name : {"formulas.xls", "default-password.xls", "other-password.xls", "xor.xls",
                           "xor.xls.clear", "csv/formulas.csv", "csv/xor.csv"}) {
    if (!fs::exists(dir + "/" + name)) return false;
  }
  return true;
}

std::string MakeFixtures() {
  if (!tavrio::testing::Soffice() || !tavrio::testing::PythonWithOpenpyxl() ||
      !RunQuietly(*tavrio::testing::PythonWithOpenpyxl() + " -c 'import uno, olefile'")) {
    return {};
  }
  const std::string functions = FixedFunctionList();
  const std::string key =
      "biff-" + std::to_string(std::hash<std::string>{}(std::string(kSourceScript) +
                                                        kEncryptScript + kXorScript + functions));
  return tavrio::testing::CachedFixtureDir(
      kCacheRoot, key, [&functions](const std::string& dir) { return Generate(dir, functions); });
}

}  // namespace

const std::string& BiffFixtureDir() {
  static const std::string dir = MakeFixtures();
  return dir;
}

}  // namespace tavrio::automation::readers::testing

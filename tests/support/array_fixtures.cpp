#include "tests/support/array_fixtures.h"

#include <filesystem>
#include <functional>

#include "tests/support/independent_readers.h"
#include "tests/support/temp_folder.h"

namespace tavrio::testing {
namespace {

namespace fs = std::filesystem;

std::string Number(double value) {
  std::string text = std::to_string(value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string Cell(const std::string& inside) { return "<table:table-cell " + inside + "/>"; }

std::string TextCell(const char* text) {
  return "<table:table-cell office:value-type=\"string\"><text:p>" + std::string(text) +
         "</text:p></table:table-cell>";
}

std::string NumberCell(double value) {
  return Cell("office:value-type=\"float\" office:value=\"" + Number(value) + "\"");
}

// A matrix formula in OpenFormula syntax filling `rows` by `columns` from its cell.
std::string MatrixCell(const char* formula, int rows, int columns) {
  return Cell("table:formula=\"of:=" + std::string(formula) +
              "\" table:number-matrix-rows-spanned=\"" + std::to_string(rows) +
              "\" table:number-matrix-columns-spanned=\"" + std::to_string(columns) + "\"");
}

std::string FlatDocument(const ArraySourceRows& rows) {
  std::string table = "<table:table-row>" + TextCell("数量") + TextCell("单价") + TextCell("金额") +
                      TextCell("合计") + "</table:table-row>";
  for (int i = 0; i < 3; ++i) {
    table += "<table:table-row>" + NumberCell(rows.quantity[i]) + NumberCell(rows.price[i]);
    if (i == 0) {
      table +=
          MatrixCell("[.A2:.A4]*[.B2:.B4]", 3, 1) + MatrixCell("SUM([.A2:.A4]*[.B2:.B4])", 1, 1);
    }
    table += "</table:table-row>";
  }
  table += "<table:table-row>" + MatrixCell("TRANSPOSE([.A2:.A3])", 1, 2) + "</table:table-row>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:of=\"urn:oasis:names:tc:opendocument:xmlns:of:1.2\" office:version=\"1.2\" "
         "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
         "<office:body><office:spreadsheet><table:table table:name=\"数据\">" +
         table + "</table:table></office:spreadsheet></office:body></office:document>";
}

bool Convert(const std::string& dir, const char* format) {
  return RunQuietly("cd '" + dir + "' && HOME='" + dir + "/home' " + *Soffice() +
                    " --headless --norestore --convert-to " + format + " --outdir '" + dir +
                    "' 一月.fods 二月.fods");
}

bool Generate(const std::string& dir) {
  WriteFile(dir + "/一月.fods", FlatDocument(kArrayJanuary));
  WriteFile(dir + "/二月.fods", FlatDocument(kArrayFebruary));
  if (!Convert(dir, "xlsx") || !Convert(dir, "xls")) return false;
  fs::remove_all(dir + "/home");
  for (const char* name : {"一月.xlsx", "一月.xls", "二月.xlsx", "二月.xls"}) {
    if (!fs::exists(dir + "/" + name)) return false;
  }
  return true;
}

std::string MakeFixtures() {
  if (!Soffice()) return {};
  const std::string key = std::to_string(std::hash<std::string>{}(
      FlatDocument(kArrayJanuary) + FlatDocument(kArrayFebruary) + "xlsx xls"));
  return CachedFixtureDir(TAVRIO_ARRAY_FIXTURE_CACHE, key,
                          [](const std::string& dir) { return Generate(dir); });
}

}  // namespace

const std::string& ArrayFixtureDir() {
  static const std::string dir = MakeFixtures();
  return dir;
}

}  // namespace tavrio::testing

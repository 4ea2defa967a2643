#pragma once

// One check per fuzz target: it hands one input to one public reader entry point (or to the
// typed-number conversions) and says which promise the code broke, or returns an empty text.
// A refused input is no finding; a crash, a sanitizer report, an exception other than the
// reader's own, or a broken promise is. The fuzz targets abort on a finding; the regression
// test replays saved inputs through the same checks.

#include <string>
#include <string_view>
#include <vector>

namespace tavrio::fuzz {

// A whole workbook file through OpenWorkbookFile, then every sheet read. The reader is chosen
// by content, so the same check serves the .xlsx/.xlsm package, the .xls compound file and
// the .ods package.
std::string CheckXlsxPackage(std::string_view input);
// The records of a binary workbook (.xls): the workbook stream alone, or a BIFF2-4 file, read
// to every sheet twice, which must agree.
std::string CheckXlsRecords(std::string_view input);
// A worksheet part, read whole and in chunks; the first two bytes choose the context and the
// chunk size. Both readings must agree cell for cell and fault for fault.
std::string CheckSheetXml(std::string_view input);
std::string CheckSharedStrings(std::string_view input);
std::string CheckStyles(std::string_view input);
std::string CheckTheme(std::string_view input);
std::string CheckWorkbook(std::string_view input);
// The first byte chooses the part that owns the relationships.
std::string CheckRelationships(std::string_view input);
// The conversions of typed option texts, which must agree with each other.
std::string CheckConversions(std::string_view input);
// CSV or tab-separated text: the first byte chooses the file name (and so the delimiter rule),
// the rest are the file's bytes, decoded as the reader does and read to cells.
std::string CheckTextTable(std::string_view input);
// An HTML page: its tables, then the page read as a workbook under an ".xls" name.
std::string CheckHtmlTables(std::string_view input);

// A workbook decoded from the bytes (workbook_model.h) saved as .xlsx through the engine, then
// read back by the project's reader and by expat: both must find every value as it was.
std::string CheckWriterRoundTrip(std::string_view input);

// A BIFF formula's tokens: the first byte chooses the BIFF version, the second the cell, the
// third how many bytes of tokens come before their extra data (which also serves as a shared
// formula). A decoded formula must be UTF-8, within a cell's length, and unchanged by a paste
// that does not move it.
std::string CheckBiffFormula(std::string_view input);
// A FILEPASS record and the records after it: the first byte chooses the BIFF version, the
// next two the FILEPASS payload's length. An opened decryptor must decrypt the records alike
// in stream order and backwards.
std::string CheckBiffDecrypt(std::string_view input);

// An OpenDocument formula attribute ("of:=SUM([.A1];1)"). A translation must be UTF-8 A1 text
// within a cell's length, hold nothing of OpenFormula's own syntax outside its strings, and
// come back unchanged from a paste that moves it and one that moves it back.
std::string CheckOpenFormula(std::string_view input);

using InputCheck = std::string (*)(std::string_view input);
struct FuzzTarget {
  std::string name;  // the folder of its corpus and regressions
  InputCheck check;
};
const std::vector<FuzzTarget>& FuzzTargets();

}  // namespace tavrio::fuzz

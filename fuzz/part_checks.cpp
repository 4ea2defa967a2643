// Checks of the XML parts the reader holds whole in memory.

#include <string>

#include "automation/readers/part_parsers.h"
#include "fuzz/input_checks.h"

namespace tavrio::fuzz {

using namespace automation::readers;

std::string CheckSharedStrings(std::string_view input) {
  try {
    SharedStrings strings = ParseSharedStrings(std::string(input), "xl/sharedStrings.xml");
    std::size_t total = 0;
    for (std::size_t i = 0; i < strings.size(); ++i) total += strings[i].size();
    // Escapes and character references only ever shrink; a few bytes of UTF-8 per reference.
    if (total > input.size() * 4) return "more text than the part holds";
  } catch (const ReadFault&) {
  }
  return {};
}

std::string CheckStyles(std::string_view input) {
  try {
    std::vector<StyleInfo> styles = ParseStylesPart(std::string(input), "xl/styles.xml");
    if (styles.empty()) return "an empty style table";
    for (const StyleInfo& style : styles) {
      if (style.number_format.empty()) return "a style without a number format";
    }
  } catch (const ReadFault&) {
  }
  return {};
}

std::string CheckTheme(std::string_view input) {
  try {
    for (std::uint32_t rgb : ParseThemePart(std::string(input), "xl/theme/theme1.xml")) {
      if (rgb > 0xFFFFFF) return "a theme colour wider than RGB";
    }
  } catch (const ReadFault&) {
  }
  return {};
}

std::string CheckWorkbook(std::string_view input) {
  try {
    WorkbookPart workbook = ParseWorkbookPart(std::string(input), "xl/workbook.xml");
    for (const WorkbookSheet& sheet : workbook.sheets) {
      if (sheet.relationship_id.empty()) return "a sheet without a relationship";
    }
  } catch (const ReadFault&) {
  }
  return {};
}

std::string CheckRelationships(std::string_view input) {
  if (input.empty()) return {};
  static constexpr std::string_view kSources[] = {"", "xl/workbook.xml", "xl/worksheets/sheet1.xml",
                                                  "a"};
  const std::string_view source = kSources[static_cast<unsigned char>(input[0]) % 4];
  try {
    std::vector<Relationship> relationships =
        ParseRelationships(std::string(input.substr(1)), RelationshipsPartOf(source), source);
    for (const Relationship& r : relationships) {
      if (r.external) continue;
      if (r.target.starts_with('/')) return "a resolved target that is still absolute";
      if (r.target.find("//") != std::string::npos) return "a resolved target with \"//\"";
    }
  } catch (const ReadFault&) {
  }
  return {};
}

const std::vector<FuzzTarget>& FuzzTargets() {
  static const std::vector<FuzzTarget> targets = {
      {"xlsx_package", CheckXlsxPackage},
      {"xls_workbook", CheckXlsxPackage},
      {"xls_records", CheckXlsRecords},
      {"ods_workbook", CheckXlsxPackage},
      {"sheet_xml", CheckSheetXml},
      {"shared_strings", CheckSharedStrings},
      {"styles", CheckStyles},
      {"theme", CheckTheme},
      {"workbook", CheckWorkbook},
      {"relationships", CheckRelationships},
      {"conversions", CheckConversions},
      {"text_table", CheckTextTable},
      {"html_tables", CheckHtmlTables},
      {"writer_roundtrip", CheckWriterRoundTrip},
      {"biff_formula", CheckBiffFormula},
      {"biff_decrypt", CheckBiffDecrypt},
      {"open_formula", CheckOpenFormula},
  };
  return targets;
}

}  // namespace tavrio::fuzz

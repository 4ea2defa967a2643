#include "automation/readers/xlsx_reader.h"

#include <unordered_map>
#include <utility>

#include "automation/readers/read_fault.h"
#include "automation/readers/relationships.h"
#include "automation/readers/sheet_parser.h"
#include "automation/readers/styles_part.h"
#include "automation/readers/workbook_part.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kNotWorkbook = "不是工作簿文件";

struct PackageParts {
  std::string workbook;
  std::string application_properties;  // docProps/app.xml as a rule; empty when there is none
};

// The package's main part and its application properties, named by the package relationships.
PackageParts MainParts(ZipArchive& archive) {
  const std::string rels = RelationshipsPartOf("");
  if (!archive.Contains(rels)) throw ReadFault(std::string(kNotWorkbook));
  PackageParts parts;
  const std::vector<Relationship> relationships =
      ParseRelationships(archive.ReadWhole(rels), rels, "");
  for (const Relationship& r : relationships) {
    if (!r.external && HasType(r, "extended-properties") && archive.Contains(r.target)) {
      parts.application_properties = r.target;
    }
  }
  for (const Relationship& r : relationships) {
    if (!r.external && HasType(r, "officeDocument")) {
      if (r.target.ends_with(".bin")) {
        throw ReadFault("这是二进制工作簿（.xlsb），暂不支持此格式");
      }
      if (!archive.Contains(r.target)) break;
      parts.workbook = r.target;
      return parts;
    }
  }
  throw ReadFault(std::string(kNotWorkbook));
}

// Whether the application properties name the application that saved the file. A spreadsheet
// application always names itself; a package without the part, or with an empty name, was put
// together by a program that does not calculate. Damaged properties count as no name: they
// only decide whether results are recalculated, never whether the file can be read.
bool NamesApplication(ZipArchive& archive, const std::string& part) {
  if (part.empty()) return false;
  try {
    const XmlPart properties(archive.ReadWhole(part), part);
    std::string name;
    AppendText(FirstChild(properties.root(), "Application"), name);
    return name.find_first_not_of(" \t\r\n") != std::string::npos;
  } catch (const ReadFault&) {
    return false;
  }
}

}  // namespace

XlsxReader::XlsxReader(const std::string& path, ZipArchive archive)
    : path_(path), archive_(std::move(archive)) {
  const PackageParts parts = MainParts(archive_);
  LoadWorkbook(parts.workbook);
  // The results a file stores are the ones its author saw only when an application that
  // calculates wrote them: a file that asks for a full calculation on load (libxlsxwriter and
  // openpyxl ask, having written 0 or nothing) or that names no application is recalculated.
  // The application's name alone does not tell: libxlsxwriter and openpyxl both call
  // themselves "Microsoft Excel", and what sets them apart from Excel is the calcPr flag.
  formula_results_trusted_ =
      !full_calc_on_load_ && NamesApplication(archive_, parts.application_properties);
}

void XlsxReader::LoadWorkbook(const std::string& workbook_part) {
  WorkbookPart workbook = ParseWorkbookPart(archive_.ReadWhole(workbook_part), workbook_part);
  date1904_ = workbook.date1904;
  full_calc_on_load_ = workbook.full_calc_on_load;
  const std::string rels_part = RelationshipsPartOf(workbook_part);
  std::vector<Relationship> relationships;
  if (archive_.Contains(rels_part)) {
    relationships = ParseRelationships(archive_.ReadWhole(rels_part), rels_part, workbook_part);
  }
  std::unordered_map<std::string, const Relationship*> by_id;
  std::string styles_part;
  std::string theme_part;
  for (const Relationship& r : relationships) {
    by_id.emplace(r.id, &r);
    if (r.external) continue;
    if (HasType(r, "styles")) styles_part = r.target;
    if (HasType(r, "theme")) theme_part = r.target;
    if (HasType(r, "sharedStrings")) shared_strings_part_ = r.target;
  }
  for (const WorkbookSheet& sheet : workbook.sheets) {
    auto found = by_id.find(sheet.relationship_id);
    if (found == by_id.end() || found->second->external) {
      throw ReadFault("文件已损坏：找不到工作表“" + sheet.name + "”的部件");
    }
    const Relationship& r = *found->second;
    bool has_cells = !HasType(r, "chartsheet");
    if (has_cells && !archive_.Contains(r.target)) {
      throw ReadFault("文件已损坏：缺少工作表“" + sheet.name + "”的" + PartName(r.target));
    }
    sheets_.push_back({sheet.name, sheet.hidden});
    sheet_parts_.push_back(has_cells ? r.target : std::string());
  }
  if (!styles_part.empty() && archive_.Contains(styles_part)) {
    // Cells may name the theme's colours, which only this workbook's theme can resolve.
    ThemeColors theme = DefaultThemeColors();
    if (!theme_part.empty() && archive_.Contains(theme_part)) {
      theme = ParseThemePart(archive_.ReadWhole(theme_part), theme_part);
    }
    styles_ = ParseStylesPart(archive_.ReadWhole(styles_part), styles_part, theme);
  } else {
    styles_.emplace_back();
  }
}

void XlsxReader::LoadSharedStrings() {
  if (shared_strings_) return;
  if (shared_strings_part_.empty() || !archive_.Contains(shared_strings_part_)) {
    shared_strings_.emplace();
    return;
  }
  shared_strings_ =
      ParseSharedStrings(archive_.ReadWhole(shared_strings_part_), shared_strings_part_);
}

void XlsxReader::ReadSharedParts() {
  try {
    LoadSharedStrings();
  } catch (const ReadFault& fault) {
    throw ReadSheetError(path_, sheets_.empty() ? "#1" : sheets_[0].name, fault.what());
  }
}

void XlsxReader::ReadSheet(std::size_t index, CellSink& sink) {
  if (index >= sheets_.size()) {
    throw ReadSheetError(path_, "#" + std::to_string(index + 1), "没有这个工作表");
  }
  const std::string& part = sheet_parts_[index];
  if (part.empty()) return;
  try {
    LoadSharedStrings();
    SheetContext context{part, &*shared_strings_, styles_.size(), date1904_};
    SheetParser parser(context, sink);
    archive_.InflateInPlace(
        part, [&parser](char* data, std::size_t size) { parser.FeedInPlace(data, size); });
    parser.Finish();
  } catch (const ReadFault& fault) {
    throw ReadSheetError(path_, sheets_[index].name, fault.what());
  }
}

}  // namespace tavrio::automation::readers

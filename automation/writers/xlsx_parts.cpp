#include "automation/writers/xlsx_parts.h"

#include "automation/writers/sheet_names.h"
#include "automation/writers/xml_text.h"

namespace tavrio::automation::writers {
namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelationships[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kPackageRelationships[] =
    "http://schemas.openxmlformats.org/package/2006/relationships";

std::string Relationship(const std::string& id, const std::string& type,
                         const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRelationships + "/" + type + "\" Target=\"" +
         target + "\"/>";
}

}  // namespace

std::string ContentTypesXml(std::size_t sheet_count) {
  std::string xml = kDeclaration;
  xml += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
  xml +=
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>";
  xml += "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
  xml +=
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
  for (std::size_t i = 0; i < sheet_count; ++i) {
    xml += "<Override PartName=\"/" + SheetPartName(i) +
           "\" ContentType=\"application/"
           "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
  }
  xml +=
      "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
  xml += "</Types>";
  return xml;
}

std::string PackageRelationshipsXml() {
  return std::string(kDeclaration) + "<Relationships xmlns=\"" + kPackageRelationships + "\">" +
         Relationship("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>";
}

std::string WorkbookXml(const engine::Workbook& workbook, std::size_t& replaced,
                        std::size_t& renamed) {
  std::string xml = kDeclaration;
  xml += std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRelationships + "\">";
  xml += "<bookViews><workbookView activeTab=\"" + std::to_string(workbook.active_sheet()) +
         "\"/></bookViews><sheets>";
  const std::vector<std::string> names = SavedSheetNames(workbook, replaced, renamed);
  for (std::size_t i = 0; i < workbook.SheetCount(); ++i) {
    const engine::Sheet& sheet = workbook.SheetAt(i);
    xml += "<sheet name=\"";
    AppendXmlAttribute(xml, names[i]);
    xml += "\" sheetId=\"" + std::to_string(i + 1) + "\"";
    // The active sheet cannot be hidden in a spreadsheet application.
    if (sheet.hidden() && i != workbook.active_sheet()) xml += " state=\"hidden\"";
    xml += " r:id=\"rId" + std::to_string(i + 1) + "\"/>";
  }
  xml += "</sheets>";
  bool has_formulas = false;
  for (std::size_t i = 0; i < workbook.SheetCount(); ++i) {
    has_formulas = has_formulas || !workbook.SheetAt(i).formulas().empty();
  }
  // Cached values may be stale once rows moved; the application recalculates on opening.
  if (has_formulas) xml += "<calcPr fullCalcOnLoad=\"1\"/>";
  xml += "</workbook>";
  return xml;
}

std::string WorkbookRelationshipsXml(std::size_t sheet_count) {
  std::string xml =
      std::string(kDeclaration) + "<Relationships xmlns=\"" + kPackageRelationships + "\">";
  for (std::size_t i = 0; i < sheet_count; ++i) {
    xml += Relationship("rId" + std::to_string(i + 1), "worksheet",
                        "worksheets/sheet" + std::to_string(i + 1) + ".xml");
  }
  xml += Relationship("rId" + std::to_string(sheet_count + 1), "styles", "styles.xml");
  xml += "</Relationships>";
  return xml;
}

}  // namespace tavrio::automation::writers

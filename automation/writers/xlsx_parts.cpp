#include "automation/writers/xlsx_parts.h"

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

std::string WorkbookXml(const engine::Workbook& workbook) {
  std::string xml = kDeclaration;
  xml += std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRelationships + "\">";
  xml += "<bookViews><workbookView activeTab=\"" + std::to_string(workbook.active_sheet()) +
         "\"/></bookViews><sheets>";
  for (std::size_t i = 0; i < workbook.SheetCount(); ++i) {
    const engine::Sheet& sheet = workbook.SheetAt(i);
    xml += "<sheet name=\"";
    AppendXmlText(xml, sheet.name());
    xml += "\" sheetId=\"" + std::to_string(i + 1) + "\"";
    // The active sheet cannot be hidden in a spreadsheet application.
    if (sheet.hidden() && i != workbook.active_sheet()) xml += " state=\"hidden\"";
    xml += " r:id=\"rId" + std::to_string(i + 1) + "\"/>";
  }
  xml += "</sheets></workbook>";
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

std::string StylesXml(const engine::StyleTable& styles) {
  std::string formats;
  std::string cell_formats;
  int custom_formats = 0;
  for (std::uint32_t id = 0; id < styles.size(); ++id) {
    const std::string& code = styles.Get(id).number_format;
    int format_id = 0;
    if (code != "General") {
      format_id = 164 + custom_formats++;
      formats += "<numFmt numFmtId=\"" + std::to_string(format_id) + "\" formatCode=\"";
      AppendXmlText(formats, code);
      formats += "\"/>";
    }
    cell_formats += "<xf numFmtId=\"" + std::to_string(format_id) +
                    "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"" +
                    (format_id != 0 ? " applyNumberFormat=\"1\"" : "") + "/>";
  }
  std::string xml = kDeclaration;
  xml += std::string("<styleSheet xmlns=\"") + kMain + "\">";
  if (custom_formats > 0) {
    xml += "<numFmts count=\"" + std::to_string(custom_formats) + "\">" + formats + "</numFmts>";
  }
  xml +=
      "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/>"
      "</font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
      "</borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\"/></cellStyleXfs>";
  xml += "<cellXfs count=\"" + std::to_string(styles.size()) + "\">" + cell_formats + "</cellXfs>";
  xml +=
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
      "</cellStyles></styleSheet>";
  return xml;
}

}  // namespace tavrio::automation::writers

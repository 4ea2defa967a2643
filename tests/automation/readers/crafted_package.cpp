#include "tests/automation/readers/crafted_package.h"

#include <minizip/zip.h>

#include <stdexcept>

namespace tavrio::automation::readers::testing {
namespace {

constexpr char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelationships[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

void Check(int status, const std::string& what) {
  if (status != ZIP_OK) throw std::runtime_error("zip: " + what);
}

std::string Relationship(const std::string& id, const std::string& kind,
                         const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRelationships + "/" + kind + "\" Target=\"" +
         target + "\"/>";
}

}  // namespace

ZipWriter::ZipWriter(const std::string& path)
    : zip_(zipOpen64(path.c_str(), APPEND_STATUS_CREATE)) {
  if (zip_ == nullptr) throw std::runtime_error("cannot create " + path);
}

ZipWriter::~ZipWriter() {
  if (zip_ != nullptr) zipClose(zip_, nullptr);
}

void ZipWriter::Add(const std::string& name, const std::string& data, int level) {
  zip_fileinfo info{};
  Check(zipOpenNewFileInZip64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              level == 0 ? 0 : Z_DEFLATED, level, 1),
        name);
  Check(zipWriteInFileInZip(zip_, data.data(), static_cast<unsigned>(data.size())), name);
  Check(zipCloseFileInZip(zip_), name);
}

void ZipWriter::AddRaw(const std::string& name, const std::string& deflated, std::uint32_t crc,
                       std::uint64_t inflated_size) {
  zip_fileinfo info{};
  Check(zipOpenNewFileInZip2_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                Z_DEFLATED, 6, 1, 1),
        name);
  for (std::size_t at = 0; at < deflated.size(); at += 1 << 20) {
    std::size_t size = std::min<std::size_t>(1 << 20, deflated.size() - at);
    Check(zipWriteInFileInZip(zip_, deflated.data() + at, static_cast<unsigned>(size)), name);
  }
  Check(zipCloseFileInZipRaw64(zip_, inflated_size, crc), name);
}

void ZipWriter::Close() {
  void* zip = zip_;
  zip_ = nullptr;
  Check(zipClose(zip, nullptr), "close");
}

std::string SheetXml(const std::string& rows) {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"") +
         kMain + "\" xmlns:r=\"" + kRelationships + "\"><dimension ref=\"A1\"/><sheetData>" + rows +
         "</sheetData></worksheet>";
}

std::map<std::string, std::string> WorkbookParts(const std::vector<SheetSpec>& sheets,
                                                 const std::string& shared_items, bool date1904) {
  std::map<std::string, std::string> parts;
  parts["[Content_Types].xml"] =
      "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
      "content-types\"><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
  parts["_rels/.rels"] =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\">" +
      Relationship("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>";
  std::string workbook = std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + kMain +
                         "\" xmlns:r=\"" + kRelationships + "\">" +
                         (date1904 ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>") + "<sheets>";
  std::string rels =
      "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
      "2006/relationships\">" +
      Relationship("rIdStyles", "styles", "styles.xml");
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    std::string number = std::to_string(i + 1);
    workbook += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + number + "\"" +
                (sheets[i].state.empty() ? "" : " state=\"" + sheets[i].state + "\"") +
                " r:id=\"rId" + number + "\"/>";
    rels += Relationship("rId" + number, "worksheet", "worksheets/sheet" + number + ".xml");
    parts["xl/worksheets/sheet" + number + ".xml"] = sheets[i].xml;
  }
  if (!shared_items.empty()) {
    rels += Relationship("rIdStrings", "sharedStrings", "sharedStrings.xml");
    parts["xl/sharedStrings.xml"] = std::string("<?xml version=\"1.0\"?><sst xmlns=\"") + kMain +
                                    "\">" + shared_items + "</sst>";
  }
  parts["xl/workbook.xml"] = workbook + "</sheets></workbook>";
  parts["xl/_rels/workbook.xml.rels"] = rels + "</Relationships>";
  parts["xl/styles.xml"] =
      std::string("<?xml version=\"1.0\"?><styleSheet xmlns=\"") + kMain +
      "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.000\"/></numFmts>"
      "<cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\" applyNumberFormat=\"1\"/>"
      "<xf numFmtId=\"164\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>";
  return parts;
}

void WritePackage(const std::string& path, const std::map<std::string, std::string>& parts) {
  ZipWriter zip(path);
  for (const auto& [name, data] : parts) zip.Add(name, data);
  zip.Close();
}

}  // namespace tavrio::automation::readers::testing

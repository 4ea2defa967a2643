#pragma once

// Builds workbook packages byte by byte, so that tests can hand the reader exactly the XML and
// zip structure a case needs, including ones no spreadsheet application would write.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {

// Writes a zip file with minizip; closed by Close() or the destructor.
class ZipWriter {
 public:
  explicit ZipWriter(const std::string& path);
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  ~ZipWriter();

  void Add(const std::string& name, const std::string& data, int level = 6);
  // An entry whose deflated bytes and header claims (CRC, inflated size) are given as they are.
  void AddRaw(const std::string& name, const std::string& deflated, std::uint32_t crc,
              std::uint64_t inflated_size);
  void Close();

 private:
  void* zip_;
};

struct SheetSpec {
  std::string name;
  std::string xml;         // the whole worksheet part
  std::string state = {};  // "", "hidden" or "veryHidden"
};

// <worksheet ...><sheetData>rows</sheetData></worksheet>
std::string SheetXml(const std::string& rows);

// The parts of a small valid workbook: its sheets, a styles part whose cellXfs are
// 0 General, 1 built-in format 14 (a date), 2 custom format 164 "0.000", and a shared-string
// part holding `shared_items` (the <si> elements) when not empty.
std::map<std::string, std::string> WorkbookParts(const std::vector<SheetSpec>& sheets,
                                                 const std::string& shared_items = "",
                                                 bool date1904 = false);

void WritePackage(const std::string& path, const std::map<std::string, std::string>& parts);

}  // namespace tavrio::automation::readers::testing

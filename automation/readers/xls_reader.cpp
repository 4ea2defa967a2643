#include "automation/readers/xls_reader.h"

#include <filesystem>
#include <utility>

#include "automation/readers/biff_sheet.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

std::string FileStem(const std::string& path) {
  std::string stem = std::filesystem::path(path).stem().string();
  return stem.empty() ? std::string("Sheet1") : stem;
}

}  // namespace

XlsReader::XlsReader(const std::string& path, std::string stream)
    : path_(path),
      stream_(std::move(stream)),
      workbook_(ReadBiffWorkbook(stream_, FileStem(path))) {
  // The records after FILEPASS are scrambled with the password (or the default one Excel uses
  // for a workbook that is only write-protected), each payload by its offset in the stream.
  // This is the one place to unscramble them: in stream_, in place, from
  // workbook_.scrambled_from on, as workbook_.filepass says, then read the globals again.
  // Until a decryptor is there, such a workbook is refused.
  if (workbook_.encrypted) throw ReadFault(std::string(kPasswordProtected));
  for (const BiffSheet& sheet : workbook_.sheets) {
    if (sheet.offset >= stream_.size()) BiffDamaged();
    sheets_.push_back(sheet.info);
  }
}

void XlsReader::ReadSheet(std::size_t index, CellSink& sink) {
  if (index >= sheets_.size()) {
    throw ReadSheetError(path_, "#" + std::to_string(index + 1), "没有这个工作表");
  }
  try {
    ReadBiffSheet(stream_, workbook_.sheets[index].offset, workbook_, sink);
  } catch (const ReadFault& fault) {
    throw ReadSheetError(path_, sheets_[index].name, fault.what());
  }
}

bool IsBareBiffFile(std::string_view header) {
  if (header.size() < 6) return false;
  const auto byte = [&header](std::size_t i) { return static_cast<unsigned char>(header[i]); };
  const bool bof =
      byte(0) == 0x09 && (byte(1) == 0x00 || byte(1) == 0x02 || byte(1) == 0x04 || byte(1) == 0x08);
  const unsigned length = byte(2) | (byte(3) << 8);
  return bof && length >= 4 && length <= 20;
}

}  // namespace tavrio::automation::readers

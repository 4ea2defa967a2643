#include "automation/readers/xls_reader.h"

#include <filesystem>
#include <utility>

#include "automation/readers/biff_decrypt.h"
#include "automation/readers/biff_sheet.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

std::string FileStem(const std::string& path) {
  std::string stem = std::filesystem::path(path).stem().string();
  return stem.empty() ? std::string("Sheet1") : stem;
}

// Decrypts every record from `from` to the stream's end in place. Record headers are clear, so
// the walk needs no key; a record claiming more bytes than are left is damage.
void UnscrambleRecords(std::string& stream, std::size_t from, BiffDecryptor& decryptor) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(stream.data());
  const std::string_view view(stream);
  for (std::size_t at = from; at + 4 <= stream.size();) {
    const std::uint16_t type = BiffU16(view, at);
    const std::size_t size = BiffU16(view, at + 2);
    if (size > stream.size() - at - 4) BiffDamaged();
    decryptor.DecryptRecord(type, at + 4, {bytes + at + 4, size});
    at += 4 + size;
  }
}

}  // namespace

XlsReader::XlsReader(const std::string& path, std::string stream)
    : path_(path),
      stream_(std::move(stream)),
      workbook_(ReadBiffWorkbook(stream_, FileStem(path))) {
  if (workbook_.encrypted) Unscramble(path);
  for (const BiffSheet& sheet : workbook_.sheets) {
    if (sheet.offset >= stream_.size()) BiffDamaged();
    sheets_.push_back(sheet.info);
  }
}

// The records after FILEPASS are scrambled with the password, each payload by its offset in
// the stream. Only the default one Excel uses for a workbook protected without an open
// password is known here; it is unscrambled once, in stream_ (the reader's own copy: the file
// stays as it is), before anything else reads it. Any other password is refused.
void XlsReader::Unscramble(const std::string& path) {
  const auto* filepass = reinterpret_cast<const std::uint8_t*>(workbook_.filepass.data());
  BiffFilePass opened = OpenBiffFilePass({filepass, workbook_.filepass.size()},
                                         static_cast<int>(workbook_.text.version()));
  if (!opened.decryptor) throw ReadFault(std::string(BiffFilePassReason(opened.outcome)));
  UnscrambleRecords(stream_, workbook_.scrambled_from, *opened.decryptor);
  workbook_ = ReadBiffWorkbook(stream_, FileStem(path), /*unscrambled=*/true);
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

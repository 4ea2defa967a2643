#include "automation/readers/ods_reader.h"

#include "automation/readers/ods_content.h"
#include "automation/readers/ods_manifest.h"
#include "automation/readers/ods_rows.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kContentPart = "content.xml";

// Thrown past the zip reader once the sheet asked for is complete, so the rest of the part is
// not inflated for nothing.
struct SheetComplete {};

void Stream(ZipArchive& archive, OdsContentStream& stream) {
  try {
    archive.Inflate(kContentPart, [&stream](std::string_view chunk) {
      stream.Feed(chunk);
      if (stream.TargetDone()) throw SheetComplete{};
    });
    stream.Finish();
  } catch (const SheetComplete&) {
  }
}

}  // namespace

bool IsOdsPackage(ZipArchive& archive) {
  if (!archive.Contains("mimetype")) return false;
  std::string type = archive.ReadWhole("mimetype");
  while (!type.empty() && (type.back() == '\n' || type.back() == '\r' || type.back() == ' ')) {
    type.pop_back();
  }
  return type == kOdsMimeType;
}

OdsReader::OdsReader(const std::string& path, ZipArchive archive)
    : path_(path), archive_(std::move(archive)), styles_(OdsStyles()) {
  if (!archive_.Contains(kContentPart)) {
    throw ReadFault("文件已损坏：缺少" + PartName(kContentPart));
  }
  if (IsPartEncrypted(archive_, kContentPart)) throw ReadFault(std::string(kPasswordProtected));
  OdsContentStream stream(kContentPart, sheets_, 0, nullptr);
  Stream(archive_, stream);
  if (sheets_.empty()) throw ReadFault("文件已损坏：其中没有工作表");
}

void OdsReader::ReadSheet(std::size_t index, CellSink& sink) {
  if (index >= sheets_.size()) {
    throw ReadSheetError(path_, "#" + std::to_string(index + 1), "没有这个工作表");
  }
  try {
    OdsRowReader rows(sink);
    std::vector<SheetInfo> listed;
    OdsContentStream stream(kContentPart, listed, index,
                            [&rows](std::string_view row) { rows.Row(row, kContentPart); });
    Stream(archive_, stream);
  } catch (const ReadFault& fault) {
    throw ReadSheetError(path_, sheets_[index].name, fault.what());
  }
}

}  // namespace tavrio::automation::readers

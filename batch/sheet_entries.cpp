#include "batch/sheet_entries.h"

#include <memory>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::batch {
namespace {

// As for files (ResolveInputs): the merge run counts its entries in 16 bits.
constexpr std::size_t kMaxEntries = 32766;

}  // namespace

SheetEntries VisibleSheetEntries(const std::vector<InputFile>& files) {
  SheetEntries entries;
  for (const InputFile& file : files) {
    const std::string path = file.folder + "/" + file.name;
    const std::unique_ptr<automation::readers::WorkbookReader> reader =
        automation::readers::OpenWorkbookFile(path);
    const std::size_t before = entries.files.size();
    const auto& sheets = reader->Sheets();
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      if (sheets[i].hidden) continue;
      entries.files.push_back(file);
      entries.sheets.push_back({static_cast<int>(i + 1), sheets[i].name});
    }
    if (entries.files.size() == before) {
      throw Error(error_number::kSubscriptOutOfRange,
                  "文件“" + path + "”中没有未隐藏的工作表，无法合并其所有工作表。");
    }
    if (entries.files.size() > kMaxEntries) {
      throw Error(error_number::kOverflow, "一次最多合并 32766 个工作表，这些文件的工作表更多");
    }
  }
  return entries;
}

}  // namespace tavrio::batch

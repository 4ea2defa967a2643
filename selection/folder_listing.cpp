#include "selection/folder_listing.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "automation/base/error.h"
#include "merge/file_order.h"

namespace tavrio::selection {
namespace {

namespace fs = std::filesystem;

Error FolderError(const std::string& folder, const std::error_code& code) {
  int number = error_number::kDeviceUnavailable;
  const char* reason = "设备不可用";
  if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory) {
    number = error_number::kPathNotFound;
    reason = "路径未找到";
  } else if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted) {
    number = error_number::kPermissionDenied;
    reason = "没有权限";
  }
  return Error(number, "无法打开文件夹“" + folder + "”：" + reason);
}

bool IsHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

}  // namespace

FolderListing ReadFolder(const std::string& folder) {
  std::error_code code;
  fs::directory_iterator entry(folder, code);
  if (code) throw FolderError(folder, code);
  FolderListing listing;
  for (; entry != fs::directory_iterator(); entry.increment(code)) {
    std::string name = entry->path().filename().string();
    if (IsHidden(name)) continue;
    // The status follows links; a link whose target is gone fails here and is left out.
    std::error_code status_code;
    const fs::file_status status = entry->status(status_code);
    if (status_code) continue;
    if (fs::is_directory(status)) {
      listing.folders.push_back(std::move(name));
    } else if (fs::is_regular_file(status)) {
      listing.files.push_back(std::move(name));
    }
  }
  // A folder that vanishes or a medium pulled out half-way through ends the walk with an error.
  if (code) throw FolderError(folder, code);
  merge::SortFileNames(listing.folders);
  merge::SortFileNames(listing.files);
  return listing;
}

std::string CleanFolderPath(const std::string& folder) {
  std::error_code code;
  fs::path path = fs::absolute(folder, code);
  if (code) path = folder;
  std::string clean = path.lexically_normal().string();
  while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  return clean.empty() ? std::string("/") : clean;
}

}  // namespace tavrio::selection

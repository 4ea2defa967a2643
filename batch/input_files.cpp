#include "batch/input_files.h"

#include <filesystem>
#include <system_error>

#include "automation/base/error.h"
#include "merge/file_order.h"

namespace tavrio::batch {
namespace {

namespace fs = std::filesystem;

// The merge run counts merged files in 16 bits and fails when the count passes 32,767, after
// the last file; refusing more files up front spares a long run that is bound to fail.
constexpr std::size_t kMaxFiles = 32766;

using error_number::kInvalidArgument;
using error_number::kPathNotFound;

// A folder's regular files whose names do not start with "." in the window's name order, and
// with `recursive` then each such subfolder's, folder by folder in the same order. Links to
// folders are not followed, so a link back up the tree cannot make the walk endless.
void AddFolderEntries(const std::string& folder, const std::string& given, bool recursive,
                      std::vector<InputFile>& files) {
  std::vector<std::string> names;
  std::vector<std::string> subfolders;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with(".")) continue;
    std::error_code type_error;
    if (it->is_regular_file(type_error)) {
      names.push_back(name);
    } else if (recursive && it->is_directory(type_error) && !it->is_symlink(type_error)) {
      subfolders.push_back(name);
    }
  }
  if (error) {
    throw Error(kPathNotFound, "无法读取文件夹“" + given + "”：" + error.message());
  }
  merge::SortFileNames(names);
  // At the root the folder already ends in "/", and the join doubles it, as the window does.
  for (std::string& name : names) files.push_back({folder, std::move(name)});
  merge::SortFileNames(subfolders);
  for (const std::string& name : subfolders) {
    const std::string path = folder == "/" ? "/" + name : folder + "/" + name;
    AddFolderEntries(path, path, recursive, files);
  }
}

std::vector<InputFile> FolderEntries(const std::string& given, bool recursive) {
  std::string folder = given;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::vector<InputFile> files;
  AddFolderEntries(folder, given, recursive, files);
  return files;
}

InputFile FileEntry(const std::string& given) {
  const fs::path path(given);
  std::string folder = path.parent_path().string();
  if (folder.empty()) folder = path.is_absolute() ? "/" : ".";
  return {folder, path.filename().string()};
}

}  // namespace

std::vector<InputFile> ResolveInputs(const std::vector<std::string>& inputs, bool recursive) {
  std::vector<InputFile> files;
  std::error_code error;
  if (inputs.size() == 1 && fs::is_directory(inputs.front(), error)) {
    files = FolderEntries(inputs.front(), recursive);
    if (files.empty()) {
      throw Error(kInvalidArgument, "文件夹“" + inputs.front() + "”中没有可合并的文件");
    }
  } else {
    for (const std::string& input : inputs) {
      if (fs::is_directory(input, error)) {
        throw Error(kInvalidArgument, "“" + input + "”是文件夹：只给出一个文件夹，或者只给出文件");
      }
      if (input.empty() || input.back() == '/') {
        throw Error(kPathNotFound, "“" + input + "”不是文件");
      }
      files.push_back(FileEntry(input));
    }
  }
  if (files.size() > kMaxFiles) {
    throw Error(error_number::kOverflow,
                "一次最多合并 32766 个文件，这里有 " + std::to_string(files.size()) + " 个");
  }
  return files;
}

}  // namespace tavrio::batch

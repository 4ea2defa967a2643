#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace tavrio::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "tavrio-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = fs::canonical(pattern).string();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  for (auto entry = fs::recursive_directory_iterator(path_, ignored);
       entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
    if (entry->is_directory(ignored)) {
      fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void TempFolder::AddFile(const std::string& relative) const {
  const fs::path file = File(relative);
  fs::create_directories(file.parent_path());
  std::ofstream(file).put('x');
}

void TempFolder::AddFolder(const std::string& relative) const {
  fs::create_directories(File(relative));
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CachedFixtureDir(const std::string& root, const std::string& key,
                             const std::function<bool(const std::string& dir)>& generate) {
  namespace fs = std::filesystem;
  const std::string final_dir = root + "/" + key;
  if (fs::exists(final_dir + "/done")) return final_dir;
  fs::create_directories(root);
  std::string work = root + "/work-XXXXXX";
  if (mkdtemp(work.data()) == nullptr) return {};
  if (!generate(work)) {
    fs::remove_all(work);
    return {};
  }
  WriteFile(work + "/done", "");
  std::error_code error;
  fs::rename(work, final_dir, error);
  if (error) fs::remove_all(work);
  return fs::exists(final_dir + "/done") ? final_dir : std::string();
}

}  // namespace tavrio::testing

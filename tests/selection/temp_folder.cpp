#include "tests/selection/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tavrio::testing {

TempFolder::TempFolder() {
  if (!dir_.isValid()) throw std::runtime_error("cannot create a temporary folder");
}

std::string TempFolder::path() const {
  // Canonical, so that it compares equal to the cleaned paths the lists show.
  return std::filesystem::canonical(dir_.path().toStdString()).string();
}

std::string TempFolder::Path(const std::string& relative) const { return path() + "/" + relative; }

void TempFolder::AddFile(const std::string& relative) const {
  const std::filesystem::path file = Path(relative);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file).put('x');
}

void TempFolder::AddFolder(const std::string& relative) const {
  std::filesystem::create_directories(Path(relative));
}

}  // namespace tavrio::testing

#include "tests/support/independent_readers.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tavrio::testing {
namespace {

bool Configured(const char* path) {
  const std::string text = path;
  return !text.empty() && !text.ends_with("NOTFOUND") && std::filesystem::exists(text);
}

}  // namespace

std::optional<std::string> RunCommand(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  std::array<char, 65536> buffer;
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    output.append(buffer.data(), got);
  }
  if (pclose(pipe) != 0) return std::nullopt;
  return output;
}

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::optional<std::string> PythonWithOpenpyxl() {
  static const std::optional<std::string> python = []() -> std::optional<std::string> {
    if (!Configured(TAVRIO_SYSTEM_PYTHON)) return std::nullopt;
    const std::string path = TAVRIO_SYSTEM_PYTHON;
    if (!RunCommand("'" + path + "' -c 'import openpyxl' 2>/dev/null")) return std::nullopt;
    return path;
  }();
  return python;
}

std::optional<std::string> Soffice() {
  if (!Configured(TAVRIO_SOFFICE)) return std::nullopt;
  return std::string(TAVRIO_SOFFICE);
}

std::optional<std::string> RecalculatedCsv(const std::string& xlsx, const std::string& work_dir) {
  namespace fs = std::filesystem;
  const fs::path profile = fs::path(work_dir) / "profile";
  fs::create_directories(profile / "user");
  std::ofstream(profile / "user" / "registrymodifications.xcu")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
         "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
         "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\">"
         "<prop oor:name=\"OOXMLRecalcMode\" oor:op=\"fuse\"><value>0</value></prop>"
         "</item></oor:items>\n";
  const std::optional<std::string> soffice = Soffice();
  if (!soffice) return std::nullopt;
  const std::string out = (fs::path(work_dir) / "office").string();
  if (!RunQuietly(
          "'" + *soffice + "' -env:UserInstallation=file://" + profile.string() +
          " --headless --convert-to csv:\"Text - txt - csv (StarCalc)\":44,34,76 --outdir '" + out +
          "' '" + xlsx + "'")) {
    return std::nullopt;
  }
  return out + "/" + fs::path(xlsx).stem().string() + ".csv";
}

bool MustSkipWithout(bool available, const std::string& what) {
  if (available) return false;
  const char* ci = std::getenv("CI");
  if (ci != nullptr && *ci != '\0') {
    ADD_FAILURE() << what << " is missing on CI, which installs it: the test would have skipped";
  }
  return true;
}

}  // namespace tavrio::testing

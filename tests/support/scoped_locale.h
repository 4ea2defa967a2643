#pragma once

// Switches the process's C and C++ locale for one test, as a window toolkit does from the user's
// environment, and puts back the one before.

#include <clocale>
#include <locale>
#include <string>

namespace tavrio::testing {

class ScopedLocale {
 public:
  // `name` such as "de_DE.UTF-8"; active() tells whether the machine has it.
  explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, name) != nullptr;
    if (active_) previous_global_ = std::locale::global(std::locale(""));
  }
  ~ScopedLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
    if (active_) std::locale::global(previous_global_);
  }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

  bool active() const { return active_; }

 private:
  std::string previous_;
  std::locale previous_global_;
  bool active_ = false;
};

// A locale whose decimal mark is a comma; scripts/install-deps generates it.
inline constexpr char kCommaDecimalLocale[] = "de_DE.UTF-8";

}  // namespace tavrio::testing

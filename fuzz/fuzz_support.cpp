#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "automation/readers/text_encoding.h"

namespace tavrio::fuzz {

void CheckingSink::Broken(std::string what) {
  if (broken_.empty()) broken_ = std::move(what);
}

void CheckingSink::Check(std::uint32_t row, std::uint16_t column, std::uint32_t style, char kind) {
  if (row < 1 || row > 1048576) Broken("row " + std::to_string(row) + " is off the sheet");
  if (column < 1 || column > 16384)
    Broken("column " + std::to_string(column) + " is off the sheet");
  if (style >= style_count_) Broken("style " + std::to_string(style) + " is past the style table");
  digest_ += kind;
  digest_ += std::to_string(row) + ',' + std::to_string(column) + ',' + std::to_string(style);
}

void CheckingSink::Number(std::uint32_t row, std::uint16_t column, double value,
                          std::uint32_t style) {
  if (!std::isfinite(value)) Broken("a number that no sheet can hold");
  Check(row, column, style, 'n');
  char bits[sizeof value];
  std::memcpy(bits, &value, sizeof value);
  digest_.append(bits, sizeof bits);
}

void CheckingSink::Text(std::uint32_t row, std::uint16_t column, std::string_view text,
                        std::uint32_t style) {
  if (utf8_text_ && !automation::readers::IsValidUtf8(text)) Broken("a text that is not UTF-8");
  Check(row, column, style, 's');
  digest_ += std::to_string(text.size()) + ':';
  digest_ += text;
}

void CheckingSink::Boolean(std::uint32_t row, std::uint16_t column, bool value,
                           std::uint32_t style) {
  Check(row, column, style, value ? 'T' : 'F');
}

void CheckingSink::ErrorValue(std::uint32_t row, std::uint16_t column, std::string_view text,
                              std::uint32_t style) {
  if (text.empty() || text.front() != '#') Broken("an error value without its '#'");
  Check(row, column, style, 'e');
  digest_ += text;
}

void CheckingSink::Blank(std::uint32_t row, std::uint16_t column, std::uint32_t style) {
  Check(row, column, style, 'b');
}

MemoryFile::MemoryFile(std::string_view bytes) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
  if (fd_ < 0) throw std::runtime_error("memfd_create failed");
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t wrote = write(fd_, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) {
      close(fd_);
      throw std::runtime_error("writing the in-memory file failed");
    }
    done += static_cast<std::size_t>(wrote);
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() { close(fd_); }

}  // namespace tavrio::fuzz

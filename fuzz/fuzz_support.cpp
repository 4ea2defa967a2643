#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tavrio::fuzz {

void Finding(std::string_view what) {
  std::fprintf(stderr, "FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

void CheckingSink::Check(std::uint32_t row, std::uint16_t column, std::uint32_t style,
                         char kind) {
  if (row < 1 || row > 1048576) Finding("row out of the sheet");
  if (column < 1 || column > 16384) Finding("column out of the sheet");
  if (style >= style_count_) Finding("style index past the style table");
  digest_ += kind;
  digest_ += std::to_string(row) + ',' + std::to_string(column) + ',' + std::to_string(style);
}

void CheckingSink::Number(std::uint32_t row, std::uint16_t column, double value,
                          std::uint32_t style) {
  if (!std::isfinite(value)) Finding("a number that no sheet can hold");
  Check(row, column, style, 'n');
  char bits[sizeof value];
  std::memcpy(bits, &value, sizeof value);
  digest_.append(bits, sizeof bits);
}

void CheckingSink::Text(std::uint32_t row, std::uint16_t column, std::string_view text,
                        std::uint32_t style) {
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
  if (text.empty() || text.front() != '#') Finding("an error value that is not one");
  Check(row, column, style, 'e');
  digest_ += text;
}

void CheckingSink::Blank(std::uint32_t row, std::uint16_t column, std::uint32_t style) {
  Check(row, column, style, 'b');
}

MemoryFile::MemoryFile(const std::uint8_t* data, std::size_t size)
    : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
  if (fd_ < 0) Finding("memfd_create failed");
  for (std::size_t done = 0; done < size;) {
    ssize_t wrote = write(fd_, data + done, size - done);
    if (wrote <= 0) Finding("writing the in-memory file failed");
    done += static_cast<std::size_t>(wrote);
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() { close(fd_); }

}  // namespace tavrio::fuzz

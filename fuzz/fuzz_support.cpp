#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "automation/base/formula_shift.h"
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

void CheckingSink::Cells(std::span<const automation::readers::SinkCell> cells) {
  for (const automation::readers::SinkCell& cell : cells) Take(cell);
}

void CheckingSink::Take(const automation::readers::SinkCell& cell) {
  using Kind = automation::readers::SinkCell::Kind;
  if (!cell.formula.empty()) {
    digest_ += 'f';
    digest_ += cell.formula;
  }
  if (cell.array_rows != 0 || cell.array_columns != 0) {
    // An array formula's range starts at its cell, which holds its formula, and lies on the sheet.
    if (cell.formula.empty()) Broken("an array range without its formula");
    if (cell.array_rows == 0 || cell.array_columns == 0) Broken("an array range without cells");
    if (std::uint64_t{cell.row} + cell.array_rows - 1 > 1048576 ||
        std::uint64_t{cell.column} + cell.array_columns - 1 > 16384) {
      Broken("an array range off the sheet");
    }
    digest_ += '{' + std::to_string(cell.array_rows) + 'x' + std::to_string(cell.array_columns);
  }
  switch (cell.kind) {
    case Kind::kNumber: {
      if (!std::isfinite(cell.number)) Broken("a number that no sheet can hold");
      Check(cell.row, cell.column, cell.style, 'n');
      char bits[sizeof cell.number];
      std::memcpy(bits, &cell.number, sizeof cell.number);
      digest_.append(bits, sizeof bits);
      break;
    }
    case Kind::kText:
    case Kind::kSharedText:
      if (utf8_text_ && !automation::readers::IsValidUtf8(cell.text)) {
        Broken("a text that is not UTF-8");
      }
      Check(cell.row, cell.column, cell.style, 's');
      digest_ += std::to_string(cell.text.size()) + ':';
      digest_ += cell.text;
      break;
    case Kind::kBoolean:
      Check(cell.row, cell.column, cell.style, cell.number != 0 ? 'T' : 'F');
      break;
    case Kind::kError:
      if (cell.text.empty() || cell.text.front() != '#') Broken("an error value without its '#'");
      Check(cell.row, cell.column, cell.style, 'e');
      digest_ += cell.text;
      break;
    case Kind::kBlank:
      Check(cell.row, cell.column, cell.style, 'b');
      break;
  }
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

std::string CheckFormulaText(const std::string& text) {
  if (text.size() > 8192) return "a formula longer than a cell may hold";
  if (!automation::readers::IsValidUtf8(text)) return "a formula that is not UTF-8";
  if (std::count(text.begin(), text.end(), '"') % 2 != 0) return "an unclosed string";
  if (automation::ShiftFormula(text, 0, 0) != text) {
    return "a formula the paste would change without moving it: " + text;
  }
  return {};
}

}  // namespace tavrio::fuzz

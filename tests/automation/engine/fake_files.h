#pragma once

// Workbook files that exist only in memory, read through the engine's reader interface, so the
// engine's behaviour is tested without depending on a file format.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine/engine.h"

namespace tavrio::automation::testing {

struct FakeCell {
  std::uint32_t row;
  std::uint16_t column;
  CellValue value;  // std::monostate: a styled blank
  std::uint32_t style = 0;
  std::string formula = {};      // without '='; `value` is then its stored result
  std::uint32_t array_rows = 0;  // an array formula's extent, see SinkCell
  std::uint16_t array_columns = 0;
};

struct FakeSheet {
  FakeSheet(std::string name, std::vector<FakeCell> cells = {}, bool hidden = false)
      : name(std::move(name)), cells(std::move(cells)), hidden(hidden) {}

  std::string name;
  std::vector<FakeCell> cells;
  bool hidden = false;
  std::optional<Error> failure;  // thrown by ReadSheet after the cells were handed over
};

struct FakeWorkbook {
  std::vector<FakeSheet> sheets;
  std::vector<std::string> number_formats = {"General"};
  bool uses_1904 = false;
  bool results_trusted = true;  // FormulaResultsTrusted
};

class FakeFiles {
 public:
  void Add(const std::string& path, FakeWorkbook workbook);
  // Readers over the files added so far (and later); an unknown path fails as a missing file.
  // Their counts may be kept from two threads at once (an engine reading ahead); adding files
  // may not.
  Engine::ReaderFactory Factory();
  // How often sheet `index` of `path` was read.
  int Reads(const std::string& path, std::size_t index) const;
  int Opens(const std::string& path) const;

 private:
  struct Entry {
    FakeWorkbook workbook;
    std::vector<int> reads;
    int opens = 0;
  };
  std::shared_ptr<std::map<std::string, Entry>> files_ =
      std::make_shared<std::map<std::string, Entry>>();
  std::shared_ptr<std::mutex> counting_ = std::make_shared<std::mutex>();
};

// Rows 1..rows of `columns` cells: text "r<row>c<column>" in odd columns, row*column elsewhere.
FakeSheet GridSheet(const std::string& name, std::uint32_t rows, std::uint16_t columns);

}  // namespace tavrio::automation::testing

#include "fake_files.h"

#include <utility>

namespace tavrio::automation::testing {
namespace {

class FakeReader final : public readers::WorkbookReader {
 public:
  FakeReader(const FakeWorkbook& workbook, std::vector<int>& reads, std::mutex& counting)
      : workbook_(workbook), reads_(reads), counting_(counting) {
    for (const FakeSheet& sheet : workbook.sheets) sheets_.push_back({sheet.name, sheet.hidden});
    for (const std::string& format : workbook.number_formats) styles_.push_back({format});
  }
  const std::vector<readers::SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<readers::StyleInfo>& Styles() const override { return styles_; }
  bool Uses1904DateSystem() const override { return workbook_.uses_1904; }
  bool FormulaResultsTrusted() const override { return workbook_.results_trusted; }

  void ReadSheet(std::size_t index, readers::CellSink& sink) override {
    {
      std::lock_guard lock(counting_);
      ++reads_[index];
    }
    const FakeSheet& sheet = workbook_.sheets[index];
    for (const FakeCell& cell : sheet.cells) Send(cell, sink);
    if (sheet.failure) throw *sheet.failure;
  }

 private:
  static void Send(const FakeCell& cell, readers::CellSink& sink) {
    readers::SinkCell sunk = Sunk(cell);
    sunk.formula = cell.formula;
    sunk.array_rows = cell.array_rows;
    sunk.array_columns = cell.array_columns;
    sink.Put(sunk);
  }

  static readers::SinkCell Sunk(const FakeCell& cell) {
    const auto row = cell.row;
    const auto column = cell.column;
    if (const auto* number = std::get_if<double>(&cell.value)) {
      return readers::SinkCell::Number(row, column, *number, cell.style);
    }
    if (const auto* text = std::get_if<std::string>(&cell.value)) {
      return readers::SinkCell::Text(row, column, *text, cell.style);
    }
    if (const auto* boolean = std::get_if<bool>(&cell.value)) {
      return readers::SinkCell::Boolean(row, column, *boolean, cell.style);
    }
    if (const auto* error = std::get_if<CellErrorValue>(&cell.value)) {
      return readers::SinkCell::Error(row, column, error->text, cell.style);
    }
    return readers::SinkCell::Blank(row, column, cell.style);
  }

  FakeWorkbook workbook_;
  std::vector<int>& reads_;
  std::mutex& counting_;
  std::vector<readers::SheetInfo> sheets_;
  std::vector<readers::StyleInfo> styles_;
};

}  // namespace

void FakeFiles::Add(const std::string& path, FakeWorkbook workbook) {
  Entry entry;
  entry.reads.assign(workbook.sheets.size(), 0);
  entry.workbook = std::move(workbook);
  (*files_)[path] = std::move(entry);
}

Engine::ReaderFactory FakeFiles::Factory() {
  return [files = files_, counting = counting_](
             const std::string& path) -> std::unique_ptr<readers::WorkbookReader> {
    const auto it = files->find(path);
    if (it == files->end()) {
      throw Error(error_number::kApplicationDefined, "无法打开文件“" + path + "”：文件不存在。");
    }
    {
      std::lock_guard lock(*counting);
      ++it->second.opens;
    }
    return std::make_unique<FakeReader>(it->second.workbook, it->second.reads, *counting);
  };
}

int FakeFiles::Reads(const std::string& path, std::size_t index) const {
  std::lock_guard lock(*counting_);
  return files_->at(path).reads.at(index);
}

int FakeFiles::Opens(const std::string& path) const {
  std::lock_guard lock(*counting_);
  return files_->at(path).opens;
}

FakeSheet GridSheet(const std::string& name, std::uint32_t rows, std::uint16_t columns) {
  FakeSheet sheet(name);
  for (std::uint32_t row = 1; row <= rows; ++row) {
    for (std::uint16_t column = 1; column <= columns; ++column) {
      FakeCell& cell = sheet.cells.emplace_back(FakeCell{row, column, {}});
      if (column % 2 == 1) {
        cell.value = "r" + std::to_string(row) + "c" + std::to_string(column);
      } else {
        cell.value = static_cast<double>(row * column);
      }
    }
  }
  return sheet;
}

}  // namespace tavrio::automation::testing

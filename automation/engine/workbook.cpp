#include "automation/engine/workbook.h"

#include <exception>
#include <new>
#include <span>
#include <utility>
#include <variant>

#include "automation/base/error.h"
#include "automation/engine/engine_text.h"
#include "automation/engine/sheet_loader.h"

namespace tavrio::automation::engine {
namespace {

using error_number::kOutOfMemory;

// Hands a reader's cells on until a stop is requested; checked once per row, which costs
// nothing beside a row's parse and answers a stop within a row.
class StoppableSink final : public readers::CellSink {
 public:
  StoppableSink(readers::CellSink& sink, std::stop_token stop)
      : sink_(sink), stop_(std::move(stop)) {}

  void Cells(std::span<const readers::SinkCell> cells) override {
    if (stop_.stop_requested()) throw Workbook::ReadingStopped{};
    sink_.Cells(cells);
  }
  void RowHeight(std::uint32_t row, double points) override { sink_.RowHeight(row, points); }
  void MergedCells(std::uint32_t first_row, std::uint16_t first_column, std::uint32_t last_row,
                   std::uint16_t last_column) override {
    sink_.MergedCells(first_row, first_column, last_row, last_column);
  }

 private:
  readers::CellSink& sink_;
  std::stop_token stop_;
};

}  // namespace

Workbook::Workbook(std::string name) : name_(std::move(name)) {
  sheets_.emplace_back("Sheet1", false, true);
}

Workbook::Workbook(std::string name, std::string path,
                   std::unique_ptr<readers::WorkbookReader> reader)
    : name_(std::move(name)), path_(std::move(path)), reader_(std::move(reader)) {
  for (const readers::SheetInfo& info : reader_->Sheets()) {
    sheets_.emplace_back(info.name, info.hidden, false);
  }
  for (const readers::StyleInfo& style : reader_->Styles()) {
    reader_styles_.push_back(styles_.Intern(style));
  }
  unread_sheets_ = sheets_.size();
  // The window opens on the first sheet a user can see.
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    if (!sheets_[i].hidden()) {
      active_sheet_ = i;
      break;
    }
  }
}

Workbook::~Workbook() = default;

void Workbook::Rename(std::string name, std::string path) {
  name_ = std::move(name);
  path_ = std::move(path);
}

Sheet& Workbook::LoadedSheet(std::size_t index) { return LoadedSheet(index, {}); }

Sheet& Workbook::LoadedSheet(std::size_t index, std::stop_token stop) {
  if (!sheets_[index].loaded()) ReadSheet(index, std::move(stop));
  return sheets_[index];
}

std::optional<std::size_t> Workbook::FindSheet(const SheetSelector& sheet) const {
  if (const auto* position = std::get_if<std::int16_t>(&sheet)) {
    if (*position < 1 || static_cast<std::size_t>(*position) > sheets_.size()) return std::nullopt;
    return static_cast<std::size_t>(*position - 1);
  }
  const std::string& name = std::get<std::string>(sheet);
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    if (EqualsIgnoringCase(sheets_[i].name(), name)) return i;
  }
  return std::nullopt;
}

std::size_t Workbook::AddSheet(std::string name) {
  sheets_.emplace_back(std::move(name), false, true);
  return sheets_.size() - 1;
}

void Workbook::LoadAllSheets() {
  for (std::size_t i = 0; i < sheets_.size(); ++i) LoadedSheet(i);
}

void Workbook::ReadSharedParts() {
  if (reader_) reader_->ReadSharedParts();
}

void Workbook::ReadSheet(std::size_t index, std::stop_token stop) {
  Sheet& sheet = sheets_[index];
  SheetLoader loader(sheet, strings_, styles_, reader_styles_, reader_->Uses1904DateSystem(),
                     reader_->FormulaResultsTrusted(), path_);
  StoppableSink stoppable(loader, stop);
  readers::CellSink& sink = stop.stop_possible() ? static_cast<readers::CellSink&>(stoppable)
                                                 : static_cast<readers::CellSink&>(loader);
  try {
    reader_->ReadSheet(index, sink);
    sheet.FinishLoading();
  } catch (const std::bad_alloc&) {
    sheet.AbortLoading();
    throw Error(kOutOfMemory,
                "内存不足：无法读取文件“" + path_ + "”的工作表“" + sheet.name() + "”。");
  } catch (const Error&) {
    sheet.AbortLoading();
    throw;
  } catch (const std::exception& fault) {
    sheet.AbortLoading();
    throw Error(error_number::kApplicationDefined, "无法读取文件“" + path_ + "”的工作表“" +
                                                       sheet.name() + "”：" + fault.what() + "。");
  } catch (const ReadingStopped&) {
    sheet.AbortLoading();
    throw;
  }
  // Every sheet is in memory now; the reader's buffers and file handle are no longer needed.
  if (--unread_sheets_ == 0) reader_.reset();
}

}  // namespace tavrio::automation::engine

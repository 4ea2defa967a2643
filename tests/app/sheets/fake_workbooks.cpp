#include "fake_workbooks.h"

#include <variant>

#include "automation/base/error.h"
#include "automation/writers/save_workbook.h"

namespace tavrio::app::sheets::testing {
namespace {

using automation::readers::CellSink;
using automation::readers::SheetInfo;
using automation::readers::StyleInfo;

automation::readers::SinkCell Sunk(const FakeCell& cell, std::uint32_t style) {
  using automation::readers::SinkCell;
  if (const auto* number = std::get_if<double>(&cell.value)) {
    return SinkCell::Number(cell.row, cell.column, *number, style);
  }
  if (const auto* text = std::get_if<std::string>(&cell.value)) {
    return SinkCell::Text(cell.row, cell.column, *text, style);
  }
  if (const auto* truth = std::get_if<bool>(&cell.value)) {
    return SinkCell::Boolean(cell.row, cell.column, *truth, style);
  }
  if (const auto* error = std::get_if<automation::CellErrorValue>(&cell.value)) {
    return SinkCell::Error(cell.row, cell.column, error->text, style);
  }
  return SinkCell::Blank(cell.row, cell.column, style);
}

class FakeReader : public automation::readers::WorkbookReader {
 public:
  explicit FakeReader(const std::vector<FakeSheet>& sheets) : sheets_(sheets) {
    styles_.push_back(StyleInfo{});
    for (const FakeSheet& sheet : sheets) {
      infos_.push_back({sheet.name, sheet.hidden});
      for (const FakeCell& cell : sheet.cells) StyleOf(cell.number_format);
    }
  }

  const std::vector<SheetInfo>& Sheets() const override { return infos_; }
  const std::vector<StyleInfo>& Styles() const override { return styles_; }
  bool Uses1904DateSystem() const override { return false; }

  void ReadSheet(std::size_t index, CellSink& sink) override {
    for (const FakeCell& cell : sheets_[index].cells) {
      automation::readers::SinkCell sunk = Sunk(cell, StyleOf(cell.number_format));
      sunk.formula = cell.formula;
      sink.Put(sunk);
    }
  }

 private:
  std::uint32_t StyleOf(const std::string& format) {
    for (std::size_t i = 0; i < styles_.size(); ++i) {
      if (styles_[i].number_format == format) return static_cast<std::uint32_t>(i);
    }
    styles_.push_back(StyleInfo{format});
    return static_cast<std::uint32_t>(styles_.size() - 1);
  }

  const std::vector<FakeSheet>& sheets_;
  std::vector<SheetInfo> infos_;
  std::vector<StyleInfo> styles_;
};

}  // namespace

std::unique_ptr<automation::Engine> EngineOver(const FakeFiles& files) {
  return std::make_unique<automation::Engine>(
      [&files](const std::string& path) -> std::unique_ptr<automation::readers::WorkbookReader> {
        const auto found = files.find(path);
        if (found == files.end()) throw Error(error_number::kApplicationDefined, "找不到 " + path);
        return std::make_unique<FakeReader>(found->second);
      },
      &automation::writers::SaveWorkbook);
}

}  // namespace tavrio::app::sheets::testing

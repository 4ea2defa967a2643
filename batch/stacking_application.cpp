#include "batch/stacking_application.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

#include "automation/engine/engine_errors.h"
#include "automation/engine/formula_calculation.h"
#include "automation/base/sheet_limits.h"
#include "automation/base/error.h"
#include "automation/base/cell_address.h"

namespace tavrio::batch {
namespace {

namespace engine = automation::engine;
using engine::Cell;
using engine::CellRange;
using engine::CellType;
using automation::kMaxColumns;
using automation::kMaxRows;

// The source column is laid in the grid's last column while the merge runs, since the data's
// last column is known only at the end; Finish moves it next to the data.
constexpr std::uint32_t kPendingSourceColumn = kMaxColumns;

bool HoldsValue(const Cell& cell) {
  return cell.type != CellType::kBlank || (cell.flags & engine::kHasFormula) != 0;
}

// A header cell's text as the user sees it in a plain cell.
std::string HeaderText(const engine::Workbook& workbook, const Cell& cell) {
  switch (cell.type) {
    case CellType::kText:
    case CellType::kError:
      return TrimBlanks(workbook.strings().Get(cell.string_id));
    case CellType::kNumber: {
      char digits[32];
      const auto result = std::to_chars(digits, digits + sizeof digits, cell.number);
      return std::string(digits, result.ptr);
    }
    case CellType::kBoolean:
      return cell.boolean ? "TRUE" : "FALSE";
    case CellType::kBlank:
      break;
  }
  return {};
}

std::string Where(const engine::Workbook& workbook, const engine::Sheet& sheet) {
  return engine::errors::Describe(workbook) + "的工作表“" + sheet.name() + "”";
}

// The trimmed texts of row `row`, column 1 first; "" where a column has none.
std::vector<std::string> HeaderTexts(const engine::Workbook& workbook, const engine::Sheet& sheet,
                                     std::uint32_t row) {
  std::vector<std::string> headers;
  const std::size_t index = sheet.LowerRow(row);
  if (row < 1 || index == sheet.rows().size() || sheet.rows()[index].number != row) return headers;
  for (const Cell& cell : sheet.rows()[index].Cells()) {
    headers.resize(cell.column);
    headers[cell.column - 1] = HeaderText(workbook, cell);
  }
  return headers;
}

// A value under no header would have nowhere to go; it is the user's to name, not ours to drop.
void RefuseValuesWithoutHeader(const engine::Workbook& workbook, const engine::Sheet& sheet,
                               const CellRange& block, const std::vector<std::string>& headers,
                               std::uint32_t header_row) {
  const std::span<const engine::Row> rows = sheet.rows();
  for (std::size_t i = sheet.LowerRow(block.first_row);
       i < rows.size() && rows[i].number <= block.last_row; ++i) {
    for (const Cell& cell : rows[i].Cells()) {
      if (!HoldsValue(cell) ||
          (cell.column <= headers.size() && !headers[cell.column - 1].empty())) {
        continue;
      }
      throw Error(error_number::kApplicationDefined,
                  Where(workbook, sheet) + "的 " + automation::ColumnLetters(cell.column) +
                      " 列有数据（如 " +
                      automation::CellReference(rows[i].number, cell.column) +
                      "），但标题行（第 " + std::to_string(header_row) +
                      " 行）中这一列没有标题，无法按标题对应列。请给这一列加上标题后再合并。");
    }
  }
}

}  // namespace

StackingApplication::StackingApplication(automation::Engine& engine, StackingOptions options)
    : engine_(engine), options_(std::move(options)) {}

bool StackingApplication::MergedIsActive() const {
  return merged_ != nullptr && engine_.ActiveWorkbook() == merged_;
}

void StackingApplication::CopySelection() {
  engine_.CopySelection();
  engine::Workbook* workbook = engine_.FindWorkbookToEdit(engine_.ActiveWorkbookName());
  const std::size_t sheet = workbook->active_sheet();
  copied_ = Copied{workbook, sheet, workbook->SheetAt(sheet).view().selection};
}

void StackingApplication::SetCutCopyMode(bool on) {
  engine_.SetCutCopyMode(on);
  if (!on) copied_.reset();
}

void StackingApplication::CloseActiveWindow() {
  if (copied_ && copied_->workbook == engine_.ActiveWorkbook()) copied_.reset();
  engine_.CloseActiveWindow();
}

void StackingApplication::AddWorkbook() {
  engine_.AddWorkbook();
  merged_ = engine_.FindWorkbookToEdit(engine_.ActiveWorkbookName());
  next_row_ = 1;
  merged_rows_ = 0;
}

std::int32_t StackingApplication::ActiveSheetLastUsedRow() {
  if (!MergedIsActive()) return engine_.ActiveSheetLastUsedRow();
  if (merged_rows_ > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    throw Overflow();
  }
  return static_cast<std::int32_t>(merged_rows_);
}

void StackingApplication::SelectCell(std::int32_t row, int column) {
  if (!MergedIsActive() || row < 1 || !options_.unlimited_rows ||
      static_cast<std::uint32_t>(row) <= kMaxRows) {
    engine_.SelectCell(row, column);
  } else if (column < 1 || static_cast<std::uint32_t>(column) > kMaxColumns) {
    throw engine::errors::ColumnOutOfRange(column);
  }
  if (MergedIsActive()) next_row_ = static_cast<std::uint64_t>(row);
}

void StackingApplication::PasteIntoActiveSheet() {
  if (!copied_ || !MergedIsActive()) return engine_.PasteIntoActiveSheet();
  const Copied block = *copied_;
  const bool first_block = blocks_.empty();
  const engine::Sheet& from = block.workbook->SheetAt(block.sheet);
  blocks_.push_back(StackedBlock{block.workbook->name(), from.name(), block.range.first_row,
                                 block.range.last_row, block.range.RowCount()});
  if (block.range.Empty()) return;
  const std::uint32_t rows = block.range.RowCount();
  const std::uint64_t last = next_row_ + rows - 1;
  if (!options_.unlimited_rows && last > kMaxRows) {
    throw engine::errors::PastePastLastRow(*merged_, merged_->SheetAt(0), rows,
                                           static_cast<std::uint32_t>(next_row_));
  }
  const engine::ColumnPlan plan = PlanColumns(block, first_block);
  if (!options_.dry_run) {
    for (const Segment& segment : SegmentsOf(block, first_block)) Place(block, segment, plan);
  }
  merged_rows_ = last;
}

engine::ColumnPlan StackingApplication::PlanColumns(const Copied& block, bool first_block) {
  engine::ColumnPlan plan;
  if (options_.source_column) plan.trailing_column = kPendingSourceColumn;
  if (!options_.match_headers) return plan;
  const engine::Workbook& source = *block.workbook;
  const engine::Sheet& from = source.SheetAt(block.sheet);
  const std::uint32_t header_row = first_block ? block.range.first_row : block.range.first_row - 1;
  const std::vector<std::string> headers = HeaderTexts(source, from, header_row);
  RefuseValuesWithoutHeader(source, from, block.range, headers, header_row);
  HeaderColumns::Placement placement = headers_.Place(headers, Where(source, from));
  if (first_block) return plan;
  if (!options_.dry_run) CopyNewHeaders(block, placement.added, placement.target);
  plan.target = std::move(placement.target);
  // Past the last header only formats without values remain; they stay behind rather than
  // land on a column the plan gave to another header.
  plan.target.resize(kMaxColumns, 0);
  return plan;
}

std::vector<StackingApplication::Segment> StackingApplication::SegmentsOf(const Copied& block,
                                                                          bool first_block) const {
  std::string label;
  if (options_.source_column) {
    label = block.workbook->name();
    if (options_.sheet_in_label) label += " / " + block.workbook->SheetAt(block.sheet).name();
  }
  const CellRange& range = block.range;
  if (!first_block || !options_.source_column) return {{range.first_row, range.last_row, label}};
  std::vector<Segment> segments{{range.first_row, range.first_row, *options_.source_column}};
  if (range.last_row > range.first_row)
    segments.push_back({range.first_row + 1, range.last_row, label});
  return segments;
}

void StackingApplication::Place(const Copied& block, const Segment& segment,
                                engine::ColumnPlan plan) {
  // A formula whose columns moved may land as its value alone; a value the source never
  // stored is the one calculated there.
  if (!plan.target.empty()) engine::CalculateSheet(*block.workbook, block.sheet);
  const engine::Sheet& from = block.workbook->SheetAt(block.sheet);
  const bool plain = plan.target.empty() && !options_.source_column;
  if (options_.source_column) plan.trailing_text = segment.text;
  std::uint64_t row = next_row_ + (segment.first - block.range.first_row);
  for (std::uint32_t first = segment.first; first <= segment.last;) {
    std::uint32_t sheet_row = 0;
    const std::size_t sheet = SheetFor(row, sheet_row);
    const std::uint32_t count = std::min(kMaxRows - sheet_row + 1, segment.last - first + 1);
    const std::uint32_t last = first + count - 1;
    engine::Sheet& to = merged_->LoadedSheet(sheet);
    if (plain) {
      engine::CopyCells(*block.workbook, from, CellRange{first, last, 1, kMaxColumns}, *merged_, to,
                        sheet_row, 1);
    } else {
      NoteValues(block, sheet,
                 engine::CopyPlannedRows(*block.workbook, from, first, last, *merged_, to,
                                         sheet_row, plan));
    }
    first = last + 1;
    row += count;
    if (last == segment.last) break;  // last may be the grid's last row: first would wrap
  }
  merged_->set_unsaved_changes(true);
}

// Row `row` of the merged rows lies on the sheet returned, at `sheet_row`; further sheets are
// added as they are reached.
std::size_t StackingApplication::SheetFor(std::uint64_t row, std::uint32_t& sheet_row) {
  if (row <= kMaxRows) {
    sheet_row = static_cast<std::uint32_t>(row);
    return 0;
  }
  const std::uint64_t per_sheet = options_.repeat_header ? kMaxRows - 1 : kMaxRows;
  const std::uint64_t beyond = row - kMaxRows - 1;
  const std::size_t sheet = static_cast<std::size_t>(1 + beyond / per_sheet);
  sheet_row = static_cast<std::uint32_t>(beyond % per_sheet) + (options_.repeat_header ? 2 : 1);
  while (merged_->SheetCount() <= sheet) {
    merged_->AddSheet(merged_->SheetAt(0).name() + " (" +
                      std::to_string(merged_->SheetCount() + 1) + ")");
  }
  return sheet;
}

// A header only a later file has goes to the merged header row, formats and all.
void StackingApplication::CopyNewHeaders(const Copied& block,
                                         const std::vector<std::uint32_t>& added,
                                         const std::vector<std::uint32_t>& target) {
  const engine::Sheet& from = block.workbook->SheetAt(block.sheet);
  const std::uint32_t header_row = block.range.first_row - 1;
  for (const std::uint32_t column : added) {
    engine::CopyCells(*block.workbook, from, CellRange{header_row, header_row, column, column},
                      *merged_, merged_->LoadedSheet(0), 1, target[column - 1]);
  }
}

void StackingApplication::NoteValues(const Copied& block, std::size_t sheet,
                                     const engine::PlannedCopyResult& result) {
  const engine::Sheet& from = block.workbook->SheetAt(block.sheet);
  if (result.rows_without_room > 0) {
    throw Error(error_number::kApplicationDefined,
                Where(*block.workbook, from) +
                    "的数据已用到工作表的最后一列（XFD），右边没有地方再加来源列。");
  }
  if (result.formulas_kept_as_values == 0) return;
  notes_.push_back(
      "注意：" + Where(*block.workbook, from) + "中有 " +
      std::to_string(result.formulas_kept_as_values) +
      " 个公式在列按标题换了位置后，无法确定其引用应指向哪里，"
      "这些单元格保留了公式的计算结果，不再是公式（第一个在合并结果的工作表“" +
      merged_->SheetAt(sheet).name() + "”的 " +
      automation::CellReference(result.first_value_row, result.first_value_column) +
      "）。");
}

void StackingApplication::Finish() {
  if (options_.dry_run || merged_ == nullptr) return;
  if (options_.repeat_header) {
    for (std::size_t i = 1; i < merged_->SheetCount(); ++i) {
      engine::CopyCells(*merged_, merged_->LoadedSheet(0), CellRange{1, 1, 1, kMaxColumns},
                        *merged_, merged_->LoadedSheet(i), 1, 1);
    }
  }
  if (options_.source_column) PlaceSourceColumn();
}

void StackingApplication::PlaceSourceColumn() {
  std::uint32_t data_last = 0;
  for (std::size_t i = 0; i < merged_->SheetCount(); ++i) {
    for (const engine::Row& row : merged_->SheetAt(i).rows()) {
      const std::span<const Cell> cells = row.Cells();
      for (auto it = cells.rbegin(); it != cells.rend(); ++it) {
        if (it->column == kPendingSourceColumn) continue;
        data_last = std::max<std::uint32_t>(data_last, it->column);
        break;
      }
    }
  }
  for (std::size_t i = 0; i < merged_->SheetCount(); ++i) {
    merged_->SheetAt(i).MoveTrailingColumn(kPendingSourceColumn, data_last + 1);
  }
}

}  // namespace tavrio::batch

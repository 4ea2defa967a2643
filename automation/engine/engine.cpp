#include "automation/engine/engine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

#include "automation/base/sheet_limits.h"
#include "automation/base/utf8.h"
#include "automation/engine/cell_copy.h"
#include "automation/engine/engine_errors.h"
#include "automation/engine/engine_text.h"
#include "automation/engine/formula_calculation.h"

namespace tavrio::automation {

using engine::CellRange;
using engine::EqualsIgnoringCase;
using engine::Sheet;
using engine::Workbook;
namespace errors = engine::errors;

namespace {

std::uint32_t ColumnOf(long long column) {
  if (column < 1 || column > kMaxColumns) throw errors::ColumnOutOfRange(column);
  return static_cast<std::uint32_t>(column);
}

CellValue ValueOf(const Workbook& workbook, const engine::Cell* cell) {
  if (cell == nullptr) return std::monostate{};
  switch (cell->type) {
    case engine::CellType::kNumber:
      return cell->number;
    case engine::CellType::kText:
      return std::string(workbook.strings().Get(cell->string_id));
    case engine::CellType::kBoolean:
      return cell->boolean;
    case engine::CellType::kError:
      return CellErrorValue{std::string(workbook.strings().Get(cell->string_id))};
    case engine::CellType::kBlank:
      break;
  }
  return std::monostate{};
}

}  // namespace

Engine::Engine(ReaderFactory open_reader, WorkbookSaver save)
    : open_reader_(std::move(open_reader)),
      save_(std::move(save)),
      read_ahead_([this](const std::string& path) { return ReadWorkbook(path); }) {}

Engine::~Engine() = default;

void Engine::SetScreenUpdating(bool on) {
  screen_updating_ = on;
  if (observer_) observer_->ScreenUpdatingChanged(on);
}

void Engine::SetVisible(bool visible) {
  visible_ = visible;
  if (observer_) observer_->VisibleChanged(visible);
}

void Engine::OpenWorkbook(const std::string& path) {
  // Taken first: the announcement is for this open only, whichever way it ends.
  std::unique_ptr<Workbook> read_ahead = read_ahead_.Take(path);
  const std::string canonical = engine::CanonicalPath(path);
  for (const auto& workbook : workbooks_) {
    if (!workbook->path().empty() && engine::CanonicalPath(workbook->path()) == canonical) {
      return Activate(*workbook);
    }
  }
  const std::string name = std::filesystem::path(path).filename().string();
  if (const Workbook* open = Find(name)) throw errors::SameNameOpen(*open, path);
  workbooks_.push_back(read_ahead ? std::move(read_ahead) : ReadWorkbook(path));
  opened_files_.insert(canonical);
  Activate(*workbooks_.back());
  if (observer_) observer_->WorkbookOpened(*workbooks_.back());
}

std::string Engine::ActiveWorkbookName() { return Active().name(); }

void Engine::SelectSheet(const SheetSelector& sheet) {
  Workbook& workbook = Active();
  const std::optional<std::size_t> index = workbook.FindSheet(sheet);
  if (!index) {
    if (const auto* position = std::get_if<std::int16_t>(&sheet)) {
      throw errors::NoSuchSheetPosition(workbook, *position);
    }
    throw errors::NoSuchSheet(workbook, std::get<std::string>(sheet));
  }
  workbook.set_active_sheet(*index);
  if (observer_) observer_->ActiveChanged();
}

CellValue Engine::GetCellValue(const RowArgument& row, int column) {
  const std::uint32_t row_number = RowOf(row);
  const std::uint32_t column_number = ColumnOf(column);
  const Sheet& sheet = ActiveLoadedSheet();
  const engine::Cell* cell = sheet.FindCell(row_number, column_number);
  // Only a formula the engine calculates waits for the calculation: reading a source's start
  // row during a merge must not calculate a sheet whose formulas the merged sheet calculates.
  if (cell != nullptr && (cell->flags & engine::kCalculated) != 0) {
    engine::CalculateSheet(Active(), Active().active_sheet());
  }
  return ValueOf(Active(), cell);
}

void Engine::SetCellText(const RowArgument& row, int column, const std::string& text) {
  const std::uint32_t row_number = RowOf(row);
  const std::uint32_t column_number = ColumnOf(column);
  const std::size_t length = Utf16Length(text);
  if (length > kMaxTextLength) throw errors::TextTooLong(length);
  Workbook& workbook = Active();
  Sheet& sheet = ActiveLoadedSheet();
  const engine::Cell* old = sheet.FindCell(row_number, column_number);
  const std::uint32_t id = workbook.strings().Intern(text);
  sheet.SetCell(row_number,
                engine::Cell::String(static_cast<std::uint16_t>(column_number),
                                     engine::CellType::kText, id, old ? old->style : 0));
  workbook.set_unsaved_changes(true);
  // As in desktop applications, editing a cell ends copy mode.
  copied_.reset();
  if (observer_) observer_->CellsChanged(workbook);
}

void Engine::SelectRows(const std::string& rows) {
  const auto span = engine::ParseRowSpan(rows);
  if (!span) throw errors::InvalidRows(rows);
  engine::SheetView& view = ActiveSheet().view();
  view.selection = CellRange{span->first, span->last, 1, kMaxColumns};
  view.active_row = span->first;
  view.active_column = 1;
}

void Engine::ExtendSelectionToLastUsedRow() {
  Sheet& sheet = ActiveLoadedSheet();
  CellRange& selection = sheet.view().selection;
  const std::uint32_t last_used = sheet.LastUsedRow();
  selection.last_row = last_used >= selection.first_row ? last_used : selection.first_row - 1;
}

void Engine::CopySelection() {
  Workbook& workbook = Active();
  const Sheet& sheet = ActiveLoadedSheet();
  copied_ = CopiedBlock{&workbook, workbook.active_sheet(), sheet.view().selection};
}

void Engine::AddWorkbook() {
  std::string name;
  do {
    name = "工作簿" + std::to_string(++workbooks_added_);
  } while (Find(name) != nullptr);
  workbooks_.push_back(std::make_unique<Workbook>(name));
  Activate(*workbooks_.back());
  if (observer_) observer_->WorkbookOpened(*workbooks_.back());
}

void Engine::PasteIntoActiveSheet() {
  if (!copied_) throw errors::NothingCopied();
  Workbook& target = Active();
  Sheet& to = ActiveLoadedSheet();
  const CopiedBlock block = *copied_;
  if (block.range.Empty()) return;
  const std::uint32_t row = to.view().active_row;
  const std::uint32_t column = to.view().active_column;
  if (block.range.WholeRows() && column != 1) throw errors::WholeRowsOutsideColumnA(target, to);
  const std::uint64_t last_row = std::uint64_t{row} + block.range.RowCount() - 1;
  if (last_row > kMaxRows) {
    throw errors::PastePastLastRow(target, to, block.range.RowCount(), row);
  }
  const std::uint32_t width = block.range.last_column - block.range.first_column + 1;
  if (std::uint64_t{column} + width - 1 > kMaxColumns) {
    throw errors::PastePastLastColumn(target, to);
  }
  const Sheet& from = block.workbook->LoadedSheet(block.sheet);
  engine::CopyCells(*block.workbook, from, block.range, target, to, row, column);
  target.set_unsaved_changes(true);
  to.view().selection =
      CellRange{row, static_cast<std::uint32_t>(last_row), column, column + width - 1};
  // The block is held by reference; once its own cells were pasted over, it is gone.
  if (&from == &to) copied_.reset();
  if (observer_) observer_->CellsChanged(target);
}

void Engine::ActivateWindow(const std::string& name) {
  Workbook* workbook = Find(name);
  if (workbook == nullptr) throw errors::NoSuchWindow(name);
  Activate(*workbook);
}

void Engine::SetCutCopyMode(bool on) {
  if (!on) copied_.reset();
}

void Engine::CloseActiveWindow() {
  Workbook* closing = &Active();
  if (copied_ && copied_->workbook == closing) copied_.reset();
  if (observer_) observer_->WorkbookClosing(*closing);
  std::erase(recently_active_, closing);
  std::erase_if(workbooks_, [closing](const auto& open) { return open.get() == closing; });
  if (observer_ && !recently_active_.empty()) observer_->ActiveChanged();
}

std::int32_t Engine::ActiveSheetLastUsedRow() {
  return static_cast<std::int32_t>(ActiveLoadedSheet().LastUsedRow());
}

void Engine::SelectCell(std::int32_t row, int column) {
  if (row < 1 || static_cast<std::uint32_t>(row) > kMaxRows) {
    throw errors::RowOutOfRange(std::to_string(row));
  }
  const std::uint32_t column_number = ColumnOf(column);
  engine::SheetView& view = ActiveSheet().view();
  const auto row_number = static_cast<std::uint32_t>(row);
  view.selection = CellRange{row_number, row_number, column_number, column_number};
  view.active_row = row_number;
  view.active_column = column_number;
}

void Engine::ExpectOpen(const std::string& path, const SheetSelector& sheet,
                        const std::vector<std::string>& then) {
  if (read_ahead_on_) read_ahead_.Start(path, sheet, then);
}

void Engine::CancelExpectedOpen() { read_ahead_.Cancel(); }

std::vector<std::string> Engine::WorkbookNames() const {
  std::vector<std::string> names;
  for (const auto& workbook : workbooks_) names.push_back(workbook->name());
  return names;
}

engine::SaveReport Engine::SaveWorkbookAs(const std::string& workbook_name,
                                          const std::string& path) {
  const engine::SaveReport report = WriteWorkbook(PrepareSave(workbook_name, path), path);
  FinishSave(workbook_name, path);
  return report;
}

void Engine::CheckSaveTarget(const std::string& workbook_name, const std::string& path) const {
  const Workbook* workbook = Find(workbook_name);
  if (workbook == nullptr) throw errors::NoSuchWorkbook(workbook_name);
  if (opened_files_.contains(engine::CanonicalPath(path))) {
    throw errors::WouldOverwriteSource(path);
  }
  const std::string name = std::filesystem::path(path).filename().string();
  if (const Workbook* other = Find(name); other != nullptr && other != workbook) {
    throw errors::SaveNameTaken(path, other->name());
  }
}

const Workbook& Engine::PrepareSave(const std::string& workbook_name, const std::string& path) {
  CheckSaveTarget(workbook_name, path);
  Workbook* workbook = Find(workbook_name);
  workbook->LoadAllSheets();
  for (std::size_t i = 0; i < workbook->SheetCount(); ++i) engine::CalculateSheet(*workbook, i);
  return *workbook;
}

engine::SaveReport Engine::WriteWorkbook(const Workbook& workbook, const std::string& path) const {
  return save_(workbook, path);
}

void Engine::FinishSave(const std::string& workbook_name, const std::string& path) {
  Workbook* workbook = Find(workbook_name);
  if (workbook == nullptr) throw errors::NoSuchWorkbook(workbook_name);
  workbook->Rename(std::filesystem::path(path).filename().string(), path);
  workbook->set_unsaved_changes(false);
  if (observer_) observer_->WorkbookSaved(*workbook);
}

bool Engine::IsOpenedSource(const std::string& workbook_name) const {
  const Workbook* workbook = Find(workbook_name);
  return workbook != nullptr && !workbook->path().empty() &&
         opened_files_.contains(engine::CanonicalPath(workbook->path()));
}

const Sheet& Engine::LoadSheet(const std::string& workbook_name, std::size_t index) {
  Workbook* workbook = Find(workbook_name);
  if (workbook == nullptr) throw errors::NoSuchWorkbook(workbook_name);
  if (index >= workbook->SheetCount()) {
    throw errors::NoSuchSheetPosition(*workbook, static_cast<int>(index + 1));
  }
  engine::CalculateSheet(*workbook, index);
  return workbook->SheetAt(index);
}

void Engine::SetActiveSheet(const std::string& workbook_name, std::size_t index) {
  LoadSheet(workbook_name, index);
  Find(workbook_name)->set_active_sheet(index);
}

bool Engine::HasUnsavedChanges(const std::string& workbook_name) const {
  const Workbook* workbook = Find(workbook_name);
  if (workbook == nullptr) throw errors::NoSuchWorkbook(workbook_name);
  return workbook->unsaved_changes();
}

const Workbook* Engine::FindWorkbook(const std::string& name) const { return Find(name); }

const Workbook* Engine::ActiveWorkbook() const {
  return recently_active_.empty() ? nullptr : recently_active_.back();
}

Workbook& Engine::Active() {
  if (recently_active_.empty()) throw errors::NoActiveWorkbook();
  return *recently_active_.back();
}

Sheet& Engine::ActiveSheet() {
  Workbook& workbook = Active();
  return workbook.SheetAt(workbook.active_sheet());
}

Sheet& Engine::ActiveLoadedSheet() {
  Workbook& workbook = Active();
  return workbook.LoadedSheet(workbook.active_sheet());
}

Workbook* Engine::Find(const std::string& name) const {
  for (const auto& workbook : workbooks_) {
    if (EqualsIgnoringCase(workbook->name(), name)) return workbook.get();
  }
  return nullptr;
}

void Engine::Activate(Workbook& workbook) {
  const bool changed = recently_active_.empty() || recently_active_.back() != &workbook;
  std::erase(recently_active_, &workbook);
  recently_active_.push_back(&workbook);
  if (changed && observer_) observer_->ActiveChanged();
}

// Called on the reading thread as well: it touches nothing of the engine but its reader factory.
std::unique_ptr<Workbook> Engine::ReadWorkbook(const std::string& path) const {
  std::unique_ptr<readers::WorkbookReader> reader = open_reader_(path);
  if (!reader || reader->Sheets().empty()) throw errors::NoSheets(path);
  return std::make_unique<Workbook>(std::filesystem::path(path).filename().string(), path,
                                    std::move(reader));
}

std::uint32_t Engine::RowOf(const RowArgument& row) const {
  if (const auto* number = std::get_if<std::int16_t>(&row)) {
    if (*number < 1) throw errors::RowOutOfRange(std::to_string(*number));
    return static_cast<std::uint32_t>(*number);
  }
  const std::string& text = std::get<std::string>(row);
  const std::optional<double> value = engine::WholeNumber(text);
  if (!value) throw errors::RowNotANumber(text);
  if (*value < 1 || *value > kMaxRows) throw errors::RowOutOfRange(text);
  return static_cast<std::uint32_t>(*value);
}

}  // namespace tavrio::automation

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "automation/engine/engine_observer.h"
#include "automation/engine/save_report.h"
#include "automation/engine/sheet.h"
#include "automation/engine/workbook.h"
#include "automation/engine/workbook_read_ahead.h"
#include "automation/readers/workbook_reader.h"
#include "automation/spreadsheet_application.h"

namespace tavrio::automation {

// The embedded spreadsheet application: workbooks held in memory, one window each, driven
// through SpreadsheetApplication the way a desktop spreadsheet application is driven by a macro.
//
// What a user of such an application expects, and the interface leaves open:
// - Rows given as text must read as a whole number (" 3 ", "3.0"); any other text fails with 13
//   类型不匹配, and a row outside 1..1,048,576 with 1004.
// - Copying keeps a reference to the block; the cells move at the paste, so copying a million rows
//   costs nothing. Writing a cell or closing the block's workbook ends copy mode, as in desktop
//   applications. A block of whole rows pastes only at column A.
// - Opening a file whose name equals an open workbook's name fails with 1004, as the window
//   names would clash.
// - A file this engine has opened is never written, not even by SaveWorkbookAs.
// - ExpectOpen has the announced files read with their sheet on a thread of the engine's own
//   while the caller goes on, and on the caller's while it would wait at an open; calculation,
//   the observer and every workbook the caller can reach stay on the caller's thread. See
//   WorkbookReadAhead.
class Engine : public SpreadsheetApplication {
 public:
  // Opens the file at `path` for reading; throws tavrio::Error when it cannot be read. Called
  // on the engine's reading thread too, after ExpectOpen, while the caller's thread may call it
  // for another file: it must be safe to call from two threads at once.
  using ReaderFactory =
      std::function<std::unique_ptr<readers::WorkbookReader>(const std::string& path)>;
  // Writes `workbook` (every sheet loaded) to `path`, whole or not at all: on failure it throws
  // tavrio::Error and leaves no file behind and an earlier file of that name untouched.
  // Returns what the file's format could not carry exactly.
  using WorkbookSaver = std::function<engine::SaveReport(const engine::Workbook& workbook,
                                                         const std::string& path)>;

  // The program hands its file readers and writers (see EngineHost); tests hand their own.
  Engine(ReaderFactory open_reader, WorkbookSaver save);
  ~Engine() override;

  void SetScreenUpdating(bool on) override;
  void OpenWorkbook(const std::string& path) override;
  std::string ActiveWorkbookName() override;
  void SelectSheet(const SheetSelector& sheet) override;
  CellValue GetCellValue(const RowArgument& row, int column) override;
  void SetCellText(const RowArgument& row, int column, const std::string& text) override;
  void SelectRows(const std::string& rows) override;
  void ExtendSelectionToLastUsedRow() override;
  void CopySelection() override;
  void AddWorkbook() override;
  void PasteIntoActiveSheet() override;
  void ActivateWindow(const std::string& name) override;
  void SetCutCopyMode(bool on) override;
  void CloseActiveWindow() override;
  std::int32_t ActiveSheetLastUsedRow() override;
  void SelectCell(std::int32_t row, int column) override;
  void ExpectOpen(const std::string& path, const SheetSelector& sheet,
                  const std::vector<std::string>& then) override;
  void CancelExpectedOpen() override;

  // Open workbooks in opening order.
  std::vector<std::string> WorkbookNames() const;

  // Saves the workbook named `workbook_name` (case-insensitive) to `path`: a path ending in .csv
  // (any case) gets the active sheet as CSV, UTF-8 with BOM; any other path gets .xlsx. The file
  // is written under a temporary name in the target folder and renamed on success; on failure
  // tavrio::Error is thrown and no file is left behind. Afterwards the workbook has no unsaved
  // changes and, as after 另存为 in a desktop application, takes the file's name. A path of a
  // file this engine opened, or a file name that another open workbook has, is refused. The
  // file is on disk when this returns (flushed, and its folder too); the report says what the
  // format could not carry exactly (engine::SaveWarning words it).
  engine::SaveReport SaveWorkbookAs(const std::string& workbook_name, const std::string& path);

  // SaveWorkbookAs in three steps, for a caller that writes on a thread of its own or with a
  // writer of its own:
  // - PrepareSave refuses what SaveWorkbookAs refuses, reads every sheet not read yet and
  //   calculates the formulas the engine calculates (CalculateSheet); it returns the workbook, which from then on nobody changes until FinishSave;
  // - WriteWorkbook writes it; it only reads the workbook and may run on any thread while the
  //   owner's thread only reads it too (paints it) and drives the Engine not at all;
  // - FinishSave, back on the Engine's thread, gives the workbook the file's name and tells the
  //   observer. A failed write is not finished: the workbook stays as it was.
  const engine::Workbook& PrepareSave(const std::string& workbook_name, const std::string& path);
  engine::SaveReport WriteWorkbook(const engine::Workbook& workbook,
                                   const std::string& path) const;
  void FinishSave(const std::string& workbook_name, const std::string& path);
  // Whether SaveWorkbookAs would refuse `path` for that workbook (throws that refusal), without
  // reading or writing anything: to refuse before asking whether to replace a file.
  void CheckSaveTarget(const std::string& workbook_name, const std::string& path) const;
  // Whether the named workbook is a file this engine opened, which it never writes.
  bool IsOpenedSource(const std::string& workbook_name) const;
  // The sheet at `index` of the named workbook, read from its file first if need be, leaving the
  // active window and sheet as they are. Throws tavrio::Error as reading a sheet does, or 9 for
  // no such workbook or sheet. For showing a sheet; the merge run selects sheets its own way.
  // The formulas the engine calculates are calculated first (CalculateSheet), so the sheet
  // shows what a desktop application would; GetCellValue of such a formula does the same.
  const engine::Sheet& LoadSheet(const std::string& workbook_name, std::size_t index);
  // Makes sheet `index` of the named workbook its active sheet (the one a .csv save writes),
  // reading it first as LoadSheet does; the active window stays. The observer is not told: this
  // is for the window that shows the workbook, which follows by itself.
  void SetActiveSheet(const std::string& workbook_name, std::size_t index);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool ScreenUpdating() const { return screen_updating_; }
  // Whether the named workbook changed since it was opened, created or saved.
  bool HasUnsavedChanges(const std::string& workbook_name) const;
  // The open workbook of that name (case-insensitive), or nullptr; for showing it.
  const engine::Workbook* FindWorkbook(const std::string& name) const;
  // The open workbook of that name, for a caller that lays out cells itself (the batch mode's
  // own pastes); nullptr when none is open under that name.
  engine::Workbook* FindWorkbookToEdit(const std::string& name) { return Find(name); }
  // The active workbook, or nullptr when none is open.
  const engine::Workbook* ActiveWorkbook() const;

  // Whether ExpectOpen reads ahead (on unless switched off); off, it does nothing at all.
  void SetReadAhead(bool on) { read_ahead_on_ = on; }

  // Who is told of changes (see EngineObserver); nullptr for nobody. Not owned.
  void SetObserver(EngineObserver* observer) { observer_ = observer; }

 private:
  struct CopiedBlock {
    engine::Workbook* workbook;
    std::size_t sheet;
    engine::CellRange range;
  };

  engine::Workbook& Active();
  engine::Sheet& ActiveSheet();
  engine::Sheet& ActiveLoadedSheet();
  engine::Workbook* Find(const std::string& name) const;
  void Activate(engine::Workbook& workbook);
  std::uint32_t RowOf(const RowArgument& row) const;
  std::unique_ptr<engine::Workbook> ReadWorkbook(const std::string& path) const;

  ReaderFactory open_reader_;
  WorkbookSaver save_;
  std::vector<std::unique_ptr<engine::Workbook>> workbooks_;
  std::vector<engine::Workbook*> recently_active_;  // most recent last
  std::set<std::string> opened_files_;              // canonical paths, never written
  std::optional<CopiedBlock> copied_;
  int workbooks_added_ = 0;
  bool screen_updating_ = true;
  bool visible_ = false;
  EngineObserver* observer_ = nullptr;
  bool read_ahead_on_ = true;
  // Last, so that its thread, which reads through open_reader_, ends before anything else goes.
  engine::WorkbookReadAhead read_ahead_;
};

}  // namespace tavrio::automation

#pragma once

// The operations the merge run performs on a spreadsheet application, and nothing more.
//
// Two objects reach the application: the global application context, created on first use and
// kept for the program's life, through which every operation below goes; and a private
// application instance that each merge run creates for itself and only ever makes visible.
// Every operation reports failure by throwing tavrio::Error; nothing is retried or undone.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace tavrio::automation {

// A row as the merge run hands it over: the 16-bit number 1, or the start row exactly as the
// user typed it. A typed text goes to the application unchanged; the application decides what
// it means (a text that names no row fails there).
using RowArgument = std::variant<std::int16_t, std::string>;

// A sheet chosen by name (case-insensitive) or by its 1-based position among all sheets of the
// workbook, hidden ones included.
using SheetSelector = std::variant<std::string, std::int16_t>;

// An error value held by a cell, spelled as the application shows it ("#N/A", "#DIV/0!", ...).
struct CellErrorValue {
  std::string text;
  friend bool operator==(const CellErrorValue&, const CellErrorValue&) = default;
};

// A cell's value as the interface reads it. Dates and times are numbers (serial days).
using CellValue = std::variant<std::monostate, double, std::string, bool, CellErrorValue>;

class PrivateApplication {
 public:
  virtual ~PrivateApplication() = default;
  // Shows or hides the application's windows.
  virtual void SetVisible(bool visible) = 0;
};

class SpreadsheetApplication {
 public:
  virtual ~SpreadsheetApplication() = default;

  // While off, the application repaints nothing; windows opened and closed meanwhile never show.
  virtual void SetScreenUpdating(bool on) = 0;

  // Opens the workbook at `path` exactly as given and makes it the active workbook. A workbook
  // that is already open is activated instead of being loaded twice.
  virtual void OpenWorkbook(const std::string& path) = 0;

  // Name of the active workbook, as ActivateWindow accepts it.
  virtual std::string ActiveWorkbookName() = 0;

  // Makes the chosen sheet of the active workbook the active sheet. A missing sheet fails with
  // an error that names the sheet and the file.
  virtual void SelectSheet(const SheetSelector& sheet) = 0;

  // Value of the cell at (row, column) of the active sheet.
  virtual CellValue GetCellValue(const RowArgument& row, int column) = 0;

  // Writes a text into the cell at (row, column) of the active sheet (never saved to a source).
  virtual void SetCellText(const RowArgument& row, int column, const std::string& text) = 0;

  // Selects whole rows of the active sheet, given as text such as "3:3".
  virtual void SelectRows(const std::string& rows) = 0;

  // Extends the selection from its first row down to the last row of the active sheet that
  // holds any value. When the selection starts below that row the block is empty: copying it
  // copies nothing and pasting it pastes nothing.
  virtual void ExtendSelectionToLastUsedRow() = 0;

  // Holds the selected block for the next paste (copy mode on).
  virtual void CopySelection() = 0;

  // Creates a new empty workbook (工作簿1, 工作簿2, ...) and makes it the active workbook, with
  // cell A1 of its one sheet active.
  virtual void AddWorkbook() = 0;

  // Pastes the copied block into the active sheet, its first row at the active cell's row.
  // A block that would run past the sheet's last row fails and pastes nothing.
  virtual void PasteIntoActiveSheet() = 0;

  // Activates the window of the workbook with this name.
  virtual void ActivateWindow(const std::string& name) = 0;

  // Switching copy mode off forgets the copied block.
  virtual void SetCutCopyMode(bool on) = 0;

  // Closes the active window and its workbook, discarding unsaved changes without asking.
  virtual void CloseActiveWindow() = 0;

  // Last row of the active sheet that holds any value; 0 for a sheet with no value at all.
  virtual std::int32_t ActiveSheetLastUsedRow() = 0;

  // Makes the cell at (row, column) of the active sheet the active cell and the selection.
  virtual void SelectCell(std::int32_t row, int column) = 0;

  // A hint that changes nothing the caller sees: the next OpenWorkbook will be of `path`, and
  // `sheet` will then be selected; `then` are the files the caller will open after that one,
  // in that order, each to be announced in its turn, most likely with the same sheet. An
  // application may read those files meanwhile, on threads of its own; one that ignores the
  // hint is just as correct. Whatever a file holds (a fault included) is reported by the calls
  // that would report it without the hint, and a file changed after the hint is read as it is
  // at its opening. A later hint replaces this one, and the next OpenWorkbook uses it up,
  // whichever file that opens. Never throws.
  virtual void ExpectOpen(const std::string& /*path*/, const SheetSelector& /*sheet*/,
                          const std::vector<std::string>& /*then*/) {}

  // Withdraws the hint, for a caller that will not open that file after all, or that has no
  // more files to announce: whatever was read ahead is dropped, and any reading has stopped and
  // its thread ended when this returns. Never throws.
  virtual void CancelExpectedOpen() {}
};

// Where the merge run reaches the application. The global context is created by the first call
// of GlobalContext() (which may fail when the application cannot be started) and then returned
// by every later call; each merge run asks for its own private instance.
class ApplicationHost {
 public:
  virtual ~ApplicationHost() = default;
  virtual SpreadsheetApplication& GlobalContext() = 0;
  virtual std::unique_ptr<PrivateApplication> CreatePrivateInstance() = 0;
};

}  // namespace tavrio::automation

#include "tests/support/engine_merge_step.h"

namespace tavrio::automation::testing {

void MergeSheet(Engine& engine, const std::string& path, const SheetSelector& sheet, bool first,
                std::string& merged) {
  engine.OpenWorkbook(path);
  const std::string source = engine.ActiveWorkbookName();
  engine.SelectSheet(sheet);
  engine.SelectRows(first ? "1:1" : "2:2");
  engine.ExtendSelectionToLastUsedRow();
  engine.CopySelection();
  if (first) {
    engine.AddWorkbook();
    merged = engine.ActiveWorkbookName();
  } else {
    engine.ActivateWindow(merged);
    engine.SelectCell(engine.ActiveSheetLastUsedRow() + 1, 1);
  }
  engine.PasteIntoActiveSheet();
  engine.ActivateWindow(source);
  engine.SetCutCopyMode(false);
  engine.CloseActiveWindow();
}

}  // namespace tavrio::automation::testing

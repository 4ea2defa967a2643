#pragma once

#include "automation/spreadsheet_application.h"
#include "merge/merge_controls.h"
#include "merge/merge_progress.h"

namespace tavrio::merge {

// The merge run: opens every selected file of the file list in list order, copies the block of
// rows that starts at the start row (the first file) or one row lower (every later file) from the
// chosen sheet, stacks the blocks in one new workbook, closes each source window and shows
// "已完成，共合并文件N个文件！". The merged workbook is left open and unsaved.
//
// The first failure ends the run at that step and propagates as tavrio::Error; nothing done
// before it is undone and no summary is shown.
//
// With `progress`, the run reports each file before opening it and stops between files when
// asked to (the merged workbook then holds the files merged so far); it also reads the merged
// workbook's last used row after each paste, to report it. When a sheet chosen by name is not
// found, the description ends with the controls' SheetNameAdvice.
//
// Before its first open, with the first file's sheet as the options said it, and once each
// file's sheet is selected, with the sheet a later file is asked for, the run announces the
// next selected files to the application (ExpectOpen: the next and the two after it) when the
// controls can tell them without a read (PeekNextSelectedFile), so that they are read while
// this one is pasted; a run that announced any, however it ends, withdraws the announcement at
// its end (CancelExpectedOpen), so that nothing reads on after it.
void CombineWorkbooks(MergeControls& controls, automation::ApplicationHost& host,
                      MergeProgress* progress = nullptr);

}  // namespace tavrio::merge

#pragma once

#include "automation/spreadsheet_application.h"
#include "merge/merge_controls.h"

namespace tavrio::merge {

// The merge run: opens every selected file of the file list in list order, copies the block of
// rows that starts at the start row (the first file) or one row lower (every later file) from the
// chosen sheet, stacks the blocks in one new workbook, closes each source window and shows
// "已完成，共合并文件N个文件！". The merged workbook is left open and unsaved.
//
// The first failure ends the run at that step and propagates as tavrio::Error; nothing done
// before it is undone and no summary is shown.
void CombineWorkbooks(MergeControls& controls, automation::ApplicationHost& host);

}  // namespace tavrio::merge

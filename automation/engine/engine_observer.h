#pragma once

namespace tavrio::automation {

namespace engine {
class Workbook;
}

// Told by the Engine what changed, so that whoever shows its windows can follow. Each call comes
// after the change, on the thread that called the Engine, and the Engine must not be driven from
// inside a call except as noted. Every callback does nothing unless overridden.
class EngineObserver {
 public:
  virtual ~EngineObserver() = default;

  // A workbook was opened from a file or added; it is the active workbook now.
  virtual void WorkbookOpened(const engine::Workbook& /*workbook*/) {}
  // The workbook is about to go: still readable during the call, destroyed right after.
  virtual void WorkbookClosing(const engine::Workbook& /*workbook*/) {}
  // The workbook was saved: it may have a new name and path, and has no unsaved changes.
  virtual void WorkbookSaved(const engine::Workbook& /*workbook*/) {}
  // Another workbook became active, or the active workbook's active sheet changed.
  virtual void ActiveChanged() {}
  // Cells of the workbook changed (written or pasted).
  virtual void CellsChanged(const engine::Workbook& /*workbook*/) {}
  virtual void VisibleChanged(bool /*visible*/) {}
  // The observer may drive the Engine from this call: the new setting is already in force.
  virtual void ScreenUpdatingChanged(bool /*on*/) {}
};

}  // namespace tavrio::automation

#pragma once

// What the batch mode adds under the window's merge run: the run drives this application as it
// drives the engine, and this application lays the copied blocks out itself wherever a flag asks
// for more than a plain paste. The run's steps, order and errors stay the window's.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/engine/cell_copy.h"
#include "automation/engine/engine.h"
#include "automation/engine_host.h"
#include "automation/spreadsheet_application.h"
#include "batch/header_columns.h"

namespace tavrio::batch {

struct StackingOptions {
  // The title of a column after the data's last one that names each row's source.
  std::optional<std::string> source_column;
  // The source column reads "文件名 / 工作表名" instead of the file name.
  bool sheet_in_label = false;
  // Columns are matched by the texts of each source's start row.
  bool match_headers = false;
  // The merged rows may outgrow one sheet: they go on to further sheets of the merged workbook.
  bool unlimited_rows = false;
  // Each further sheet starts with a copy of the first sheet's first row.
  bool repeat_header = false;
  // Blocks are measured and checked but nothing is pasted.
  bool dry_run = false;
};

// One source's block as the run copied it: rows first..last of the sheet; rows == 0 when the
// sheet had nothing from the block's first row down.
struct StackedBlock {
  std::string workbook;
  std::string sheet;
  std::uint32_t first_row = 0;
  std::uint32_t last_row = 0;
  std::uint32_t rows = 0;
};

class StackingApplication final : public automation::SpreadsheetApplication {
 public:
  StackingApplication(automation::Engine& engine, StackingOptions options);

  void SetScreenUpdating(bool on) override { engine_.SetScreenUpdating(on); }
  void OpenWorkbook(const std::string& path) override { engine_.OpenWorkbook(path); }
  std::string ActiveWorkbookName() override { return engine_.ActiveWorkbookName(); }
  void SelectSheet(const automation::SheetSelector& sheet) override { engine_.SelectSheet(sheet); }
  automation::CellValue GetCellValue(const automation::RowArgument& row, int column) override {
    return engine_.GetCellValue(row, column);
  }
  void SetCellText(const automation::RowArgument& row, int column,
                   const std::string& text) override {
    engine_.SetCellText(row, column, text);
  }
  void SelectRows(const std::string& rows) override { engine_.SelectRows(rows); }
  void ExtendSelectionToLastUsedRow() override { engine_.ExtendSelectionToLastUsedRow(); }
  void ActivateWindow(const std::string& name) override { engine_.ActivateWindow(name); }
  void ExpectOpen(const std::string& path, const automation::SheetSelector& sheet,
                  const std::vector<std::string>& then) override {
    engine_.ExpectOpen(path, sheet, then);
  }
  void CancelExpectedOpen() override { engine_.CancelExpectedOpen(); }

  // Remembers the block as well, to lay it out at the paste.
  void CopySelection() override;
  void SetCutCopyMode(bool on) override;
  void CloseActiveWindow() override;
  // The merged workbook: its rows are counted here across all its sheets.
  void AddWorkbook() override;
  // Into the merged workbook: the block goes where the merged rows so far end, on as many
  // sheets as it needs when rows are unlimited; otherwise a block past the last row fails as
  // the engine's paste does. Anywhere else: the engine's paste.
  void PasteIntoActiveSheet() override;
  // Of the merged workbook: the merged rows so far, counted across its sheets.
  std::int32_t ActiveSheetLastUsedRow() override;
  void SelectCell(std::int32_t row, int column) override;

  // Completes the layout once the run has ended: the header row at the top of every further
  // sheet and the source column after the data's last column. Throws tavrio::Error.
  void Finish();

  const std::vector<StackedBlock>& blocks() const { return blocks_; }
  // What the user should know about cells that could not be carried over as they were.
  const std::vector<std::string>& notes() const { return notes_; }
  std::uint64_t merged_rows() const { return merged_rows_; }

 private:
  struct Copied {
    automation::engine::Workbook* workbook;
    std::size_t sheet;
    automation::engine::CellRange range;
  };
  // Source rows first..last, all landing with one trailing text.
  struct Segment {
    std::uint32_t first;
    std::uint32_t last;
    std::string text;
  };

  bool MergedIsActive() const;
  automation::engine::ColumnPlan PlanColumns(const Copied& block, bool first_block);
  std::vector<Segment> SegmentsOf(const Copied& block, bool first_block) const;
  void Place(const Copied& block, const Segment& segment, automation::engine::ColumnPlan plan);
  std::size_t SheetFor(std::uint64_t row, std::uint32_t& sheet_row);
  void CopyNewHeaders(const Copied& block, const std::vector<std::uint32_t>& added,
                      const std::vector<std::uint32_t>& target);
  void NoteValues(const Copied& block, std::size_t sheet,
                  const automation::engine::PlannedCopyResult& result);
  void PlaceSourceColumn();

  automation::Engine& engine_;
  StackingOptions options_;
  std::optional<Copied> copied_;
  automation::engine::Workbook* merged_ = nullptr;
  std::uint64_t next_row_ = 1;     // where the next paste lands, counted across sheets
  std::uint64_t merged_rows_ = 0;  // the last merged row, counted across sheets
  HeaderColumns headers_;
  std::vector<StackedBlock> blocks_;
  std::vector<std::string> notes_;
};

// Hands the merge run a StackingApplication over the engine of `engine_host`.
class StackingHost final : public automation::ApplicationHost {
 public:
  StackingHost(automation::EngineHost& engine_host, StackingOptions options)
      : engine_host_(engine_host), options_(std::move(options)) {}

  automation::SpreadsheetApplication& GlobalContext() override { return application(); }
  std::unique_ptr<automation::PrivateApplication> CreatePrivateInstance() override {
    return engine_host_.CreatePrivateInstance();
  }
  StackingApplication& application() {
    if (!application_) {
      application_ = std::make_unique<StackingApplication>(engine_host_.engine(), options_);
    }
    return *application_;
  }

 private:
  automation::EngineHost& engine_host_;
  StackingOptions options_;
  std::unique_ptr<StackingApplication> application_;
};

}  // namespace tavrio::batch

// .xlsx written directly: the package's fixed parts, and each sheet's XML written a run of rows
// at a time on the zip writer's workers and streamed into the file, so memory stays flat
// however large the sheet. (libxlsxwriter, the obvious
// choice, prints numbers with 16 significant digits, so 0.1 + 0.2 would come back as 0.3; a
// merge must give back every double exactly.)
//
// - Numbers in their shortest form that reads back to the same double.
// - Texts as inline strings, escaped so that they read back exactly (xml_text.h), whatever code
//   points they hold; bytes that are no UTF-8 become U+FFFD and are counted. A text over
//   32,767 characters cannot be held by a cell: saving fails naming the cell rather than
//   cutting it short.
// - Error values as error cells (t="e"), booleans as t="b".
// - Formulas with their last results as cached values; the workbook then asks to be calculated
//   again when opened (workbook.xml), and shows the cached values until it is. An array
//   formula on its range's top-left cell, the range's other cells holding its results.
// - NaN and infinities cannot be stored; they are written as the error #NUM!, the error a
//   spreadsheet application gives for such results.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "automation/base/cell_address.h"
#include "automation/base/number_text.h"
#include "automation/base/sheet_limits.h"
#include "automation/base/utf8.h"
#include "automation/engine/engine_text.h"
#include "automation/writers/styles_xml.h"
#include "automation/writers/text_buffer.h"
#include "automation/writers/workbook_writer.h"
#include "automation/writers/xlsx_parts.h"
#include "automation/writers/xml_text.h"
#include "automation/writers/zip_writer.h"

namespace tavrio::automation::writers {
namespace {

using engine::Cell;
using engine::CellType;
using namespace std::string_view_literals;

// A sheet's rows are written in runs of about this much XML, each made and deflated on a worker
// (chunked_deflate.h): large enough that a run's start costs nothing, small enough that a few
// megabytes of rows keep two cores busy and the runs in flight stay small.
constexpr std::size_t kRunBytes = std::size_t{256} << 10;
// What a cell's XML takes besides its text: tag, reference, style, value.
constexpr std::size_t kCellBytes = 32;
// Past this many cells a sheet's XML might pass 4 GiB and needs zip64 records; below it the
// plain records keep the file readable by older programs.
constexpr std::size_t kPlainZipCells = 10'000'000;

// Consecutive rows of a sheet, with the heights of the rows without cells that lie among them,
// and, in a sheet's last run, after them.
struct RowRun {
  std::span<const engine::Row> rows;
  std::span<const engine::RowHeight> heights;
};

// The XML of a run of rows. Runs are written at the same time on several threads: the writer
// only reads the workbook, and counts the texts it had to mend itself.
class RowsXmlWriter {
 public:
  RowsXmlWriter(const engine::Workbook& workbook, const engine::Sheet& sheet, TextBuffer& out)
      : workbook_(workbook), sheet_(sheet), out_(out) {}

  // Returns how many texts had bytes replaced.
  std::size_t Write(const RowRun& run) {
    auto height = run.heights.begin();
    for (const engine::Row& row : run.rows) {
      // Rows with a height but no cells still need their element.
      for (; height != run.heights.end() && height->row < row.number; ++height) {
        AppendEmptyRow(*height);
      }
      const bool has_height = height != run.heights.end() && height->row == row.number;
      AppendRowStart(row.number, has_height ? &*height++ : nullptr);
      row_digits_.size = static_cast<std::uint8_t>(
          std::to_chars(row_digits_.bytes, row_digits_.bytes + sizeof row_digits_.bytes, row.number)
              .ptr -
          row_digits_.bytes);
      for (const Cell& cell : row.Cells()) AppendCell(row.number, cell);
      out_.Put("</row>");
    }
    for (; height != run.heights.end(); ++height) AppendEmptyRow(*height);
    return replaced_;
  }

 private:
  void AppendRowStart(std::uint32_t number, const engine::RowHeight* height) {
    out_.Put("<row r=\"");
    AppendNumber(number);
    if (height != nullptr) {
      out_.Put("\" ht=\"");
      AppendDouble(height->points);
      out_.Put("\" customHeight=\"1");
    }
    out_.Put("\">");
  }

  void AppendEmptyRow(const engine::RowHeight& height) {
    AppendRowStart(height.row, &height);
    out_.DropLast();
    out_.Put("/>");
  }

  void AppendNumber(std::uint32_t value) {
    constexpr std::size_t kDigits = 10;
    char* const room = out_.Room(kDigits);
    out_.Advance(std::to_chars(room, room + kDigits, value).ptr);
  }

  // The cell's start tag up to its type: a sheet of a million rows has millions of cells, but
  // only a few columns and styles, whose text is therefore made once per run, and the row's
  // number once per row. With the appends of pointer and length (no iterator pair, which
  // std::string takes through replace()) this took the tag writing from 10.6% to 6.6% of the
  // CPU samples of tavrio-bench-merge --save on the million set, about 0.1 s (scripts/bench
  // --set million).
  void AppendCell(std::uint32_t row, const Cell& cell) {
    out_.Put(CellStart(cell.column));
    out_.Put(row_digits_);
    out_.Put('"');
    if (cell.style != 0) out_.Put(StyleAttribute(cell.style));
    formula_ =
        (cell.flags & engine::kHasFormula) != 0 ? sheet_.FormulaAt(row, cell.column) : nullptr;
    array_ = formula_ != nullptr && !sheet_.array_formulas().empty()
                 ? sheet_.ArrayFormulaAt(row, cell.column)
                 : nullptr;
    switch (cell.type) {
      case CellType::kNumber:
        if (!std::isfinite(cell.number)) return AppendError("#NUM!");
        out_.Put('>');
        AppendFormula();
        out_.Put("<v>");
        AppendDouble(cell.number);
        out_.Put("</v></c>");
        return;
      case CellType::kText:
        return AppendText(row, cell);
      case CellType::kBoolean:
        out_.Put(" t=\"b\">");
        AppendFormula();
        out_.Put(cell.boolean ? "<v>1</v></c>"sv : "<v>0</v></c>"sv);
        return;
      case CellType::kError:
        return AppendError(workbook_.strings().Get(cell.string_id));
      case CellType::kBlank:
        if (formula_ == nullptr) {
          out_.Put("/>");
          return;
        }
        out_.Put('>');
        AppendFormula();
        out_.Put("</c>");
        return;
    }
  }

  // The formula of the cell being written, before its cached value. An array formula is written
  // as the legacy kind ({=...}) whatever kind it was read as: a dynamic array needs metadata
  // parts of its own, and shows the same results over the same range either way.
  void AppendFormula() {
    if (formula_ == nullptr) return;
    if (array_ != nullptr) {
      out_.Put("<f t=\"array\" ref=\"");
      out_.Put(CellReference(array_->first_row, array_->first_column));
      out_.Put(':');
      out_.Put(CellReference(array_->last_row, array_->last_column));
      out_.Put("\">");
    } else {
      out_.Put("<f>");
    }
    AppendUserText(*formula_);
    out_.Put("</f>");
  }

  void AppendDouble(double value) {
    char* const room = out_.Room(kMaxNumberText);
    out_.Advance(ShortestNumberText(room, room + kMaxNumberText, value));
  }

  void AppendText(std::uint32_t row, const Cell& cell) {
    const std::string_view text = workbook_.strings().Get(cell.string_id);
    if (text.size() > kMaxTextLength && Utf16Length(text) > kMaxTextLength) {
      throw WriteFailure("工作表“" + sheet_.name() + "”的单元格 " +
                         CellReference(row, cell.column) +
                         " 的文本超过 32767 个字符，单元格容纳不下");
    }
    if (formula_ != nullptr) {
      // A formula's text result is a cached value, which has no inline form.
      out_.Put(" t=\"str\">");
      AppendFormula();
      out_.Put("<v>");  // the schema allows no xml:space here; a value is read as it stands
      AppendUserText(text);
      out_.Put("</v></c>");
      return;
    }
    out_.Put(NeedsSpacePreserved(text) ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">"sv
                                       : " t=\"inlineStr\"><is><t>"sv);
    AppendUserText(text);
    out_.Put("</t></is></c>");
  }

  void AppendError(std::string_view error) {
    out_.Put(" t=\"e\">");
    AppendFormula();
    out_.Put("<v>");
    AppendUserText(error);
    out_.Put("</v></c>");
  }

  void AppendUserText(std::string_view text) {
    if (AppendXmlText(out_, text) != 0) ++replaced_;
  }

  // "<c r=\"AB" for column 28.
  const ShortText& CellStart(std::uint16_t column) {
    if (cell_starts_.size() <= column) cell_starts_.resize(column + 1);
    ShortText& start = cell_starts_[column];
    if (start.size == 0) {
      const std::string reference = CellReference(1, column);
      start = ShortText::From("<c r=\"" + reference.substr(0, reference.size() - 1));
    }
    return start;
  }

  // " s=\"12\"" for style 12.
  const ShortText& StyleAttribute(std::uint32_t style) {
    if (style_attributes_.size() <= style) style_attributes_.resize(style + 1);
    ShortText& attribute = style_attributes_[style];
    if (attribute.size == 0) attribute = ShortText::From(" s=\"" + std::to_string(style) + "\"");
    return attribute;
  }

  const engine::Workbook& workbook_;
  const engine::Sheet& sheet_;
  TextBuffer& out_;
  std::vector<ShortText> cell_starts_;
  std::vector<ShortText> style_attributes_;
  ShortText row_digits_;  // the number of the row being written
  const std::string_view* formula_ = nullptr;
  const engine::CellRange* array_ = nullptr;  // the range of the cell's array formula
  std::size_t replaced_ = 0;
};

// About how many bytes a row's XML takes: the run it falls in is cut by this, on the thread
// handing the runs out, so it looks at no more than each cell's type and its text's length.
std::size_t RowXmlEstimate(const engine::Workbook& workbook, const engine::Row& row) {
  std::size_t bytes = kCellBytes * (row.count + 1);
  for (const Cell& cell : row.Cells()) {
    if (cell.type == CellType::kText) bytes += workbook.strings().Get(cell.string_id).size();
  }
  return bytes;
}

// A sheet's XML: its start and end here, its rows in runs made on the zip writer's workers.
class SheetXmlWriter {
 public:
  SheetXmlWriter(const engine::Workbook& workbook, const engine::Sheet& sheet, bool active,
                 ZipWriter& zip)
      : workbook_(workbook), sheet_(sheet), active_(active), zip_(zip) {}

  // `replaced` counts the texts that had bytes replaced; it is counted into from the workers
  // until the zip entry ends.
  void Write(std::atomic<std::size_t>& replaced) {
    zip_.Write(Start());
    const std::span<const engine::Row> rows = sheet_.rows();
    const std::span<const engine::RowHeight> heights = sheet_.row_heights();
    std::size_t run_start = 0;
    std::size_t heights_start = 0;
    std::size_t run_bytes = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      run_bytes += RowXmlEstimate(workbook_, rows[i]);
      const bool last = i + 1 == rows.size();
      if (run_bytes < kRunBytes && !last) continue;
      const std::size_t heights_end =
          last ? heights.size() : HeightsUpTo(heights, heights_start, rows[i].number);
      WriteRun({rows.subspan(run_start, i + 1 - run_start),
                heights.subspan(heights_start, heights_end - heights_start)},
               replaced);
      run_start = i + 1;
      heights_start = heights_end;
      run_bytes = 0;
    }
    if (rows.empty() && !heights.empty()) WriteRun({{}, heights}, replaced);
    zip_.Write("</sheetData>");
    WriteMergedCells();
    zip_.Write("</worksheet>");
  }

 private:
  // The end of the heights of rows up to `row`, from `start` on.
  static std::size_t HeightsUpTo(std::span<const engine::RowHeight> heights, std::size_t start,
                                 std::uint32_t row) {
    return static_cast<std::size_t>(
        std::partition_point(heights.begin() + static_cast<std::ptrdiff_t>(start), heights.end(),
                             [row](const engine::RowHeight& height) { return height.row <= row; }) -
        heights.begin());
  }

  void WriteRun(const RowRun& run, std::atomic<std::size_t>& replaced) {
    zip_.Produce([&workbook = workbook_, &sheet = sheet_, run, &replaced](TextBuffer& out) {
      replaced += RowsXmlWriter(workbook, sheet, out).Write(run);
    });
  }

  std::string Start() const {
    std::string start =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
    start += "<dimension ref=\"" + Dimension() + "\"/>";
    start += active_
                 ? "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"sv
                 : "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"sv;
    start += "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData>";
    return start;
  }

  std::string Dimension() const {
    const auto rows = sheet_.rows();
    if (rows.empty()) return "A1";
    return "A1:" + CellReference(rows.back().number, std::max(1u, sheet_.LastColumn()));
  }

  void WriteMergedCells() {
    const auto merges = sheet_.merged_cells();
    if (merges.empty()) return;
    zip_.Write("<mergeCells count=\"" + std::to_string(merges.size()) + "\">");
    for (const engine::CellRange& merged : merges) {
      zip_.Write("<mergeCell ref=\"" + CellReference(merged.first_row, merged.first_column) +
                 ":" + CellReference(merged.last_row, merged.last_column) + "\"/>");
    }
    zip_.Write("</mergeCells>");
  }

  const engine::Workbook& workbook_;
  const engine::Sheet& sheet_;
  bool active_;
  ZipWriter& zip_;
};

std::size_t CellCount(const engine::Sheet& sheet) {
  std::size_t count = 0;
  for (const engine::Row& row : sheet.rows()) count += row.count;
  return count;
}

class XlsxWriter final : public WorkbookWriter {
 public:
  explicit XlsxWriter(unsigned deflate_threads) : deflate_threads_(deflate_threads) {}

  engine::SaveReport Write(const engine::Workbook& workbook, const std::string& path) override {
    std::atomic<std::size_t> replaced_in_sheets = 0;  // outlives the zip writer's workers
    ZipWriter zip(path, deflate_threads_);
    const std::size_t sheets = workbook.SheetCount();
    engine::SaveReport report;
    std::size_t& replaced = report.replaced_texts;
    zip.WriteEntry("[Content_Types].xml", ContentTypesXml(sheets));
    zip.WriteEntry("_rels/.rels", PackageRelationshipsXml());
    zip.WriteEntry("xl/workbook.xml", WorkbookXml(workbook, replaced, report.renamed_sheets));
    zip.WriteEntry("xl/_rels/workbook.xml.rels", WorkbookRelationshipsXml(sheets));
    zip.WriteEntry("xl/styles.xml", StylesXml(workbook.styles(), replaced));
    for (std::size_t i = 0; i < sheets; ++i) {
      const engine::Sheet& sheet = workbook.SheetAt(i);
      zip.BeginEntry(SheetPartName(i), CellCount(sheet) > kPlainZipCells);
      SheetXmlWriter(workbook, sheet, i == workbook.active_sheet(), zip).Write(replaced_in_sheets);
      zip.EndEntry();
    }
    zip.Close();
    replaced += replaced_in_sheets;
    return report;
  }

 private:
  unsigned deflate_threads_;
};

}  // namespace

std::unique_ptr<WorkbookWriter> MakeXlsxWriter(unsigned deflate_threads) {
  return std::make_unique<XlsxWriter>(deflate_threads);
}

}  // namespace tavrio::automation::writers

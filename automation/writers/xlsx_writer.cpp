// .xlsx written directly: the package's fixed parts and each sheet's XML streamed row by row
// into a zip file, so memory stays flat however large the sheet. (libxlsxwriter, the obvious
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
#include "automation/writers/workbook_writer.h"
#include "automation/writers/xlsx_parts.h"
#include "automation/writers/xml_text.h"
#include "automation/writers/zip_writer.h"

namespace tavrio::automation::writers {
namespace {

using engine::Cell;
using engine::CellType;
using namespace std::string_view_literals;

constexpr std::size_t kFlushSize = 64 << 10;
// Past this many cells a sheet's XML might pass 4 GiB and needs zip64 records; below it the
// plain records keep the file readable by older programs.
constexpr std::size_t kPlainZipCells = 10'000'000;

// The XML of a sheet as it is built, up to a flush. std::string's append is a call into the
// library for each piece, six to ten a cell; these are inlined, a compare and a copy whose
// size is mostly known when compiling (forced inline: GCC left Put as a call, 68 M more).
// Measured: SheetXmlWriter::Write with all it calls
// 758 M -> 589 M instructions for a merge of two files of the benchmark's million set saved
// as .xlsx (`valgrind --tool=callgrind build-bench/bench/harness/tavrio-bench-merge --save
// out.xlsx` on million-_0001/_0002, Release).
class XmlOutput {
 public:
  template <std::size_t N>
  [[gnu::always_inline]] void Put(const char (&literal)[N]) {
    Put(std::string_view(literal, N - 1));
  }
  [[gnu::always_inline]] void Put(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    size_ += text.size();
  }
  void Put(char c) { *Room(1) = c, ++size_; }
  // Room for `size` bytes after what is written, to be written into and then taken by Advance.
  [[gnu::always_inline]] char* Room(std::size_t size) {
    if (capacity_ - size_ < size) Grow(size);
    return data_.get() + size_;
  }
  void Advance(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  void DropLast() { --size_; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_.get(), size_}; }
  void clear() { size_ = 0; }

 private:
  void Grow(std::size_t more) {
    const std::size_t capacity = std::max(2 * capacity_, size_ + more);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class SheetXmlWriter {
 public:
  SheetXmlWriter(const engine::Workbook& workbook, const engine::Sheet& sheet, bool active,
                 ZipWriter& zip)
      : workbook_(workbook), sheet_(sheet), active_(active), zip_(zip) {}

  // Returns how many texts had bytes replaced.
  std::size_t Write() {
    out_.Put(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">");
    out_.Put("<dimension ref=\"" + Dimension() + "\"/>");
    out_.Put(active_
                 ? "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"sv
                 : "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"sv);
    out_.Put("<sheetFormatPr defaultRowHeight=\"15\"/><sheetData>");
    const std::span<const engine::RowHeight> heights = sheet_.row_heights();
    auto height = heights.begin();
    for (const engine::Row& row : sheet_.rows()) {
      // Rows with a height but no cells still need their element.
      for (; height != heights.end() && height->row < row.number; ++height) {
        AppendRowStart(height->row, &*height);
        out_.DropLast();
        out_.Put("/>");
      }
      const bool has_height = height != heights.end() && height->row == row.number;
      AppendRowStart(row.number, has_height ? &*height++ : nullptr);
      row_digits_ =
          std::string_view(row_digits_buffer_,
                           std::to_chars(row_digits_buffer_,
                                         row_digits_buffer_ + sizeof row_digits_buffer_, row.number)
                               .ptr);
      for (const Cell& cell : row.Cells()) AppendCell(row.number, cell);
      out_.Put("</row>");
      if (out_.size() >= kFlushSize) Flush();
    }
    for (; height != heights.end(); ++height) {
      AppendRowStart(height->row, &*height);
      out_.DropLast();
      out_.Put("/>");
    }
    out_.Put("</sheetData>");
    AppendMergedCells();
    out_.Put("</worksheet>");
    Flush();
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

  void AppendMergedCells() {
    const auto merges = sheet_.merged_cells();
    if (merges.empty()) return;
    out_.Put("<mergeCells count=\"" + std::to_string(merges.size()) + "\">");
    for (const engine::CellRange& merged : merges) {
      out_.Put("<mergeCell ref=\"" + CellReference(merged.first_row, merged.first_column) + ":" +
               CellReference(merged.last_row, merged.last_column) + "\"/>");
      if (out_.size() >= kFlushSize) Flush();
    }
    out_.Put("</mergeCells>");
  }

  std::string Dimension() const {
    const auto rows = sheet_.rows();
    if (rows.empty()) return "A1";
    return "A1:" + CellReference(rows.back().number, std::max(1u, sheet_.LastColumn()));
  }

  void AppendNumber(std::uint32_t value) {
    constexpr std::size_t kDigits = 10;
    char* const room = out_.Room(kDigits);
    out_.Advance(std::to_chars(room, room + kDigits, value).ptr);
  }

  // The cell's start tag up to its type: a sheet of a million rows has millions of cells, but
  // only a few columns and styles, whose text is therefore made once, and the row's number once
  // per row. With the appends of pointer and length (no iterator pair, which std::string takes
  // through replace()) this took the tag writing from 10.6% to 6.6% of the CPU samples of
  // tavrio-bench-merge --save on the million set, about 0.1 s (scripts/bench --set million).
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
    escaped_.clear();
    if (AppendXmlText(escaped_, text) != 0) ++replaced_;
    out_.Put(escaped_);
  }

  // "<c r=\"AB" for column 28.
  const std::string& CellStart(std::uint16_t column) {
    if (cell_starts_.size() <= column) cell_starts_.resize(column + 1);
    std::string& start = cell_starts_[column];
    if (start.empty()) {
      start = "<c r=\"" + CellReference(1, column);
      start.pop_back();
    }
    return start;
  }

  // " s=\"12\"" for style 12.
  const std::string& StyleAttribute(std::uint32_t style) {
    if (style_attributes_.size() <= style) style_attributes_.resize(style + 1);
    std::string& attribute = style_attributes_[style];
    if (attribute.empty()) attribute = " s=\"" + std::to_string(style) + "\"";
    return attribute;
  }

  void Flush() {
    zip_.Write(out_.view());
    out_.clear();
  }

  const engine::Workbook& workbook_;
  const engine::Sheet& sheet_;
  bool active_;
  ZipWriter& zip_;
  XmlOutput out_;
  std::string escaped_;  // a text escaped, before it joins out_
  std::vector<std::string> cell_starts_;
  std::vector<std::string> style_attributes_;
  char row_digits_buffer_[16];
  std::string_view row_digits_;  // the number of the row being written
  const std::string_view* formula_ = nullptr;
  const engine::CellRange* array_ = nullptr;  // the range of the cell's array formula
  std::size_t replaced_ = 0;
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
      replaced += SheetXmlWriter(workbook, sheet, i == workbook.active_sheet(), zip).Write();
      zip.EndEntry();
    }
    zip.Close();
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

// .xlsx through libxlsxwriter. What the format or the library cannot hold directly:
// - An error value has no cell call of its own; it is written as a formula of the error literal
//   with the error as its cached result ("=#N/A" showing #N/A), which applications show and
//   recalculate to the same error. Errors without a literal (#SPILL!, #CALC!, ...) are written
//   as their text.
// - NaN and infinities cannot be stored; they are written as the error #NUM!, the error a
//   spreadsheet application gives for such results.
// - A text over 32,767 characters cannot be stored; saving fails naming the cell rather than
//   cutting it short.

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "automation/engine/sheet_limits.h"
#include "automation/writers/cell_reference.h"
#include "automation/writers/lxw_workbook.h"
#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

using engine::Cell;
using engine::CellType;

bool IsErrorLiteral(std::string_view error) {
  for (std::string_view literal :
       {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"}) {
    if (error == literal) return true;
  }
  return false;
}

std::size_t CodePoints(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// One lxw_format per style the workbook's cells use, created the first time a cell needs it.
class Formats {
 public:
  Formats(lxw_workbook* workbook, const engine::StyleTable& styles)
      : workbook_(workbook),
        styles_(styles),
        formats_(styles.size(), nullptr),
        created_(styles.size(), false) {}

  lxw_format* For(std::uint32_t style) {
    if (style == 0 || created_[style]) return formats_[style];
    created_[style] = true;
    const std::string& code = styles_.Get(style).number_format;
    if (code == "General") return nullptr;
    lxw_format* format = workbook_add_format(workbook_);
    if (format == nullptr) throw WriteFailure("内存不足，无法创建单元格格式");
    format_set_num_format(format, code.c_str());
    return formats_[style] = format;
  }

 private:
  lxw_workbook* workbook_;
  const engine::StyleTable& styles_;
  std::vector<lxw_format*> formats_;
  std::vector<bool> created_;
};

class SheetWriter {
 public:
  SheetWriter(const engine::Workbook& workbook, const engine::Sheet& sheet,
              lxw_worksheet* worksheet, Formats& formats)
      : workbook_(workbook), sheet_(sheet), worksheet_(worksheet), formats_(formats) {}

  void WriteRows() {
    for (const engine::Row& row : sheet_.rows()) {
      for (const Cell& cell : row.Cells()) Write(row.number, cell);
    }
  }

 private:
  void Write(std::uint32_t row_number, const Cell& cell) {
    const lxw_row_t row = row_number - 1;
    const lxw_col_t column = cell.column - 1;
    lxw_format* format = formats_.For(cell.style);
    lxw_error result = LXW_NO_ERROR;
    switch (cell.type) {
      case CellType::kNumber:
        result = std::isfinite(cell.number)
                     ? worksheet_write_number(worksheet_, row, column, cell.number, format)
                     : WriteError(row, column, "#NUM!", format);
        break;
      case CellType::kText: {
        const std::string_view text = workbook_.strings().Get(cell.string_id);
        if (CodePoints(text) > engine::kMaxTextLength) {
          throw WriteFailure("工作表“" + sheet_.name() + "”的单元格 " +
                             CellReference(row_number, cell.column) + " 的文本超过 32767 个字符");
        }
        text_.assign(text);  // NUL-terminated for the C call, without an allocation per cell
        result = worksheet_write_string(worksheet_, row, column, text_.c_str(), format);
        break;
      }
      case CellType::kBoolean:
        result = worksheet_write_boolean(worksheet_, row, column, cell.boolean, format);
        break;
      case CellType::kError:
        result = WriteError(row, column, workbook_.strings().Get(cell.string_id), format);
        break;
      case CellType::kBlank:
        result = worksheet_write_blank(worksheet_, row, column, format);
        break;
    }
    if (result != LXW_NO_ERROR) {
      throw WriteFailure("写入工作表“" + sheet_.name() + "”的单元格 " +
                         CellReference(row_number, cell.column) + " 时出错（" +
                         lxw_strerror(result) + "）");
    }
  }

  lxw_error WriteError(lxw_row_t row, lxw_col_t column, std::string_view error,
                       lxw_format* format) {
    const std::string text(error);
    if (!IsErrorLiteral(error)) {
      return worksheet_write_string(worksheet_, row, column, text.c_str(), format);
    }
    return worksheet_write_formula_str(worksheet_, row, column, ("=" + text).c_str(), format,
                                       text.c_str());
  }

  const engine::Workbook& workbook_;
  const engine::Sheet& sheet_;
  lxw_worksheet* worksheet_;
  Formats& formats_;
  std::string text_;
};

class XlsxWriter final : public WorkbookWriter {
 public:
  void Write(const engine::Workbook& workbook, const std::string& path) override {
    LxwWorkbook file(path);
    Formats formats(file.get(), workbook.styles());
    for (std::size_t i = 0; i < workbook.SheetCount(); ++i) {
      const engine::Sheet& sheet = workbook.SheetAt(i);
      lxw_worksheet* worksheet = workbook_add_worksheet(file.get(), sheet.name().c_str());
      if (worksheet == nullptr) {
        throw WriteFailure("工作表名称“" + sheet.name() + "”不能用于 .xlsx 文件");
      }
      if (i == workbook.active_sheet()) {
        worksheet_activate(worksheet);
      } else if (sheet.hidden()) {
        worksheet_hide(worksheet);
      }
      SheetWriter(workbook, sheet, worksheet, formats).WriteRows();
    }
    const lxw_error result = file.Close();
    if (result != LXW_NO_ERROR) {
      throw WriteFailure(std::string("无法写出 .xlsx 文件（") + lxw_strerror(result) + "）");
    }
  }
};

}  // namespace

std::unique_ptr<WorkbookWriter> MakeXlsxWriter() { return std::make_unique<XlsxWriter>(); }

}  // namespace tavrio::automation::writers

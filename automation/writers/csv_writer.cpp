// CSV as spreadsheet applications read it: UTF-8 with a byte-order mark (so they do not guess a
// local code page), fields separated by commas, lines ended by CRLF, and a field quoted when it
// holds a comma, a quote, a line break or leading/trailing blanks (quotes doubled), as RFC 4180
// says. Only the active sheet is written, from cell A1 to its last row and column holding a
// value, every line with the same number of fields.
//
// Numbers are written in their shortest form that reads back to the same double, in plain
// digits from 0.00001 up to 10^15 and with an exponent outside that range. Numbers whose
// format shows a date or time are written as ISO text (see date_text.h) instead, since a CSV has
// no formats; booleans as TRUE and FALSE, errors as their spelling.
//
// Texts go out byte for byte, control characters and non-characters included: a CSV has no
// escapes and needs none. Only what UTF-8 cannot hold (a surrogate on its own from a broken
// source, bytes that are no UTF-8) is written as U+FFFD, and the cells it happened to are
// counted for the caller's warning.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/base/sheet_limits.h"
#include "automation/engine/number_format.h"
#include "automation/writers/atomic_file.h"
#include "automation/writers/code_points.h"
#include "automation/writers/date_text.h"
#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

using engine::Cell;
using engine::CellType;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t kFlushSize = 1 << 20;

std::string WriteError(int error) {
  return error == 0 ? "写入 CSV 文件时出错" : "写入 CSV 文件时出错：" + SystemErrorReason(error);
}

void AppendQuoted(std::string& out, std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) {
    out.append(text);
    return;
  }
  out.push_back('"');
  for (const char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

class CsvSheetWriter {
 public:
  CsvSheetWriter(const engine::Workbook& workbook, std::FILE* file)
      : workbook_(workbook), file_(file), kinds_(workbook.styles().size()) {
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
      kinds_[i] = engine::ClassifyNumberFormat(workbook.styles().Get(i).number_format);
    }
  }

  // The sheets one after the other, as one table as wide as the widest; every sheet but the
  // last continues on the next, so it runs to the grid's last row. Returns how many cells'
  // texts had characters replaced.
  std::size_t Write(const std::vector<const engine::Sheet*>& sheets) {
    out_ = "\xEF\xBB\xBF";
    std::uint32_t width = 0;
    for (const engine::Sheet* sheet : sheets) width = std::max(width, WidthOf(*sheet));
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      const bool last = i + 1 == sheets.size();
      WriteRows(*sheets[i], last ? sheets[i]->LastUsedRow() : kMaxRows, width);
    }
    Flush();
    return replaced_;
  }

 private:
  static std::uint32_t WidthOf(const engine::Sheet& sheet) {
    std::uint32_t width = 0;
    for (const engine::Row& row : sheet.rows()) {
      for (const Cell& cell : row.Cells()) {
        if (cell.type != CellType::kBlank && cell.column > width) width = cell.column;
      }
    }
    return width;
  }

  void WriteRows(const engine::Sheet& sheet, std::uint32_t last_row, std::uint32_t width) {
    auto next = sheet.rows().begin();
    for (std::uint32_t number = 1; number <= last_row; ++number) {
      std::uint32_t column = 1;
      if (next != sheet.rows().end() && next->number == number) {
        for (const Cell& cell : (next++)->Cells()) {
          if (cell.column > width) break;
          for (; column < cell.column; ++column) out_.push_back(',');
          AppendValue(cell);
        }
      }
      for (; column < width; ++column) out_.push_back(',');
      out_.append("\r\n");
      if (out_.size() >= kFlushSize) Flush();
    }
  }

  void AppendValue(const Cell& cell) {
    switch (cell.type) {
      case CellType::kNumber:
        return AppendNumber(cell);
      case CellType::kText:
      case CellType::kError:
        return AppendText(workbook_.strings().Get(cell.string_id));
      case CellType::kBoolean:
        out_.append(cell.boolean ? "TRUE" : "FALSE");
        return;
      case CellType::kBlank:
        return;
    }
  }

  void AppendText(std::string_view text) {
    if (IsWellFormedUtf8(text)) return AppendQuoted(out_, text);
    std::size_t replaced = 0;
    AppendQuoted(out_, RepairedUtf8(text, replaced));
    if (replaced != 0) ++replaced_;
  }

  void AppendNumber(const Cell& cell) {
    const engine::NumberFormatKind kind = kinds_[cell.style];
    if (kind.date || kind.time) {
      if (const auto text = SerialDateText(cell.number, kind)) {
        out_.append(*text);
        return;
      }
    }
    // The shortest text alone would write 600000 as "6e+05": a reader that is not a
    // spreadsheet (a script, a database import) would take an ID for a float. Plain digits
    // whenever they stay short; exponents only for the very large and very small.
    const double magnitude = std::fabs(cell.number);
    const bool plain = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e15);
    char digits[32];
    const auto result =
        plain ? std::to_chars(digits, digits + sizeof digits, cell.number, std::chars_format::fixed)
              : std::to_chars(digits, digits + sizeof digits, cell.number);
    out_.append(digits, result.ptr);
  }

  void Flush() {
    errno = 0;
    if (std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size()) {
      throw WriteFailure(WriteError(errno));
    }
    out_.clear();
  }

  const engine::Workbook& workbook_;
  std::FILE* file_;
  std::vector<engine::NumberFormatKind> kinds_;
  std::string out_;
  std::size_t replaced_ = 0;
};

class CsvWriter final : public WorkbookWriter {
 public:
  explicit CsvWriter(bool every_sheet) : every_sheet_(every_sheet) {}

  engine::SaveReport Write(const engine::Workbook& workbook, const std::string& path) override {
    std::vector<const engine::Sheet*> sheets;
    if (every_sheet_) {
      for (std::size_t i = 0; i < workbook.SheetCount(); ++i) {
        sheets.push_back(&workbook.SheetAt(i));
      }
    } else {
      sheets.push_back(&workbook.SheetAt(workbook.active_sheet()));
    }
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) throw WriteFailure("无法创建 CSV 文件");
    engine::SaveReport report;
    report.replaced_texts = CsvSheetWriter(workbook, file.get()).Write(sheets);
    errno = 0;
    if (std::fclose(file.release()) != 0) throw WriteFailure(WriteError(errno));
    return report;
  }

 private:
  bool every_sheet_;
};

}  // namespace

std::unique_ptr<WorkbookWriter> MakeCsvWriter() { return std::make_unique<CsvWriter>(false); }

std::unique_ptr<WorkbookWriter> MakeContinuedCsvWriter() {
  return std::make_unique<CsvWriter>(true);
}

}  // namespace tavrio::automation::writers

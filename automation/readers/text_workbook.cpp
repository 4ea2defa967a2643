#include "automation/readers/text_workbook.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "automation/base/ascii.h"
#include "automation/readers/delimited_text.h"
#include "automation/readers/html_tables.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/text_cells.h"
#include "automation/readers/text_encoding.h"

namespace tavrio::automation::readers {
namespace {

using SheetCells = std::function<void(TextCellWriter&)>;

class TextWorkbookReader : public WorkbookReader {
 public:
  TextWorkbookReader(std::string path, std::vector<SheetInfo> sheets, std::vector<SheetCells> cells)
      : path_(std::move(path)), sheets_(std::move(sheets)), cells_(std::move(cells)) {}

  const std::vector<SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<StyleInfo>& Styles() const override { return TextCellStyles(); }
  bool Uses1904DateSystem() const override { return false; }

  void ReadSheet(std::size_t index, CellSink& sink) override {
    if (index >= sheets_.size()) {
      throw ReadSheetError(path_, "#" + std::to_string(index + 1), "没有这个工作表");
    }
    TextCellWriter writer(sink);
    try {
      cells_[index](writer);
    } catch (const ReadFault& fault) {
      throw ReadSheetError(path_, sheets_[index].name, fault.what());
    }
  }

 private:
  std::string path_;
  std::vector<SheetInfo> sheets_;
  std::vector<SheetCells> cells_;
};

// The first lines of the text, where a title line may precede the table.
std::string_view FirstLines(std::string_view text) {
  constexpr int kLines = 20;
  std::size_t end = 0;
  for (int line = 0; line < kLines && end < text.size(); ++line) {
    end = std::min(text.find('\n', end), text.size());
    if (end < text.size()) ++end;
  }
  return text.substr(0, end);
}

// The start of the file, lowercase, for telling markup from plain text.
std::string Head(std::string_view text) {
  text = text.substr(0, 4096);
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t start = text.find_first_not_of(" \t\r\n");
  return start == std::string_view::npos ? std::string() : AsciiLowercase(text.substr(start));
}

bool IsUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// A byte order mark outranks the charset a page declares, as in browsers.
std::unique_ptr<WorkbookReader> OpenHtml(const std::string& path, const std::string& bytes) {
  std::string charset = DeclaredHtmlCharset(bytes);
  bool has_bom = bytes.starts_with("\xEF\xBB\xBF") || IsUtf16(bytes);
  std::string html =
      charset.empty() || has_bom ? DecodeText(bytes) : DecodeDeclared(bytes, charset);
  auto tables = std::make_shared<std::vector<HtmlTable>>(ParseHtmlTables(html));
  if (tables->empty()) throw ReadFault("这是网页文件（HTML），其中没有表格");
  std::vector<SheetInfo> sheets;
  std::vector<SheetCells> cells;
  for (std::size_t i = 0; i < tables->size(); ++i) {
    sheets.push_back({"表" + std::to_string(i + 1), false});
    cells.push_back([tables, i](TextCellWriter& writer) {
      for (const HtmlCell& cell : (*tables)[i].cells) {
        if (cell.number) {
          writer.Number(cell.row, cell.column, *cell.number);
        } else {
          writer.Field(cell.row, cell.column, cell.text, cell.keep_text);
        }
      }
    });
  }
  return std::make_unique<TextWorkbookReader>(path, std::move(sheets), std::move(cells));
}

std::unique_ptr<WorkbookReader> OpenDelimited(const std::string& path, std::string text,
                                              char delimiter) {
  auto shared = std::make_shared<std::string>(std::move(text));
  SheetCells cells = [shared, delimiter](TextCellWriter& writer) {
    SplitDelimitedText(*shared, delimiter,
                       [&writer](std::uint64_t row, std::uint64_t column, std::string_view field,
                                 bool) { writer.Field(row, column, field); });
  };
  return std::make_unique<TextWorkbookReader>(path,
                                              std::vector<SheetInfo>{{SheetNameForFile(path)}},
                                              std::vector<SheetCells>{std::move(cells)});
}

[[noreturn]] void RefuseMarkup(const std::string& head) {
  if (head.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string::npos) {
    throw ReadFault("这是 XML 电子表格 2003 格式（.xml），暂不支持此格式");
  }
  throw ReadFault("这是 XML 文件，不是工作簿");
}

// A page or document, not a table of text whose first field happens to start with '<'.
bool IsMarkup(const std::string& head) {
  if (!head.starts_with('<')) return false;
  for (const char* tag : {"<html", "<table", "<!doctype", "<?xml", "<head", "<body", "<meta"}) {
    if (head.find(tag) != std::string::npos) return true;
  }
  return false;
}

bool IsXmlDocument(const std::string& head) {
  return head.starts_with("<?xml") && head.find("<html") == std::string::npos;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenTextWorkbook(const std::string& path, std::string bytes) {
  if (!LooksLikeText(bytes)) throw ReadFault("不是工作簿文件");
  std::string text = IsUtf16(bytes) ? DecodeText(bytes) : std::string();
  std::string head = Head(IsUtf16(bytes) ? text : bytes);
  if (IsMarkup(head)) {
    if (IsXmlDocument(head)) RefuseMarkup(head);
    return OpenHtml(path, bytes);
  }
  if (!IsUtf16(bytes)) text = DecodeText(bytes);
  std::string_view first_lines = FirstLines(text);
  bool has_tab = first_lines.find('\t') != std::string_view::npos;
  bool has_comma = first_lines.find(',') != std::string_view::npos;
  if (AsciiLowercase(path).ends_with(".csv")) {
    return OpenDelimited(path, std::move(text), has_tab && !has_comma ? '\t' : ',');
  }
  if (has_tab) return OpenDelimited(path, std::move(text), '\t');
  if (has_comma) throw ReadFault("这是以逗号分隔的文本文件（CSV），请将扩展名改为 .csv 后再合并");
  throw ReadFault("这是文本文件，不是工作簿");
}

}  // namespace tavrio::automation::readers

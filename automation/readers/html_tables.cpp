#include "automation/readers/html_tables.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

#include "automation/base/ascii.h"
#include "automation/base/sheet_limits.h"
#include "automation/base/utf8.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint32_t kMaxColspan = 1000;  // HTML's own limits
constexpr std::uint32_t kMaxRowspan = 65534;

struct Tag {
  std::string name;  // lowercase, without '/'
  bool closing = false;
  std::map<std::string, std::string> attributes;  // names lowercase, values raw
};

// Appends the character reference at `text[at]` ('&') decoded; returns the length consumed.
std::size_t DecodeReference(std::string_view text, std::size_t at, std::string& out) {
  static const std::map<std::string, std::uint32_t, std::less<>> kNamed = {
      {"amp", '&'},       {"lt", '<'},       {"gt", '>'},       {"quot", '"'},
      {"apos", '\''},     {"nbsp", ' '},     {"copy", 0xA9},    {"reg", 0xAE},
      {"yen", 0xA5},      {"times", 0xD7},   {"divide", 0xF7},  {"middot", 0xB7},
      {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013}, {"lsquo", 0x2018},
      {"rsquo", 0x2019},  {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"deg", 0xB0},
      {"plusmn", 0xB1},   {"euro", 0x20AC},  {"ensp", ' '},     {"emsp", ' '}};
  std::size_t end = text.find(';', at);
  if (end == std::string_view::npos || end - at > 12) {
    out.push_back('&');
    return 1;
  }
  std::string_view name = text.substr(at + 1, end - at - 1);
  std::uint32_t code = 0;
  if (name.starts_with('#') && name.size() > 1) {
    bool hex = name[1] == 'x' || name[1] == 'X';
    std::string_view digits = name.substr(hex ? 2 : 1);
    auto [ptr, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (error != std::errc() || ptr != digits.data() + digits.size() || digits.empty()) code = 0;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  } else if (auto found = kNamed.find(name); found != kNamed.end()) {
    code = found->second;
  } else {
    out.push_back('&');
    return 1;
  }
  AppendUtf8(code, out);
  return end - at + 1;
}

// One table being built: its cells and which columns earlier rowspans still cover.
struct TableBuilder {
  std::size_t slot = 0;
  HtmlTable table;
  std::uint32_t row = 0;
  std::uint32_t column = 1;
  bool in_row = false;
  std::vector<std::uint32_t> covered_until;  // by column: last row a rowspan covers
  std::optional<HtmlCell> cell;
  std::uint32_t colspan = 1;
  std::uint32_t rowspan = 1;
};

std::uint32_t SpanAttribute(const Tag& tag, const char* name, std::uint32_t limit) {
  auto found = tag.attributes.find(name);
  if (found == tag.attributes.end()) return 1;
  std::uint32_t value = 0;
  const std::string& text = found->second;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return std::clamp<std::uint32_t>(value, 1, limit);
}

// Collapses runs of spaces as a browser shows them; '\n' (from <br>) survives, spaces around it
// do not.
std::string Collapse(const std::string& raw) {
  std::string out;
  for (char c : raw) {
    if (c == ' ') {
      if (!out.empty() && out.back() != ' ' && out.back() != '\n') out.push_back(' ');
    } else {
      if (c == '\n' && !out.empty() && out.back() == ' ') out.pop_back();
      out.push_back(c);
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

class Parser {
 public:
  explicit Parser(std::string_view html) : html_(html) {}

  std::vector<HtmlTable> Run() {
    while (at_ < html_.size()) {
      if (html_[at_] == '<') {
        Markup();
      } else {
        Text();
      }
    }
    while (!open_.empty()) CloseTable();
    return std::move(tables_);
  }

 private:
  void Text() {
    std::size_t end = std::min(html_.find('<', at_), html_.size());
    HtmlCell* cell = OpenCell();
    for (std::size_t i = at_; cell != nullptr && i < end; ++i) {
      if (html_[i] == '&') {
        i += DecodeReference(html_, i, cell->text) - 1;
      } else {
        cell->text.push_back(IsHtmlSpace(html_[i]) ? ' ' : html_[i]);
      }
    }
    at_ = end;
  }

  HtmlCell* OpenCell() {
    if (open_.empty() || !open_.back().cell) return nullptr;
    return &*open_.back().cell;
  }

  void Markup() {
    if (html_.compare(at_, 4, "<!--") == 0) return SkipPast("-->", at_ + 4);
    if (at_ + 1 < html_.size() && (html_[at_ + 1] == '!' || html_[at_ + 1] == '?')) {
      return SkipPast(">", at_ + 2);
    }
    std::size_t start = at_ + 1;
    bool closing = start < html_.size() && html_[start] == '/';
    if (closing) ++start;
    if (start >= html_.size() || !IsAsciiLetter(html_[start])) {
      if (HtmlCell* cell = OpenCell()) cell->text.push_back('<');
      ++at_;
      return;
    }
    Tag tag = ReadTag(start, closing);
    if (!tag.closing && (tag.name == "script" || tag.name == "style" || tag.name == "textarea" ||
                         tag.name == "title")) {
      return SkipRawText(tag.name);
    }
    Handle(tag);
  }

  void SkipPast(std::string_view end, std::size_t from) {
    std::size_t found = html_.find(end, from);
    at_ = found == std::string_view::npos ? html_.size() : found + end.size();
  }

  void SkipRawText(const std::string& name) {
    std::string lower_end = "</" + name;
    for (std::size_t i = html_.find("</", at_); i != std::string_view::npos;
         i = html_.find("</", i + 2)) {
      if (AsciiLowercase(html_.substr(i, lower_end.size())) == lower_end) {
        at_ = i;
        return;
      }
    }
    at_ = html_.size();
  }

  Tag ReadTag(std::size_t start, bool closing) {
    Tag tag;
    tag.closing = closing;
    std::size_t i = start;
    while (i < html_.size() && !IsHtmlSpace(html_[i]) && html_[i] != '>' && html_[i] != '/') ++i;
    tag.name = AsciiLowercase(html_.substr(start, i - start));
    while (i < html_.size() && html_[i] != '>') {
      if (IsHtmlSpace(html_[i]) || html_[i] == '/') {
        ++i;
        continue;
      }
      std::size_t name_start = i;
      while (i < html_.size() && !IsHtmlSpace(html_[i]) && html_[i] != '>' && html_[i] != '=' &&
             html_[i] != '/') {
        ++i;
      }
      std::string name = AsciiLowercase(html_.substr(name_start, i - name_start));
      std::string value;
      if (i < html_.size() && html_[i] == '=') {
        ++i;
        value = AttributeValue(i);
      }
      tag.attributes.emplace(std::move(name), std::move(value));
    }
    at_ = std::min(i + 1, html_.size());
    return tag;
  }

  std::string AttributeValue(std::size_t& i) {
    if (i < html_.size() && (html_[i] == '"' || html_[i] == '\'')) {
      char quote = html_[i++];
      std::size_t end = std::min(html_.find(quote, i), html_.size());
      std::string value(html_.substr(i, end - i));
      i = std::min(end + 1, html_.size());
      return value;
    }
    std::size_t start = i;
    while (i < html_.size() && !IsHtmlSpace(html_[i]) && html_[i] != '>') ++i;
    return std::string(html_.substr(start, i - start));
  }

  void Handle(const Tag& tag) {
    if (tag.name == "table") return tag.closing ? CloseTable() : OpenTable();
    if (open_.empty()) return;
    TableBuilder& table = open_.back();
    if (tag.name == "tr") {
      CloseCell(table);
      table.in_row = false;
      if (!tag.closing) StartRow(table);
    } else if (tag.name == "td" || tag.name == "th") {
      CloseCell(table);
      if (!tag.closing) StartCell(table, tag);
    } else if (tag.name == "br" && table.cell) {
      table.cell->text.push_back('\n');
    }
  }

  void OpenTable() {
    open_.emplace_back();
    open_.back().slot = tables_.size();
    tables_.emplace_back();
  }

  void CloseTable() {
    if (open_.empty()) return;
    CloseCell(open_.back());
    tables_[open_.back().slot] = std::move(open_.back().table);
    open_.pop_back();
  }

  static void StartRow(TableBuilder& table) {
    ++table.row;
    table.column = 1;
    table.in_row = true;
  }

  static void StartCell(TableBuilder& table, const Tag& tag) {
    if (!table.in_row) StartRow(table);
    auto covered = [&table](std::uint32_t column) {
      return column < table.covered_until.size() && table.covered_until[column] >= table.row;
    };
    while (covered(table.column)) ++table.column;
    if (table.column > kMaxColumns) {
      throw ReadFault("网页中的表格超过一个工作表的上限 " + std::to_string(kMaxColumns) + " 列");
    }
    HtmlCell cell;
    cell.row = table.row;
    cell.column = table.column;
    auto style = tag.attributes.find("style");
    cell.keep_text = tag.attributes.contains("x:str") ||
                     (style != tag.attributes.end() &&
                      style->second.find("mso-number-format") != std::string::npos &&
                      style->second.find('@') != std::string::npos);
    if (auto num = tag.attributes.find("x:num"); num != tag.attributes.end()) {
      double value = 0;
      if (ParseNumber(num->second, value)) cell.number = value;
    }
    table.cell = std::move(cell);
    table.colspan = SpanAttribute(tag, "colspan", kMaxColspan);
    table.rowspan = SpanAttribute(tag, "rowspan", kMaxRowspan);
  }

  static void CloseCell(TableBuilder& table) {
    if (!table.cell) return;
    HtmlCell cell = std::move(*table.cell);
    table.cell.reset();
    std::uint32_t last_column =
        std::min<std::uint32_t>(cell.column + table.colspan - 1, kMaxColumns);
    if (table.rowspan > 1) {
      if (table.covered_until.size() <= last_column) table.covered_until.resize(last_column + 1);
      for (std::uint32_t c = cell.column; c <= last_column; ++c) {
        table.covered_until[c] = std::max(table.covered_until[c], cell.row + table.rowspan - 1);
      }
    }
    table.column = cell.column + table.colspan;
    cell.text = Collapse(cell.text);
    if (!cell.text.empty() || cell.number) table.table.cells.push_back(std::move(cell));
  }

  std::string_view html_;
  std::size_t at_ = 0;
  std::vector<TableBuilder> open_;
  std::vector<HtmlTable> tables_;
};

}  // namespace

std::vector<HtmlTable> ParseHtmlTables(std::string_view html) { return Parser(html).Run(); }

std::string DeclaredHtmlCharset(std::string_view html) {
  std::string head = AsciiLowercase(html.substr(0, 4096));
  for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
       meta = head.find("<meta", meta + 5)) {
    std::size_t end = head.find('>', meta);
    std::size_t charset = head.find("charset=", meta);
    if (charset == std::string::npos || charset > end) continue;
    std::size_t start = charset + 8;
    while (start < head.size() && (head[start] == '"' || head[start] == '\'')) ++start;
    std::size_t stop = start;
    while (stop < head.size() &&
           ((IsAsciiLetter(head[stop]) || IsAsciiDigit(head[stop])) || head[stop] == '-' ||
            head[stop] == '_' || head[stop] == ':' || head[stop] == '.')) {
      ++stop;
    }
    if (stop > start) return std::string(html.substr(start, stop - start));
  }
  return {};
}

}  // namespace tavrio::automation::readers

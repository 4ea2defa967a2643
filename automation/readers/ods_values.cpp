#include "automation/readers/ods_values.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "automation/base/serial_date.h"
#include "automation/base/sheet_limits.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/ods_rows.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

void AppendParagraph(pugi::xml_node node, std::string& out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      out.append(child.value());
    } else if (IsNamed(child, "s")) {
      const char* count = AttributeValue(child, "text:c");
      unsigned spaces = 1;
      if (count != nullptr) {
        std::from_chars(count, count + std::strlen(count), spaces);
      }
      out.append(std::min<unsigned>(spaces, kMaxTextLength), ' ');
    } else if (IsNamed(child, "tab")) {
      out.push_back('\t');
    } else if (IsNamed(child, "line-break")) {
      out.push_back('\n');
    } else if (child.type() == pugi::node_element && !IsNamed(child, "annotation") &&
               !IsNamed(child, "note")) {
      AppendParagraph(child, out);  // text:span, text:a and other inline markup
    }
  }
}

[[noreturn]] void BadValue(std::uint64_t row, std::uint64_t column, std::string_view what,
                           const char* value) {
  throw ReadFault("文件已损坏：第 " + std::to_string(row) + " 行第 " + std::to_string(column) +
                  " 列的" + std::string(what) + "“" + (value ? value : "") + "”无效");
}

}  // namespace

bool OdsDateSerial(std::string_view text, double& serial, bool& has_time) {
  int year = 0, month = 0, day = 0;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !ParseDigits(text, 0, 4, year) ||
      !ParseDigits(text, 5, 2, month) || !ParseDigits(text, 8, 2, day) || month < 1 || month > 12 ||
      day < 1 || day > 31) {
    return false;
  }
  double fraction = 0;
  has_time = text.size() > 10;
  if (has_time) {
    int hour = 0, minute = 0;
    double second = 0;
    if (text.size() < 19 || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
        !ParseDigits(text, 11, 2, hour) || !ParseDigits(text, 14, 2, minute) ||
        !ParseNumber(text.substr(17), second) || hour > 23 || minute > 59 || second >= 61) {
      return false;
    }
    fraction = (hour * 3600 + minute * 60 + second) / 86400;
  }
  // LibreOffice's day 0 is 1899-12-30, one day before the 1900 system's "1900-01-00": what
  // a serial 0 becomes in its files, so it comes back as 0.
  auto days = SerialDayFromDate(year, month, day);
  if (days && *days == -1) days = 0;
  if (!days || *days < 0 || *days >= kSerialPastLastDate) return false;
  serial = static_cast<double>(*days) + fraction;
  return true;
}

bool OdsDurationDays(std::string_view text, double& days) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() != 'P') return false;
  text.remove_prefix(1);
  double total = 0;
  bool in_time = false, any = false;
  while (!text.empty()) {
    if (text.front() == 'T' && !in_time) {
      in_time = true;
      text.remove_prefix(1);
      continue;
    }
    const std::size_t unit = text.find_first_of("DHMS");
    double amount = 0;
    if (unit == std::string_view::npos || unit == 0 || !ParseNumber(text.substr(0, unit), amount) ||
        amount < 0) {
      return false;
    }
    const char u = text[unit];
    if ((u == 'D') == in_time) return false;
    // Counted in seconds and divided once, so that a time of day comes out as the same double
    // that h:m:s gives in other files.
    total += amount * (u == 'D' ? 86400 : u == 'H' ? 3600 : u == 'M' ? 60 : 1);
    any = true;
    text.remove_prefix(unit + 1);
  }
  if (!any) return false;
  days = (negative ? -total : total) / 86400;
  return true;
}

std::string OdsCellText(pugi::xml_node cell) {
  std::string text;
  bool first = true;
  for (pugi::xml_node p = cell.first_child(); p; p = p.next_sibling()) {
    if (!IsNamed(p, "p") && !IsNamed(p, "h")) continue;
    if (!first) text.push_back('\n');
    first = false;
    AppendParagraph(p, text);
  }
  return text;
}

OdsValue ReadOdsValue(pugi::xml_node cell, std::uint64_t row, std::uint64_t column) {
  OdsValue value;
  const char* type = AttributeValue(cell, "office:value-type");
  const char* calc_type = AttributeValue(cell, "calcext:value-type");
  if (calc_type != nullptr && std::strcmp(calc_type, "error") == 0) {
    value.kind = OdsValue::kError;
    value.text = OdsCellText(cell);
    if (value.text.empty()) value.text = "#VALUE!";
    return value;
  }
  const std::string_view kind = type ? type : "";
  if (kind == "float" || kind == "percentage" || kind == "currency") {
    const char* number = AttributeValue(cell, "office:value");
    if (number == nullptr || !ParseNumber(number, value.number))
      BadValue(row, column, "数值", number);
    value.kind = OdsValue::kNumber;
    if (kind == "percentage") {
      const double hundredths = value.number * 100;
      value.style = hundredths == std::round(hundredths) ? kOdsPercent : kOdsPercentDecimals;
    }
  } else if (kind == "date") {
    const char* date = AttributeValue(cell, "office:date-value");
    bool has_time = false;
    if (date != nullptr && OdsDateSerial(date, value.number, has_time)) {
      value.kind = OdsValue::kNumber;
      value.style = has_time && value.number != std::floor(value.number) ? kOdsDateTime : kOdsDate;
    } else if (date == nullptr || std::strlen(date) < 10) {
      BadValue(row, column, "日期", date);
    } else {
      // A day the 1900 date system cannot count stays readable as the text it shows.
      value.kind = OdsValue::kText;
      value.text = OdsCellText(cell);
      if (value.text.empty()) value.text = date;
    }
  } else if (kind == "time") {
    const char* time = AttributeValue(cell, "office:time-value");
    if (time == nullptr || !OdsDurationDays(time, value.number))
      BadValue(row, column, "时间", time);
    value.kind = OdsValue::kNumber;
    value.style = std::fabs(value.number) < 1 ? kOdsTime : kOdsDuration;
  } else if (kind == "boolean") {
    const char* flag = AttributeValue(cell, "office:boolean-value");
    const std::string_view text = flag ? flag : "";
    if (text != "true" && text != "false" && text != "1" && text != "0") {
      BadValue(row, column, "逻辑值", flag);
    }
    value.kind = OdsValue::kBoolean;
    value.number = text == "true" || text == "1";
  } else {
    // "string", or no type at all: a cell holding paragraphs is text.
    const char* string_value = AttributeValue(cell, "office:string-value");
    value.text = string_value ? std::string(string_value) : OdsCellText(cell);
    if (!value.text.empty()) value.kind = OdsValue::kText;
  }
  return value;
}

}  // namespace tavrio::automation::readers

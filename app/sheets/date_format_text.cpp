#include "app/sheets/date_format_text.h"

#include <cmath>
#include <cstdint>

#include "automation/base/serial_date.h"

namespace tavrio::app::sheets {
namespace {

constexpr std::string_view kMonthNames[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
constexpr std::string_view kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
constexpr std::string_view kChineseDays[] = {"日", "一", "二", "三", "四", "五", "六"};

std::string Padded(std::int64_t number, std::size_t width) {
  std::string text = std::to_string(number);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

struct Moment {
  std::int64_t day;
  std::int64_t second_of_day;
  std::int64_t fraction;  // of the second, in units of 10^-fraction_digits
  int fraction_digits;
};

Moment Split(double serial, int fraction_digits) {
  const std::int64_t scale = static_cast<std::int64_t>(std::pow(10, fraction_digits));
  const auto units = static_cast<std::int64_t>(std::llround(serial * 86400.0 * scale));
  const std::int64_t per_day = 86400 * scale;
  return {units / per_day, (units % per_day) / scale, units % scale, fraction_digits};
}

int FractionDigits(const FormatSection& section) {
  for (const FormatToken& token : section.tokens) {
    if (token.kind == TokenKind::kSubsecond) return static_cast<int>(token.text.size()) - 1;
  }
  return 0;
}

class DateWriter {
 public:
  DateWriter(double serial, const FormatSection& section)
      : section_(section),
        moment_(Split(serial, FractionDigits(section))),
        date_(automation::SerialDayToDate(moment_.day)),
        twelve_hour_(section.Has(TokenKind::kAmPm)) {}

  std::string Run() {
    for (const FormatToken& token : section_.tokens) Write(token);
    return out_;
  }

 private:
  void Write(const FormatToken& token) {
    const std::size_t n = token.text.size();
    const std::int64_t hour = moment_.second_of_day / 3600;
    switch (token.kind) {
      case TokenKind::kYear:
        out_ +=
            n <= 2 && token.text[0] != 'e' ? Padded(date_.year % 100, 2) : Padded(date_.year, 4);
        break;
      case TokenKind::kMonth:
        if (n <= 2)
          out_ += Padded(date_.month, n);
        else if (n == 3)
          out_ += kMonthNames[date_.month - 1].substr(0, 3);
        else if (n == 4)
          out_ += kMonthNames[date_.month - 1];
        else
          out_ += kMonthNames[date_.month - 1].substr(0, 1);
        break;
      case TokenKind::kDay:
        if (n <= 2)
          out_ += Padded(date_.day, n);
        else
          out_ += n == 3 ? kDayNames[Weekday()].substr(0, 3) : kDayNames[Weekday()];
        break;
      case TokenKind::kWeekday:
        out_ += n == 3 ? std::string(kChineseDays[Weekday()])
                       : "星期" + std::string(kChineseDays[Weekday()]);
        break;
      case TokenKind::kHour:
        out_ += Padded(twelve_hour_ ? (hour % 12 == 0 ? 12 : hour % 12) : hour,
                       std::min<std::size_t>(n, 2));
        break;
      case TokenKind::kMinute:
        out_ += Padded(moment_.second_of_day / 60 % 60, std::min<std::size_t>(n, 2));
        break;
      case TokenKind::kSecond:
        out_ += Padded(moment_.second_of_day % 60, std::min<std::size_t>(n, 2));
        break;
      case TokenKind::kSubsecond:
        out_ += "." + Padded(moment_.fraction, static_cast<std::size_t>(moment_.fraction_digits));
        break;
      case TokenKind::kAmPm:
        WriteAmPm(token.text, hour >= 12);
        break;
      case TokenKind::kElapsedHour:
        out_ += Padded(TotalSeconds() / 3600, n);
        break;
      case TokenKind::kElapsedMinute:
        out_ += Padded(TotalSeconds() / 60, n);
        break;
      case TokenKind::kElapsedSecond:
        out_ += Padded(TotalSeconds(), n);
        break;
      case TokenKind::kDigit:
      case TokenKind::kPoint:
        out_ += token.kind == TokenKind::kPoint ? "." : "";
        break;
      case TokenKind::kLiteral:
      case TokenKind::kComma:
      case TokenKind::kPercent:
        out_ += token.text;
        break;
      default:
        break;
    }
  }

  void WriteAmPm(const std::string& code, bool afternoon) {
    if (code.size() == 3) {  // A/P keeps the case it was written in
      out_ += afternoon ? code[2] : code[0];
    } else if (code[0] == 'A' || code[0] == 'a') {
      out_ += afternoon ? "PM" : "AM";
    } else {
      out_ += afternoon ? "下午" : "上午";
    }
  }

  std::int64_t TotalSeconds() const { return moment_.day * 86400 + moment_.second_of_day; }
  // The 1900 date system calls its day 1 a Sunday.
  int Weekday() const { return static_cast<int>((moment_.day + 6) % 7); }

  const FormatSection& section_;
  Moment moment_;
  automation::CalendarDate date_;
  bool twelve_hour_;
  std::string out_;
};

}  // namespace

std::string FormatDate(double serial, const FormatSection& section) {
  if (!(serial >= 0) || serial >= automation::kSerialPastLastDate) return "########";
  return DateWriter(serial, section).Run();
}

}  // namespace tavrio::app::sheets

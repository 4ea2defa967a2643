#include "automation/readers/cell_text.h"

#include <charconv>
#include <cmath>

#include "automation/base/ascii.h"
#include "automation/base/serial_date.h"
#include "automation/base/utf8.h"

namespace tavrio::automation::readers {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The UTF-16 code unit of an escape at text[at] ("_x000D_"), or -1.
int EscapeAt(std::string_view text, std::size_t at) {
  if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') {
    return -1;
  }
  int unit = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    int digit = HexValue(text[i]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

// Reads exactly `width` digits at text[at].
// Seconds of "hh:mm[:ss[.fff]]" as a fraction of a day.
bool ParseTime(std::string_view text, double& fraction) {
  int hours = 0, minutes = 0;
  if (!ParseDigits(text, 0, 2, hours) || text.size() < 5 || text[2] != ':' ||
      !ParseDigits(text, 3, 2, minutes)) {
    return false;
  }
  double seconds = 0;
  if (text.size() > 5) {
    if (text[5] != ':') return false;
    std::string_view rest = text.substr(6);
    if (rest.empty() || rest.back() == 'Z') rest.remove_suffix(rest.empty() ? 0 : 1);
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), seconds);
    if (ec != std::errc() || end != rest.data() + rest.size()) return false;
  }
  if (hours > 24 || minutes > 59 || seconds < 0 || seconds >= 61) return false;
  fraction = (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
  return true;
}

bool ParseDay(std::string_view text, bool date1904, double& serial) {
  int year = 0, month = 0, day = 0;
  if (text.size() != 10 || !ParseDigits(text, 0, 4, year) || text[4] != '-' ||
      !ParseDigits(text, 5, 2, month) || text[7] != '-' || !ParseDigits(text, 8, 2, day)) {
    return false;
  }
  const auto serial_day =
      SerialDayFromDate(year, month, day, date1904 ? DateSystem::k1904 : DateSystem::k1900);
  if (!serial_day || *serial_day < (date1904 ? 0 : 1)) return false;
  serial = static_cast<double>(*serial_day);
  return true;
}

}  // namespace

bool ParseDigits(std::string_view text, std::size_t at, std::size_t width, int& value) {
  if (at + width > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (!IsAsciiDigit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool ParseIsoDate(std::string_view text, bool date1904, double& serial) {
  std::size_t t = text.find('T');
  if (t == std::string_view::npos && text.find(':') != std::string_view::npos) {
    serial = 0;
    return ParseTime(text, serial);
  }
  if (!ParseDay(text.substr(0, t), date1904, serial)) return false;
  if (t == std::string_view::npos) return true;
  double fraction = 0;
  if (!ParseTime(text.substr(t + 1), fraction)) return false;
  serial += fraction;
  return true;
}

std::string_view DecodeEscapes(std::string_view text, std::string& scratch) {
  std::size_t first = text.find("_x");
  if (first == std::string_view::npos) return text;
  scratch.assign(text.substr(0, first));
  for (std::size_t i = first; i < text.size();) {
    int unit = EscapeAt(text, i);
    if (unit < 0) {
      scratch.push_back(text[i++]);
      continue;
    }
    i += 7;
    std::uint32_t code = static_cast<std::uint32_t>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      int low = EscapeAt(text, i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
        i += 7;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
    AppendUtf8(code, scratch);
  }
  return scratch;
}

}  // namespace tavrio::automation::readers

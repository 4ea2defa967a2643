#include "automation/engine/number_format.h"

namespace tavrio::automation::engine {

NumberFormatKind ClassifyNumberFormat(std::string_view code) {
  bool year_or_day = false, month_or_minute = false, hour_or_second = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const std::size_t end = code.find('"', i + 1);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the next character is a literal or a padding
    } else if (c == '[') {
      const std::size_t end = code.find(']', i + 1);
      if (end == std::string_view::npos) break;
      const std::string_view inside = code.substr(i + 1, end - i - 1);
      const char first = inside.empty() ? '\0' : static_cast<char>(inside[0] | 0x20);
      if (first == 'h' || first == 's') hour_or_second = true;
      if (first == 'm' && inside.find_first_not_of("mM") == std::string_view::npos) {
        hour_or_second = true;  // [mm]: elapsed minutes
      }
      i = end;
    } else {
      switch (c | 0x20) {
        case 'y':
        case 'd':
          year_or_day = true;
          break;
        case 'm':
          month_or_minute = true;
          break;
        case 'h':
        case 's':
          hour_or_second = true;
          break;
        default:
          break;
      }
    }
  }
  NumberFormatKind kind;
  kind.time = hour_or_second;
  kind.date = year_or_day || (month_or_minute && !hour_or_second);
  return kind;
}

}  // namespace tavrio::automation::engine

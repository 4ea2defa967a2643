#include "automation/engine/number_format.h"

#include <algorithm>

#include "automation/engine/number_format_code.h"

namespace tavrio::automation::engine {

NumberFormatKind ClassifyNumberFormat(std::string_view code) {
  NumberFormatKind kind;
  for (const FormatSection& section : ParseFormatCode(code)) {
    for (const FormatToken& token : section.tokens) {
      switch (token.kind) {
        case TokenKind::kYear:
        case TokenKind::kMonth:
        case TokenKind::kDay:
        case TokenKind::kWeekday:
          kind.date = true;
          break;
        case TokenKind::kMinute:
        case TokenKind::kHour:
        case TokenKind::kSecond:
        case TokenKind::kSubsecond:
        case TokenKind::kAmPm:
        case TokenKind::kElapsedHour:
        case TokenKind::kElapsedMinute:
        case TokenKind::kElapsedSecond:
          kind.time = true;
          break;
        default:
          break;
      }
    }
  }
  return kind;
}

}  // namespace tavrio::automation::engine

// Checks of the OpenDocument formula translation. Besides surviving any bytes, a translation
// must be A1 text the rest of the program takes as a formula, with nothing of OpenFormula's
// own syntax left over, and a paste there and back must give it back.

#include <algorithm>
#include <optional>
#include <string>

#include "automation/base/formula_shift.h"
#include "automation/readers/open_formula.h"
#include "automation/readers/text_encoding.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/input_checks.h"

namespace tavrio::fuzz {
namespace {

// Outside strings and quoted sheet names: brackets, '~' and '|' are OpenFormula's, a ';' only
// separates an array's rows, and the only white space is the intersection's single space.
std::string CheckNoOpenFormulaLeft(const std::string& text) {
  int braces = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      const std::size_t close = text.find(c, i + 1);
      if (close == std::string::npos) return "an unclosed quote in " + text;
      i = close;
    } else if (c == '{' || c == '}') {
      braces += c == '{' ? 1 : -1;
    } else if (c == '[' || c == ']' || c == '~' || c == '|' || c == '\t' || c == '\n' ||
               c == '\r' || (c == ';' && braces == 0)) {
      return "OpenFormula syntax left in " + text;
    }
  }
  return {};
}

std::size_t CountRefErrors(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t at = text.find("#REF!"); at != std::string::npos;
       at = text.find("#REF!", at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

std::string CheckOpenFormula(std::string_view input) {
  const std::optional<std::string> text = automation::readers::TranslateOpenFormula(input);
  if (text != automation::readers::TranslateOpenFormula(input)) {
    return "two translations of the same formula differ";
  }
  if (!text) return {};
  if (text->empty()) return "an empty formula";
  if (!automation::readers::IsValidUtf8(input)) return "a formula taken from bytes not UTF-8";
  if (std::string finding = CheckFormulaText(*text); !finding.empty()) return finding;
  if (std::string finding = CheckNoOpenFormulaLeft(*text); !finding.empty()) return finding;
  // Moved and moved back, unless the move ran a reference off the sheet's edge.
  const std::string moved = automation::ShiftFormula(*text, 3, 2);
  if (CountRefErrors(moved) == CountRefErrors(*text) &&
      automation::ShiftFormula(moved, -3, -2) != *text) {
    return "a paste there and back changes " + *text + " (moved: " + moved + ")";
  }
  return {};
}

}  // namespace tavrio::fuzz

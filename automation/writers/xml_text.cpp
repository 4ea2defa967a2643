#include "automation/writers/xml_text.h"

#include <cstdio>

namespace tavrio::automation::writers {
namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_xHHHH_" at `i`: what a reader would decode as an escaped character.
bool LooksEscaped(std::string_view text, std::size_t i) {
  if (i + 7 > text.size() || text[i + 1] != 'x' || text[i + 6] != '_') return false;
  for (std::size_t k = 2; k < 6; ++k) {
    if (!IsHex(text[i + k])) return false;
  }
  return true;
}

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const char* entity = nullptr;
    char escaped[8];
    if (c == '&') {
      entity = "&amp;";
    } else if (c == '<') {
      entity = "&lt;";
    } else if (c == '>') {
      entity = "&gt;";
    } else if (c == '"') {
      entity = "&quot;";
    } else if (c == '\r') {
      entity = "&#13;";  // a literal CR would read back as LF
    } else if ((c < 0x20 && c != '\t' && c != '\n') || (c == '_' && LooksEscaped(text, i))) {
      std::snprintf(escaped, sizeof escaped, "_x%04X_", c);
      entity = escaped;
    } else {
      continue;
    }
    out.append(text.substr(plain, i - plain));
    out.append(entity);
    plain = i + 1;
  }
  out.append(text.substr(plain));
}

bool NeedsSpacePreserved(std::string_view text) {
  if (text.empty()) return false;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  return blank(text.front()) || blank(text.back()) || text.find('\n') != std::string_view::npos;
}

}  // namespace tavrio::automation::writers

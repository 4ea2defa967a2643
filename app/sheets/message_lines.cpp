#include "app/sheets/message_lines.h"

#include <string_view>
#include <vector>

namespace tavrio::app::sheets {
namespace {

// The UTF-8 characters of `text`, each as its bytes.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xF0) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = 3;
    } else if (lead >= 0xC0) {
      length = 2;
    }
    length = std::min(length, text.size() - at);
    characters.push_back(text.substr(at, length));
    at += length;
  }
  return characters;
}

int WidthOf(std::string_view character) { return character.size() >= 3 ? 2 : 1; }

bool EndsPhrase(std::string_view c) {
  for (std::string_view sign : {"，", "。", "：", "；", "！", "？", "、"}) {
    if (c == sign) return true;
  }
  return false;
}

int DepthChange(std::string_view c) {
  if (c == "（" || c == "(" || c == "“") return 1;
  if (c == "）" || c == ")" || c == "”") return -1;
  return 0;
}

// One line of the text (no line breaks inside) cut into phrases.
std::vector<std::string> Phrases(std::string_view line) {
  std::vector<std::string> phrases(1);
  int depth = 0;
  for (std::string_view c : Characters(line)) {
    phrases.back() += c;
    depth = std::max(0, depth + DepthChange(c));
    if (depth == 0 && EndsPhrase(c)) phrases.emplace_back();
  }
  if (phrases.back().empty()) phrases.pop_back();
  return phrases;
}

int Width(std::string_view text) {
  int width = 0;
  for (std::string_view c : Characters(text)) width += WidthOf(c);
  return width;
}

std::string BreakLine(std::string_view line, int max_width) {
  std::string out;
  int width = 0;
  for (const std::string& phrase : Phrases(line)) {
    const int phrase_width = Width(phrase);
    if (width > 0 && width + phrase_width > max_width) {
      out += '\n';
      width = 0;
    }
    out += phrase;
    width += phrase_width;
  }
  return out;
}

}  // namespace

std::string BreakBetweenPhrases(const std::string& text, int max_width) {
  std::string out;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    out += BreakLine(std::string_view(text).substr(start, end - start), max_width);
    if (end == std::string::npos) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

}  // namespace tavrio::app::sheets

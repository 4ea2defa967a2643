#include "automation/writers/code_points.h"

#include "automation/base/utf8.h"

namespace tavrio::automation::writers {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

bool IsContinuation(std::string_view text, std::size_t at) {
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// The code point of a well-formed sequence at `at`, surrogates allowed; invalid otherwise.
CodePoint Single(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  std::uint8_t length;
  std::uint32_t code;
  std::uint32_t least;  // below this the sequence is overlong
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return {kReplacement, 1, false};
  }
  for (std::uint8_t i = 1; i < length; ++i) {
    if (!IsContinuation(text, at + i)) return {kReplacement, 1, false};
    code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  }
  if (code < least || code > 0x10FFFF) return {kReplacement, 1, false};
  return {code, length, true};
}

}  // namespace

CodePoint NextCodePoint(std::string_view text, std::size_t at) {
  const CodePoint first = Single(text, at);
  if (!first.valid || first.code < 0xD800 || first.code > 0xDBFF || at + 3 >= text.size()) {
    return first;
  }
  const CodePoint second = Single(text, at + 3);
  if (!second.valid || second.code < 0xDC00 || second.code > 0xDFFF) return first;
  return {0x10000 + ((first.code - 0xD800) << 10) + (second.code - 0xDC00), 6, true};
}

bool IsWellFormedUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const CodePoint point = Single(text, i);
    if (!point.valid || IsSurrogate(point.code)) return false;
    i += point.length;
  }
  return true;
}

std::string RepairedUtf8(std::string_view text, std::size_t& replaced) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    const CodePoint point = NextCodePoint(text, i);
    if (!point.valid || IsSurrogate(point.code)) {
      AppendUtf8(kReplacement, out);
      ++replaced;
    } else if (point.length == 6) {
      AppendUtf8(point.code, out);
    } else {
      out.append(text.substr(i, point.length));
    }
    i += point.length;
  }
  return out;
}

}  // namespace tavrio::automation::writers

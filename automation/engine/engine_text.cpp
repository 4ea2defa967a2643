#include "automation/engine/engine_text.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "automation/engine/sheet_limits.h"

namespace tavrio::automation::engine {
namespace {

// Decodes one UTF-8 sequence at `i`, advancing it; malformed bytes stand for themselves.
char32_t Decode(std::string_view text, std::size_t& i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  std::size_t length = byte < 0x80           ? 1
                       : (byte >> 5) == 0x6  ? 2
                       : (byte >> 4) == 0xE  ? 3
                       : (byte >> 3) == 0x1E ? 4
                                             : 1;
  if (i + length > text.size()) length = 1;
  if (length == 1) {
    ++i;
    return byte;
  }
  char32_t code = byte & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return byte;
    }
    code = (code << 6) | (next & 0x3F);
  }
  i += length;
  return code;
}

char32_t Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;  // Latin-1
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 &&
      c != 0x178) {  // Latin Extended-A
    const bool odd_is_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return odd_is_upper ? ((c & 1) ? c + 1 : c) : (c | 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
  return c;
}

std::string_view Trim(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::optional<std::uint32_t> RowNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 7) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (value < 1 || value > kMaxRows) return std::nullopt;
  return value;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (Fold(Decode(a, i)) != Fold(Decode(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size();) length += Decode(text, i) > 0xFFFF ? 2 : 1;
  return length;
}

std::optional<double> WholeNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || value != std::floor(value)) return std::nullopt;
  return value;
}

std::optional<RowSpan> ParseRowSpan(std::string_view text) {
  const std::size_t colon = text.find(':');
  const auto first = RowNumber(text.substr(0, colon));
  const auto last = colon == std::string_view::npos ? first : RowNumber(text.substr(colon + 1));
  if (!first || !last) return std::nullopt;
  return RowSpan{std::min(*first, *last), std::max(*first, *last)};
}

std::string CanonicalPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  if (error) canonical = std::filesystem::absolute(path, error).lexically_normal();
  return canonical.string();
}

}  // namespace tavrio::automation::engine

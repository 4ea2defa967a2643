#include "automation/engine/engine_text.h"

#include <unicode/uchar.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "automation/base/sheet_limits.h"

namespace tavrio::automation::engine {
namespace {

// Decodes one UTF-8 sequence at `i`, advancing it; malformed bytes stand for themselves.
UChar32 Decode(std::string_view text, std::size_t& i) {
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
  UChar32 code = byte & (0x7F >> length);
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
    if (u_foldCase(Decode(a, i), U_FOLD_CASE_DEFAULT) !=
        u_foldCase(Decode(b, j), U_FOLD_CASE_DEFAULT)) {
      return false;
    }
  }
  return i == a.size() && j == b.size();
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

#include "automation/engine/style_table.h"

#include <charconv>

#include "automation/engine/number_format.h"

namespace tavrio::automation::engine {
namespace {

// Every field in turn, each ended by a separator no format code or font name holds, so that two
// styles have one key exactly when they are equal.
class KeyBuilder {
 public:
  KeyBuilder& operator<<(const std::string& text) {
    key_ += text;
    key_ += '\x1f';
    return *this;
  }
  KeyBuilder& operator<<(double number) {
    char digits[32];
    key_.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    key_ += '\x1f';
    return *this;
  }
  KeyBuilder& operator<<(const readers::ColorInfo& color) {
    return *this << color.rgb << color.theme << color.indexed << color.tint;
  }
  KeyBuilder& operator<<(const readers::BorderSide& side) {
    return *this << side.style << side.color;
  }
  std::string Take() { return std::move(key_); }

 private:
  std::string key_;
};

std::string KeyOf(const CellStyle& style) {
  const readers::FontInfo& font = style.font;
  KeyBuilder key;
  key << style.number_format << font.name << font.size << font.bold << font.italic << font.strike
      << font.underline << font.color << style.fill.pattern << style.fill.foreground
      << style.fill.background << style.border.left << style.border.right << style.border.top
      << style.border.bottom << style.alignment.horizontal << style.alignment.vertical
      << style.alignment.wrap;
  return key.Take();
}

}  // namespace

StyleTable::StyleTable() { Intern(CellStyle{}); }

std::uint32_t StyleTable::Intern(const CellStyle& style) {
  auto [it, added] = ids_.try_emplace(KeyOf(style), static_cast<std::uint32_t>(styles_.size()));
  if (added) {
    styles_.push_back(style);
    shows_date_.push_back(ClassifyNumberFormat(style.number_format).date);
  }
  return it->second;
}

}  // namespace tavrio::automation::engine

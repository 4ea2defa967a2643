#include "automation/readers/biff_styles.h"

#include <cstdio>
#include <map>

#include "automation/readers/styles_part.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint16_t kFont = 0x0031, kFont34 = 0x0231, kFontColor2 = 0x0045;
constexpr std::uint16_t kFormat23 = 0x001E, kFormat = 0x041E;
constexpr std::uint16_t kPalette = 0x0092;
constexpr std::uint16_t kXf2 = 0x0043, kXf3 = 0x0243, kXf4 = 0x0443, kXf = 0x00E0;
constexpr unsigned kAutomatic = 0x7FFF;

// The line styles of cell borders, by their number in the records.
std::string BorderStyle(unsigned number) {
  static const char* const kStyles[] = {"",
                                        "thin",
                                        "medium",
                                        "dashed",
                                        "dotted",
                                        "thick",
                                        "double",
                                        "hair",
                                        "mediumDashed",
                                        "dashDot",
                                        "mediumDashDot",
                                        "dashDotDot",
                                        "mediumDashDotDot",
                                        "slantDashDot"};
  return number < std::size(kStyles) ? kStyles[number] : "";
}

std::string FillPattern(unsigned number) {
  static const char* const kPatterns[] = {"",
                                          "solid",
                                          "mediumGray",
                                          "darkGray",
                                          "lightGray",
                                          "darkHorizontal",
                                          "darkVertical",
                                          "darkDown",
                                          "darkUp",
                                          "darkGrid",
                                          "darkTrellis",
                                          "lightHorizontal",
                                          "lightVertical",
                                          "lightDown",
                                          "lightUp",
                                          "lightGrid",
                                          "lightTrellis",
                                          "gray125",
                                          "gray0625"};
  return number < std::size(kPatterns) ? kPatterns[number] : "";
}

std::string Horizontal(unsigned number) {
  static const char* const kAlignments[] = {"",     "left",    "center",           "right",
                                            "fill", "justify", "centerContinuous", "distributed"};
  return kAlignments[number & 7];
}

std::string Vertical(unsigned number) {
  static const char* const kAlignments[] = {"top", "center", "", "justify", "distributed"};
  return number < std::size(kAlignments) ? kAlignments[number] : "";
}

std::string Underline(unsigned number) {
  switch (number) {
    case 1:
      return "single";
    case 2:
      return "double";
    case 0x21:
      return "singleAccounting";
    case 0x22:
      return "doubleAccounting";
    default:
      return "";
  }
}

unsigned Bits(std::uint32_t value, unsigned from, unsigned count) {
  return (value >> from) & ((1u << count) - 1);
}

// What makes two looks the same, for sharing one style between the XFs that have it.
std::string Key(const StyleInfo& style) {
  std::string key = style.number_format;
  auto add = [&key](const std::string& part) {
    key += '\x1F';
    key += part;
  };
  auto color = [&add](const ColorInfo& c) { add(c.rgb + "/" + std::to_string(c.indexed)); };
  const FontInfo& font = style.font;
  add(font.name);
  add(std::to_string(font.size) + (font.bold ? "b" : "") + (font.italic ? "i" : "") +
      (font.strike ? "s" : ""));
  add(font.underline);
  color(font.color);
  add(style.fill.pattern);
  color(style.fill.foreground);
  color(style.fill.background);
  for (const BorderSide* side :
       {&style.border.left, &style.border.right, &style.border.top, &style.border.bottom}) {
    add(side->style);
    color(side->color);
  }
  add(style.alignment.horizontal + "/" + style.alignment.vertical +
      (style.alignment.wrap ? "/w" : ""));
  return key;
}

}  // namespace

bool BiffStyles::Take(const BiffRecord& record, const BiffText& text) {
  const BiffVersion version = text.version();
  switch (record.type) {
    case kFont:
    case kFont34:
      Font(record, text);
      return true;
    case kFontColor2:
      if (!font_colors_.empty()) font_colors_.back() = BiffU16(record.data, 0);
      return true;
    case kFormat23:
    case kFormat:
      numbered_formats_ = version >= BiffVersion::kBiff5;
      Format(record, text);
      return true;
    case kPalette:
      Palette(record);
      return true;
    case kXf2:
    case kXf3:
    case kXf4:
    case kXf:
      XfRecord(record, version);
      return true;
    default:
      return false;
  }
}

void BiffStyles::Font(const BiffRecord& record, const BiffText& text) {
  const std::string_view data = record.data;
  FontInfo font;
  font.size = BiffU16(data, 0) / 20.0;
  const std::uint16_t options = BiffU16(data, 2);
  font.italic = (options & 0x02) != 0;
  font.strike = (options & 0x08) != 0;
  unsigned color = kAutomatic;
  std::size_t name_at = 4;
  if (text.version() >= BiffVersion::kBiff5) {
    color = BiffU16(data, 4);
    font.bold = BiffU16(data, 6) >= 700;
    font.underline = Underline(BiffU8(data, 10));
    name_at = 14;
  } else {
    font.bold = (options & 0x01) != 0;
    if (options & 0x04) font.underline = "single";
    if (text.version() != BiffVersion::kBiff2) color = BiffU16(data, 4), name_at = 6;
  }
  font.name = text.ReadAt(data, name_at, 1);
  if (font.size > 409) font.size = 0;
  fonts_.push_back(std::move(font));
  font_colors_.push_back(color);
}

// BIFF2-4 number their formats by position (and write the built-in ones out); BIFF5 on give
// each FORMAT record its id and leave the built-in ones out.
void BiffStyles::Format(const BiffRecord& record, const BiffText& text) {
  const std::string_view data = record.data;
  int id = static_cast<int>(formats_.size());
  std::size_t at = 0;
  if (text.version() >= BiffVersion::kBiff5) {
    id = BiffU16(data, 0);
    at = 2;
  } else if (text.version() == BiffVersion::kBiff4) {
    at = 2;
  }
  std::string code = text.ReadAt(data, at, text.version() == BiffVersion::kBiff8 ? 2 : 1);
  formats_.insert_or_assign(id, code.empty() ? std::string("General") : std::move(code));
}

void BiffStyles::Palette(const BiffRecord& record) {
  const std::size_t count = BiffU16(record.data, 0);
  palette_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    char rgb[9];
    std::snprintf(rgb, sizeof rgb, "FF%02X%02X%02X", BiffU8(record.data, 2 + 4 * i),
                  BiffU8(record.data, 3 + 4 * i), BiffU8(record.data, 4 + 4 * i));
    palette_.emplace_back(rgb);
  }
}

void BiffStyles::XfRecord(const BiffRecord& record, BiffVersion version) {
  const std::string_view data = record.data;
  Xf xf;
  auto border = [&xf](int side, unsigned style, unsigned color) {
    xf.borders[side] = BorderStyle(style);
    xf.border_colors[side] = color;
  };
  if (version == BiffVersion::kBiff8) {
    xf.font = BiffU16(data, 0);
    xf.format = BiffU16(data, 2);
    const std::uint8_t align = BiffU8(data, 6);
    xf.alignment = {Horizontal(Bits(align, 0, 3)), Vertical(Bits(align, 4, 3)), (align & 8) != 0};
    const std::uint32_t lines = BiffU32(data, 10), more = BiffU32(data, 14);
    const std::uint16_t fill = BiffU16(data, 18);
    border(0, Bits(lines, 0, 4), Bits(lines, 16, 7));
    border(1, Bits(lines, 4, 4), Bits(lines, 23, 7));
    border(2, Bits(lines, 8, 4), Bits(more, 0, 7));
    border(3, Bits(lines, 12, 4), Bits(more, 7, 7));
    xf.pattern = FillPattern(Bits(more, 26, 6));
    xf.fill_colors[0] = Bits(fill, 0, 7);
    xf.fill_colors[1] = Bits(fill, 7, 7);
  } else if (version == BiffVersion::kBiff5) {
    xf.font = BiffU16(data, 0);
    xf.format = BiffU16(data, 2);
    const std::uint8_t align = BiffU8(data, 6);
    xf.alignment = {Horizontal(Bits(align, 0, 3)), Vertical(Bits(align, 4, 3)), (align & 8) != 0};
    const std::uint32_t area = BiffU32(data, 8), lines = BiffU32(data, 12);
    xf.fill_colors[0] = Bits(area, 0, 7);
    xf.fill_colors[1] = Bits(area, 7, 7);
    xf.pattern = FillPattern(Bits(area, 16, 6));
    border(3, Bits(area, 22, 3), Bits(area, 25, 7));
    border(2, Bits(lines, 0, 3), Bits(lines, 9, 7));
    border(0, Bits(lines, 3, 3), Bits(lines, 16, 7));
    border(1, Bits(lines, 6, 3), Bits(lines, 23, 7));
  } else if (version == BiffVersion::kBiff2) {
    xf.font = BiffU8(data, 0);
    xf.format = BiffU8(data, 2) & 0x3F;
    const std::uint8_t look = BiffU8(data, 3);
    xf.alignment.horizontal = Horizontal(Bits(look, 0, 3));
    for (int side = 0; side < 4; ++side) {
      if (look & (0x08 << side)) border(side, 1, 64);
    }
    if (look & 0x80) xf.pattern = "gray125";
  } else {
    // BIFF3 and BIFF4 differ in where the alignment sits; fills and borders are alike.
    xf.font = BiffU8(data, 0);
    xf.format = BiffU8(data, 1);
    const std::uint16_t align = version == BiffVersion::kBiff3 ? BiffU16(data, 4) : BiffU8(data, 4);
    xf.alignment.horizontal = Horizontal(Bits(align, 0, 3));
    xf.alignment.wrap = (align & 8) != 0;
    if (version == BiffVersion::kBiff4) xf.alignment.vertical = Vertical(Bits(align, 4, 2));
    const std::uint16_t fill = BiffU16(data, 6);
    const std::uint32_t lines = BiffU32(data, 8);
    xf.pattern = FillPattern(Bits(fill, 0, 6));
    xf.fill_colors[0] = Bits(fill, 6, 5);
    xf.fill_colors[1] = Bits(fill, 11, 5);
    border(2, Bits(lines, 0, 3), Bits(lines, 3, 5));
    border(0, Bits(lines, 8, 3), Bits(lines, 11, 5));
    border(3, Bits(lines, 16, 3), Bits(lines, 19, 5));
    border(1, Bits(lines, 24, 3), Bits(lines, 27, 5));
  }
  // Font number 4 names no record in any generation: the numbering skips it.
  if (xf.font == 4) {
    xf.font = -1;
  } else if (xf.font > 4) {
    --xf.font;
  }
  xfs_.push_back(std::move(xf));
}

ColorInfo BiffStyles::Color(unsigned index) const {
  ColorInfo color;
  if (index >= 8 && index - 8 < palette_.size()) {
    color.rgb = palette_[index - 8];
  } else if (index < 64) {
    color.indexed = static_cast<int>(index);
  }
  return color;
}

StyleInfo BiffStyles::StyleOf(const Xf& xf) const {
  StyleInfo style;
  if (auto own = formats_.find(xf.format); own != formats_.end()) {
    style.number_format = own->second;
  } else if (numbered_formats_) {
    std::string_view built_in = BuiltInNumberFormat(static_cast<unsigned>(xf.format));
    if (!built_in.empty()) style.number_format = std::string(built_in);
  }
  if (xf.font >= 0 && static_cast<std::size_t>(xf.font) < fonts_.size()) {
    style.font = fonts_[xf.font];
    style.font.color = Color(font_colors_[xf.font]);
  }
  if (!xf.pattern.empty()) {
    style.fill = {xf.pattern, Color(xf.fill_colors[0]), Color(xf.fill_colors[1])};
  }
  BorderSide* sides[] = {&style.border.left, &style.border.right, &style.border.top,
                         &style.border.bottom};
  for (int side = 0; side < 4; ++side) {
    if (xf.borders[side].empty()) continue;
    sides[side]->style = xf.borders[side];
    sides[side]->color = Color(xf.border_colors[side]);
  }
  style.alignment = xf.alignment;
  return style;
}

void BiffStyles::Finish(std::vector<StyleInfo>& styles,
                        std::vector<std::uint32_t>& xf_styles) const {
  styles.assign(1, StyleInfo{});
  xf_styles.clear();
  std::map<std::string, std::uint32_t> by_key;
  auto add = [&](const StyleInfo& style) {
    auto [found, added] = by_key.try_emplace(Key(style), static_cast<std::uint32_t>(styles.size()));
    if (added) styles.push_back(style);
    xf_styles.push_back(found->second);
  };
  if (xfs_.empty() && !numbered_formats_) {
    for (std::size_t i = 0; i < formats_.size(); ++i) {
      Xf by_format;
      by_format.format = static_cast<int>(i);
      add(StyleOf(by_format));
    }
    return;
  }
  for (const Xf& xf : xfs_) add(StyleOf(xf));
}

}  // namespace tavrio::automation::readers

#include "automation/readers/styles_part.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

struct BuiltIn {
  unsigned id;
  std::string_view code;
};

// ECMA-376 built-in formats; 27-36 and 50-58 are the ones its zh-CN locale defines.
constexpr BuiltIn kBuiltIns[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},
    {14, "yyyy/m/d"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "yyyy/m/d h:mm"},
    {27, "yyyy\"年\"m\"月\""},
    {28, "m\"月\"d\"日\""},
    {29, "m\"月\"d\"日\""},
    {30, "m-d-yy"},
    {31, "yyyy\"年\"m\"月\"d\"日\""},
    {32, "h\"时\"mm\"分\""},
    {33, "h\"时\"mm\"分\"ss\"秒\""},
    {34, "上午/下午h\"时\"mm\"分\""},
    {35, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
    {36, "yyyy\"年\"m\"月\""},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mmss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
    {50, "yyyy\"年\"m\"月\""},
    {51, "m\"月\"d\"日\""},
    {52, "yyyy\"年\"m\"月\""},
    {53, "m\"月\"d\"日\""},
    {54, "m\"月\"d\"日\""},
    {55, "上午/下午h\"时\"mm\"分\""},
    {56, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
    {57, "yyyy\"年\"m\"月\""},
    {58, "m\"月\"d\"日\""},
};

bool ParseId(const char* text, unsigned& id) {
  const char* end = text + std::strlen(text);
  auto [stop, ec] = std::from_chars(text, end, id);
  return ec == std::errc() && stop == end;
}

std::unordered_map<unsigned, std::string> CustomFormats(pugi::xml_node root,
                                                        std::string_view part) {
  std::unordered_map<unsigned, std::string> formats;
  for (pugi::xml_node format = FirstChild(FirstChild(root, "numFmts"), "numFmt"); format;
       format = format.next_sibling()) {
    if (!IsNamed(format, "numFmt")) continue;
    const char* id = AttributeValue(format, "numFmtId");
    const char* code = AttributeValue(format, "formatCode");
    unsigned number = 0;
    if (id == nullptr || code == nullptr || !ParseId(id, number)) {
      throw ReadFault("文件已损坏：" + PartName(part) + "中的数字格式定义不完整");
    }
    std::string scratch;
    std::string_view decoded = DecodeEscapes(code, scratch);
    // An empty code shows as General in spreadsheet applications; keep it from hiding the
    // built-in format of the same id too.
    formats[number] = decoded.empty() ? std::string("General") : std::string(decoded);
  }
  return formats;
}

// An attribute as an index, or -1 when absent or not a number.
int IndexAttribute(pugi::xml_node node, std::string_view name) {
  unsigned value = 0;
  const char* text = AttributeValue(node, name);
  if (text == nullptr || !ParseId(text, value) || value > 0xFFFF) return -1;
  return static_cast<int>(value);
}

double NumberAttribute(pugi::xml_node node, std::string_view name) {
  const char* text = AttributeValue(node, name);
  if (text == nullptr) return 0;
  double value = 0;
  const char* end = text + std::strlen(text);
  auto [stop, ec] = std::from_chars(text, end, value);
  return ec == std::errc() && stop == end && std::isfinite(value) ? value : 0;
}

std::string TextAttribute(pugi::xml_node node, std::string_view name) {
  const char* text = AttributeValue(node, name);
  return text == nullptr ? std::string() : std::string(text);
}

// <b/>, <b val="1"/> and <b val="true"/> switch a font property on; <b val="0"/> off.
bool Switched(pugi::xml_node font, std::string_view name) {
  pugi::xml_node element = FirstChild(font, name);
  if (!element) return false;
  const char* value = AttributeValue(element, "val");
  return value == nullptr || (std::strcmp(value, "0") != 0 && std::strcmp(value, "false") != 0);
}

ColorInfo ColorOf(pugi::xml_node color) {
  ColorInfo info;
  if (!color || AttributeValue(color, "auto") != nullptr) return info;
  info.rgb = TextAttribute(color, "rgb");
  info.theme = IndexAttribute(color, "theme");
  info.indexed = IndexAttribute(color, "indexed");
  if (info.IsSet()) info.tint = NumberAttribute(color, "tint");
  return info;
}

FontInfo FontOf(pugi::xml_node font) {
  FontInfo info;
  info.name = TextAttribute(FirstChild(font, "name"), "val");
  info.size = NumberAttribute(FirstChild(font, "sz"), "val");
  if (info.size < 0 || info.size > 409) info.size = 0;
  info.bold = Switched(font, "b");
  info.italic = Switched(font, "i");
  info.strike = Switched(font, "strike");
  if (pugi::xml_node underline = FirstChild(font, "u")) {
    info.underline = TextAttribute(underline, "val");
    if (info.underline.empty()) info.underline = "single";
    if (info.underline == "none") info.underline.clear();
  }
  info.color = ColorOf(FirstChild(font, "color"));
  return info;
}

// Gradient fills are not kept: a cell with one shows no fill.
FillInfo FillOf(pugi::xml_node fill) {
  FillInfo info;
  pugi::xml_node pattern = FirstChild(fill, "patternFill");
  if (!pattern) return info;
  info.pattern = TextAttribute(pattern, "patternType");
  if (info.pattern == "none") info.pattern.clear();
  if (info.pattern.empty()) return info;
  info.foreground = ColorOf(FirstChild(pattern, "fgColor"));
  info.background = ColorOf(FirstChild(pattern, "bgColor"));
  return info;
}

BorderSide SideOf(pugi::xml_node border, std::string_view name) {
  BorderSide side;
  pugi::xml_node element = FirstChild(border, name);
  side.style = TextAttribute(element, "style");
  if (side.style == "none") side.style.clear();
  if (!side.style.empty()) side.color = ColorOf(FirstChild(element, "color"));
  return side;
}

BorderInfo BorderOf(pugi::xml_node border) {
  // Right-to-left writers may say start and end for left and right.
  const bool has_left = static_cast<bool>(FirstChild(border, "left"));
  const bool has_right = static_cast<bool>(FirstChild(border, "right"));
  return BorderInfo{SideOf(border, has_left ? "left" : "start"),
                    SideOf(border, has_right ? "right" : "end"), SideOf(border, "top"),
                    SideOf(border, "bottom")};
}

AlignmentInfo AlignmentOf(pugi::xml_node xf) {
  AlignmentInfo info;
  pugi::xml_node alignment = FirstChild(xf, "alignment");
  if (!alignment) return info;
  info.horizontal = TextAttribute(alignment, "horizontal");
  if (info.horizontal == "general") info.horizontal.clear();
  info.vertical = TextAttribute(alignment, "vertical");
  if (info.vertical == "bottom") info.vertical.clear();
  const char* wrap = AttributeValue(alignment, "wrapText");
  info.wrap = wrap != nullptr && (std::strcmp(wrap, "1") == 0 || std::strcmp(wrap, "true") == 0);
  return info;
}

// What a colour given by theme or palette index stands for in this workbook.
struct Palette {
  const ThemeColors& theme;
  std::vector<std::string> custom;  // <indexedColors>, when the workbook redefines the palette
};

std::vector<std::string> CustomPalette(pugi::xml_node root) {
  std::vector<std::string> palette;
  for (pugi::xml_node entry = FirstChild(FirstChild(root, "colors"), "indexedColors").first_child();
       entry; entry = entry.next_sibling()) {
    if (IsNamed(entry, "rgbColor")) palette.push_back(TextAttribute(entry, "rgb"));
  }
  return palette;
}

// "AARRGGBB" or "RRGGBB" as 0xRRGGBB.
bool ParseRgb(std::string_view text, std::uint32_t& rgb) {
  if (text.size() != 6 && text.size() != 8) return false;
  std::string_view digits = text.substr(text.size() - 6);
  auto [stop, ec] = std::from_chars(digits.data(), digits.data() + 6, rgb, 16);
  return ec == std::errc() && stop == digits.data() + 6;
}

// Resolves a theme colour, or an entry of a redefined palette, to ARGB with its tint applied,
// since the saved workbook has neither this theme nor this palette. A theme index past the
// scheme turns automatic. The standard palette means the same everywhere and stays indexed,
// as do the system colours 64 and 65.
void Resolve(ColorInfo& color, const Palette& palette) {
  std::uint32_t rgb = 0;
  if (!color.rgb.empty()) {
    if (color.tint != 0 && ParseRgb(color.rgb, rgb)) {
      color.rgb = OpaqueArgb(ApplyTint(rgb, color.tint));
      color.tint = 0;
    }
    return;
  }
  if (color.theme >= 0) {
    if (static_cast<std::size_t>(color.theme) >= palette.theme.size()) {
      color = ColorInfo{};
      return;
    }
    rgb = palette.theme[color.theme];
  } else if (color.indexed < 0 ||
             static_cast<std::size_t>(color.indexed) >= palette.custom.size() ||
             !ParseRgb(palette.custom[color.indexed], rgb)) {
    return;
  }
  color = ColorInfo{OpaqueArgb(ApplyTint(rgb, color.tint)), -1, -1, 0};
}

void ResolveColors(std::vector<FontInfo>& fonts, std::vector<FillInfo>& fills,
                   std::vector<BorderInfo>& borders, const Palette& palette) {
  for (FontInfo& font : fonts) Resolve(font.color, palette);
  for (FillInfo& fill : fills) {
    Resolve(fill.foreground, palette);
    Resolve(fill.background, palette);
  }
  for (BorderInfo& border : borders) {
    for (BorderSide* side : {&border.left, &border.right, &border.top, &border.bottom}) {
      Resolve(side->color, palette);
    }
  }
}

template <typename Info>
std::vector<Info> ListOf(pugi::xml_node root, std::string_view list, std::string_view item,
                         Info (*parse)(pugi::xml_node)) {
  std::vector<Info> infos;
  for (pugi::xml_node node = FirstChild(root, list).first_child(); node;
       node = node.next_sibling()) {
    if (IsNamed(node, item)) infos.push_back(parse(node));
  }
  return infos;
}

// The entry an xf's id attribute picks; a missing or dangling id gives the default, since a
// cosmetic slip should not make a whole workbook unreadable.
template <typename Info>
Info Pick(const std::vector<Info>& infos, pugi::xml_node xf, std::string_view id_name) {
  const int id = IndexAttribute(xf, id_name);
  return id >= 0 && static_cast<std::size_t>(id) < infos.size() ? infos[id] : Info{};
}

}  // namespace

std::string_view BuiltInNumberFormat(unsigned id) {
  for (const BuiltIn& built_in : kBuiltIns) {
    if (built_in.id == id) return built_in.code;
  }
  return {};
}

std::vector<StyleInfo> ParseStylesPart(std::string xml, std::string_view part,
                                       const ThemeColors& theme) {
  XmlPart document(std::move(xml), part);
  const pugi::xml_node root = document.root();
  auto custom = CustomFormats(root, part);
  auto fonts = ListOf(root, "fonts", "font", &FontOf);
  auto fills = ListOf(root, "fills", "fill", &FillOf);
  auto borders = ListOf(root, "borders", "border", &BorderOf);
  ResolveColors(fonts, fills, borders, Palette{theme, CustomPalette(root)});
  std::vector<StyleInfo> styles;
  for (pugi::xml_node xf = FirstChild(root, "cellXfs").first_child(); xf; xf = xf.next_sibling()) {
    if (!IsNamed(xf, "xf")) continue;
    StyleInfo style;
    style.font = Pick(fonts, xf, "fontId");
    style.fill = Pick(fills, xf, "fillId");
    style.border = Pick(borders, xf, "borderId");
    style.alignment = AlignmentOf(xf);
    unsigned id = 0;
    const char* id_text = AttributeValue(xf, "numFmtId");
    if (id_text != nullptr && !ParseId(id_text, id)) {
      throw ReadFault("文件已损坏：" + PartName(part) + "中的数字格式编号“" + id_text + "”无效");
    }
    if (auto found = custom.find(id); found != custom.end()) {
      style.number_format = found->second;
    } else if (std::string_view code = BuiltInNumberFormat(id); !code.empty()) {
      style.number_format = std::string(code);
    }
    styles.push_back(std::move(style));
  }
  if (styles.empty()) styles.emplace_back();
  return styles;
}

}  // namespace tavrio::automation::readers

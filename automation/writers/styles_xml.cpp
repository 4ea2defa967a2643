#include "automation/writers/styles_xml.h"

#include <charconv>
#include <unordered_map>
#include <vector>

#include "automation/writers/xml_text.h"

namespace tavrio::automation::writers {
namespace {

using readers::BorderInfo;
using readers::BorderSide;
using readers::ColorInfo;
using readers::FillInfo;
using readers::FontInfo;

constexpr char kDefaultFontName[] = "Calibri";
constexpr double kDefaultFontSize = 11;
// Ids below this are the built-in number formats; a workbook's own start here.
constexpr int kFirstCustomFormat = 164;

std::string Number(double value) {
  char digits[32];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string Attribute(const char* name, const std::string& value) {
  std::string out = std::string(" ") + name + "=\"";
  AppendXmlAttribute(out, value);
  return out + "\"";
}

// An empty string for an automatic colour.
std::string ColorXml(const char* element, const ColorInfo& color) {
  if (!color.IsSet()) return {};
  std::string xml = std::string("<") + element;
  if (!color.rgb.empty()) {
    xml += Attribute("rgb", color.rgb);
  } else if (color.theme >= 0) {
    xml += Attribute("theme", std::to_string(color.theme));
  } else {
    xml += Attribute("indexed", std::to_string(color.indexed));
  }
  if (color.tint != 0) xml += Attribute("tint", Number(color.tint));
  return xml + "/>";
}

std::string FontXml(const FontInfo& font) {
  std::string xml = "<font>";
  if (font.bold) xml += "<b/>";
  if (font.italic) xml += "<i/>";
  if (font.strike) xml += "<strike/>";
  if (!font.underline.empty()) {
    xml += font.underline == "single" ? "<u/>" : "<u" + Attribute("val", font.underline) + "/>";
  }
  xml += "<sz" + Attribute("val", Number(font.size > 0 ? font.size : kDefaultFontSize)) + "/>";
  xml += ColorXml("color", font.color);
  xml += "<name" + Attribute("val", font.name.empty() ? kDefaultFontName : font.name) + "/>";
  return xml + "</font>";
}

std::string FillXml(const FillInfo& fill) {
  if (fill.pattern.empty()) return "<fill><patternFill patternType=\"none\"/></fill>";
  return "<fill><patternFill" + Attribute("patternType", fill.pattern) + ">" +
         ColorXml("fgColor", fill.foreground) + ColorXml("bgColor", fill.background) +
         "</patternFill></fill>";
}

std::string SideXml(const char* element, const BorderSide& side) {
  if (side.style.empty()) return std::string("<") + element + "/>";
  return std::string("<") + element + Attribute("style", side.style) + ">" +
         ColorXml("color", side.color) + "</" + element + ">";
}

std::string BorderXml(const BorderInfo& border) {
  return "<border>" + SideXml("left", border.left) + SideXml("right", border.right) +
         SideXml("top", border.top) + SideXml("bottom", border.bottom) + "<diagonal/></border>";
}

// The distinct XML of one kind of entry, in order of first use, the first ones fixed.
class Entries {
 public:
  explicit Entries(std::vector<std::string> fixed) {
    for (std::string& xml : fixed) Id(std::move(xml));
  }
  int Id(std::string xml) {
    auto [it, added] = ids_.try_emplace(xml, static_cast<int>(ids_.size()));
    if (added) xml_ += xml;
    return it->second;
  }
  std::string List(const char* element) const {
    return std::string("<") + element + " count=\"" + std::to_string(ids_.size()) + "\">" + xml_ +
           "</" + element + ">";
  }

 private:
  std::unordered_map<std::string, int> ids_;
  std::string xml_;
};

std::string AlignmentXml(const readers::AlignmentInfo& alignment) {
  std::string xml;
  if (!alignment.horizontal.empty()) xml += Attribute("horizontal", alignment.horizontal);
  if (!alignment.vertical.empty()) xml += Attribute("vertical", alignment.vertical);
  if (alignment.wrap) xml += " wrapText=\"1\"";
  return xml.empty() ? xml : "<alignment" + xml + "/>";
}

}  // namespace

std::string StylesXml(const engine::StyleTable& styles, std::size_t& replaced) {
  std::unordered_map<std::string, int> format_ids{{"General", 0}};
  std::string formats;
  Entries fonts({FontXml(FontInfo{})});
  // Spreadsheet applications reserve the first two fills, whatever they say.
  Entries fills({FillXml(FillInfo{}), FillXml(FillInfo{"gray125", {}, {}})});
  Entries borders({BorderXml(BorderInfo{})});
  std::string cell_formats;
  for (std::uint32_t id = 0; id < styles.size(); ++id) {
    const engine::CellStyle& style = styles.Get(id);
    const auto [format, added] = format_ids.try_emplace(
        style.number_format, kFirstCustomFormat + static_cast<int>(format_ids.size()) - 1);
    if (added) {
      formats += "<numFmt numFmtId=\"" + std::to_string(format->second) + "\" formatCode=\"";
      if (AppendXmlAttribute(formats, style.number_format) != 0) ++replaced;
      formats += "\"/>";
    }
    const int font = fonts.Id(FontXml(style.font));
    const int fill = style.fill.pattern.empty() ? 0 : fills.Id(FillXml(style.fill));
    const int border = borders.Id(BorderXml(style.border));
    const std::string alignment = AlignmentXml(style.alignment);
    cell_formats += "<xf numFmtId=\"" + std::to_string(format->second) + "\" fontId=\"" +
                    std::to_string(font) + "\" fillId=\"" + std::to_string(fill) +
                    "\" borderId=\"" + std::to_string(border) + "\" xfId=\"0\"";
    if (format->second != 0) cell_formats += " applyNumberFormat=\"1\"";
    if (font != 0) cell_formats += " applyFont=\"1\"";
    if (fill != 0) cell_formats += " applyFill=\"1\"";
    if (border != 0) cell_formats += " applyBorder=\"1\"";
    cell_formats += alignment.empty() ? "/>" : " applyAlignment=\"1\">" + alignment + "</xf>";
  }
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
  if (format_ids.size() > 1) {
    xml += "<numFmts count=\"" + std::to_string(format_ids.size() - 1) + "\">" + formats +
           "</numFmts>";
  }
  xml += fonts.List("fonts") + fills.List("fills") + borders.List("borders");
  xml +=
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\"/></cellStyleXfs>";
  xml += "<cellXfs count=\"" + std::to_string(styles.size()) + "\">" + cell_formats + "</cellXfs>";
  xml +=
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
      "</cellStyles></styleSheet>";
  return xml;
}

}  // namespace tavrio::automation::writers

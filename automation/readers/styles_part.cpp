#include "automation/readers/styles_part.h"

#include <charconv>
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
    formats[number] = std::string(DecodeEscapes(code, scratch));
  }
  return formats;
}

}  // namespace

std::string_view BuiltInNumberFormat(unsigned id) {
  for (const BuiltIn& built_in : kBuiltIns) {
    if (built_in.id == id) return built_in.code;
  }
  return {};
}

std::vector<StyleInfo> ParseStylesPart(std::string xml, std::string_view part) {
  XmlPart document(std::move(xml), part);
  auto custom = CustomFormats(document.root(), part);
  std::vector<StyleInfo> styles;
  for (pugi::xml_node xf = FirstChild(document.root(), "cellXfs").first_child(); xf;
       xf = xf.next_sibling()) {
    if (!IsNamed(xf, "xf")) continue;
    StyleInfo style;
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

#include "automation/readers/xml_document.h"

#include <cstring>

#include "automation/readers/read_fault.h"
#include "automation/readers/xml_scanner.h"

namespace tavrio::automation::readers {
namespace {

struct IgnoreTags {
  bool Opened(const ScannedTag&) { return true; }
  bool Closed(std::string_view, std::size_t, std::size_t) { return true; }
};

const char* StatusText(pugi::xml_parse_status status) {
  switch (status) {
    case pugi::status_out_of_memory:
      return "内存不足";
    case pugi::status_unrecognized_tag:
      return "无法识别的标签";
    case pugi::status_bad_pi:
      return "处理指令有误";
    case pugi::status_bad_comment:
      return "注释有误";
    case pugi::status_bad_cdata:
      return "CDATA 段有误";
    case pugi::status_bad_doctype:
      return "文档类型声明有误";
    case pugi::status_bad_pcdata:
      return "文本有误";
    case pugi::status_bad_start_element:
      return "开始标签有误";
    case pugi::status_bad_attribute:
      return "属性有误";
    case pugi::status_bad_end_element:
      return "结束标签有误";
    case pugi::status_end_element_mismatch:
      return "开始标签与结束标签不匹配";
    case pugi::status_no_document_element:
      return "没有根元素";
    default:
      return "格式有误";
  }
}

}  // namespace

void CheckParseResult(const pugi::xml_parse_result& result, std::string_view part,
                      std::uint64_t base) {
  if (result) return;
  throw ReadFault("文件已损坏：" + PartName(part) + "不是有效的 XML：" + StatusText(result.status) +
                  AtOffset(base + result.offset));
}

XmlPart::XmlPart(std::string text, std::string_view part) : text_(std::move(text)) {
  static constexpr std::string_view kBom = "\xEF\xBB\xBF";
  std::size_t start = std::string_view(text_).substr(0, 3) == kBom ? kBom.size() : 0;
  std::string_view body = std::string_view(text_).substr(start);
  // The scan refuses declarations and absurd nesting before pugixml sees the text; pugixml
  // then judges well-formedness, with the more telling message.
  XmlScanner scanner(part);
  IgnoreTags ignore;
  std::size_t stop = scanner.Scan(body, 0, start, ignore);
  auto result = document_.load_buffer_inplace(text_.data() + start, body.size(), kXmlParseFlags,
                                              pugi::encoding_utf8);
  CheckParseResult(result, part, start);
  if (stop != body.size() || scanner.depth() != 0) {
    throw ReadFault("文件已损坏：" + PartName(part) + "不是有效的 XML：意外结束" +
                    AtOffset(start + stop));
  }
}

std::string_view LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(name);
}

bool IsNamed(pugi::xml_node node, std::string_view local_name) {
  return node.type() == pugi::node_element && LocalName(node.name()) == local_name;
}

pugi::xml_node FirstChild(pugi::xml_node node, std::string_view local_name) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (IsNamed(child, local_name)) return child;
  }
  return {};
}

const char* AttributeValue(pugi::xml_node node, std::string_view name) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (name == a.name()) return a.value();
  }
  return nullptr;
}

void AppendText(pugi::xml_node node, std::string& out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      out.append(child.value());
    }
  }
}

}  // namespace tavrio::automation::readers

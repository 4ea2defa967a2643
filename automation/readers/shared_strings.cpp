#include "automation/readers/shared_strings.h"

#include "automation/base/ascii.h"
#include "automation/readers/cell_text.h"
#include "automation/readers/xml_tokenizer.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::size_t SkipSpace(std::string_view data, std::size_t pos) {
  while (pos < data.size() && IsXmlSpace(data[pos])) ++pos;
  return pos;
}

// Passes over the declaration, comments and processing instructions before the root, and
// returns where the root's start tag begins.
std::size_t Prolog(XmlTokenizer& xml) {
  const std::string_view data = xml.data();
  for (std::size_t pos = SkipSpace(data, 0);; pos = SkipSpace(data, pos)) {
    if (pos == data.size()) xml.Malformed(pos, "没有根元素");
    if (data[pos] != '<') xml.Malformed(pos, "根元素之前有多余的文本");
    const char next = xml.At(pos + 1);
    if (next != '!' && next != '?') return pos;
    pos = xml.SkipMarkup(pos);
  }
}

// Allows only white space, comments and processing instructions after the root.
void Epilogue(XmlTokenizer& xml, std::size_t pos) {
  const std::string_view data = xml.data();
  for (pos = SkipSpace(data, pos); pos < data.size(); pos = SkipSpace(data, pos)) {
    if (data[pos] != '<' || (xml.At(pos + 1) != '!' && xml.At(pos + 1) != '?')) {
      xml.Malformed(pos, "根元素之后有多余的内容");
    }
    pos = xml.SkipMarkup(pos);
  }
}

// Reads the root's children: each <si> adds its text to `strings`, anything else is skipped.
std::size_t Items(XmlTokenizer& xml, const XmlTokenizer::Tag& root, SharedStrings& strings) {
  if (root.self_closing) return root.end;
  xml.Enter(root.begin);
  std::string text;
  std::string scratch;
  std::size_t pos = root.end;
  while (true) {
    const std::size_t at = xml.NextTag(pos);
    const char next = xml.At(at + 1);
    if (next == '/') break;
    if (next == '!' || next == '?') {
      pos = xml.SkipMarkup(at);
      continue;
    }
    XmlTokenizer::Tag child;
    // An item without attributes, as applications write every one, needs no start-tag parse;
    // with the same for its <t>, 14 M instructions less for the first 20 files of the
    // benchmark's many set (`valgrind --tool=callgrind tavrio-bench-merge`).
    if (xml.HasAt(at, "<si>")) {
      child = XmlTokenizer::Tag{at, at + 4, "si", false};
    } else {
      xml.StartTag(at, child);
    }
    if (child.name != "si") {
      pos = xml.SkipElement(child);
      continue;
    }
    text.clear();
    pos = xml.StringItem(child, text);
    strings.Add(DecodeEscapes(text, scratch));
  }
  xml.Leave();
  return xml.EndTag(xml.NextTag(pos), root.name);
}

}  // namespace

SharedStrings ParseSharedStrings(std::string xml_text, std::string_view part) {
  std::string_view body = xml_text;
  const std::size_t bom = body.starts_with(kBom) ? kBom.size() : 0;
  body.remove_prefix(bom);
  XmlTokenizer xml(part);
  xml.Reset(body, bom);
  SharedStrings strings;
  strings.Reserve(body.size());  // the texts are never longer than the part that holds them
  try {
    XmlTokenizer::Tag root;
    xml.StartTag(Prolog(xml), root);
    Epilogue(xml, Items(xml, root, strings));
  } catch (const XmlNeedMore&) {
    xml.Malformed(body.size(), "意外结束");
  }
  return strings;
}

}  // namespace tavrio::automation::readers

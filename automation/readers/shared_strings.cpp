#include "automation/readers/shared_strings.h"

#include <optional>
#include <utility>

#include "automation/readers/cell_text.h"
#include "automation/readers/shared_strings_scan.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

// Appends the text of an <si> or <is>: its <t>, or the <t> of each <r> run.
void AppendStringItem(pugi::xml_node item, std::string& out) {
  for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
    if (IsNamed(child, "t")) {
      AppendText(child, out);
    } else if (IsNamed(child, "r")) {
      if (pugi::xml_node t = FirstChild(child, "t")) AppendText(t, out);
    }
  }
}

}  // namespace

SharedStrings ParseSharedStrings(std::string xml, std::string_view part) {
  if (std::optional<SharedStrings> scanned = ScanSharedStrings(xml)) return std::move(*scanned);
  return ParseSharedStringsTree(std::move(xml), part);
}

SharedStrings ParseSharedStringsTree(std::string xml, std::string_view part) {
  XmlPart document(std::move(xml), part);
  SharedStrings strings;
  std::string text;
  std::string scratch;
  for (pugi::xml_node item = document.root().first_child(); item; item = item.next_sibling()) {
    if (!IsNamed(item, "si")) continue;
    text.clear();
    AppendStringItem(item, text);
    strings.Add(DecodeEscapes(text, scratch));
  }
  return strings;
}

}  // namespace tavrio::automation::readers

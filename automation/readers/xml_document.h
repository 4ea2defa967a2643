#pragma once

// Whole XML parts (workbook, relationships, styles, shared strings) parsed with pugixml after
// the scanner has vetted them, and the few helpers the part readers share. Element names are
// matched by their local name, since some writers put every element under a prefix.

#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tavrio::automation::readers {

// Flags for parts: escapes decoded, CDATA kept, line ends normalised, and a text that is only
// whitespace kept when it is an element's only content (a cell holding " " must stay " ").
inline constexpr unsigned kXmlParseFlags =
    pugi::parse_escapes | pugi::parse_cdata | pugi::parse_eol | pugi::parse_ws_pcdata_single;

class XmlPart {
 public:
  // Throws ReadFault naming `part` when the text breaks a limit or is not well-formed XML.
  XmlPart(std::string text, std::string_view part);
  XmlPart(const XmlPart&) = delete;
  XmlPart& operator=(const XmlPart&) = delete;

  pugi::xml_node root() const { return document_.document_element(); }

 private:
  std::string text_;  // pugixml parses in place; its strings point into this buffer
  pugi::xml_document document_;
};

// Throws ReadFault naming `part` for a failed parse; `base` is where the parsed text starts
// within the part.
void CheckParseResult(const pugi::xml_parse_result& result, std::string_view part,
                      std::uint64_t base);

std::string_view LocalName(const char* name);
bool IsNamed(pugi::xml_node node, std::string_view local_name);
pugi::xml_node FirstChild(pugi::xml_node node, std::string_view local_name);
// The attribute's value, or nullptr when absent. Matched by its full name.
const char* AttributeValue(pugi::xml_node node, std::string_view name);
// Appends the text and CDATA directly inside `node`.
void AppendText(pugi::xml_node node, std::string& out);

}  // namespace tavrio::automation::readers

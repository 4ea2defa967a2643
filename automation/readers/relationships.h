#pragma once

// Package relationships: how the parts of a workbook name each other.

#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

struct Relationship {
  std::string id;
  std::string type;    // a URI; compare with HasType
  std::string target;  // a package part name, resolved against the source part
  bool external = false;
};

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; "" (the package) -> "_rels/.rels".
std::string RelationshipsPartOf(std::string_view source_part);

// Resolves a relationship target against the folder of `source_part`: "worksheets/sheet1.xml"
// from "xl/workbook.xml" is "xl/worksheets/sheet1.xml"; "/xl/x.xml" is "xl/x.xml".
std::string ResolveTarget(std::string_view source_part, std::string_view target);

// True when the relationship type ends in "/<kind>", whichever namespace (transitional or
// strict) it comes from.
bool HasType(const Relationship& relationship, std::string_view kind);

// Parses a relationships part held in memory; targets come back resolved. Throws ReadFault.
std::vector<Relationship> ParseRelationships(std::string xml, std::string_view part,
                                             std::string_view source_part);

}  // namespace tavrio::automation::readers

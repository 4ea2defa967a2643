#include "automation/readers/relationships.h"

#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {

std::string RelationshipsPartOf(std::string_view source_part) {
  std::size_t slash = source_part.rfind('/');
  std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : source_part.substr(0, slash + 1);
  std::string_view file =
      slash == std::string_view::npos ? source_part : source_part.substr(slash + 1);
  std::string rels(folder);
  rels.append("_rels/").append(file).append(".rels");
  return rels;
}

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  std::vector<std::string_view> segments;
  if (!target.empty() && target.front() != '/') {
    std::size_t slash = source_part.rfind('/');
    std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : source_part.substr(0, slash);
    for (std::size_t start = 0; start < folder.size();) {
      std::size_t end = std::min(folder.find('/', start), folder.size());
      segments.push_back(folder.substr(start, end - start));
      start = end + 1;
    }
  }
  for (std::size_t start = 0; start <= target.size();) {
    std::size_t end = std::min(target.find('/', start), target.size());
    std::string_view segment = target.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string resolved;
  for (std::string_view segment : segments) {
    if (!resolved.empty()) resolved.push_back('/');
    resolved.append(segment);
  }
  return resolved;
}

bool HasType(const Relationship& relationship, std::string_view kind) {
  std::string_view type = relationship.type;
  return type.size() > kind.size() && type.substr(type.size() - kind.size()) == kind &&
         type[type.size() - kind.size() - 1] == '/';
}

std::vector<Relationship> ParseRelationships(std::string xml, std::string_view part,
                                             std::string_view source_part) {
  XmlPart document(std::move(xml), part);
  std::vector<Relationship> relationships;
  for (pugi::xml_node node = document.root().first_child(); node; node = node.next_sibling()) {
    if (!IsNamed(node, "Relationship")) continue;
    const char* id = AttributeValue(node, "Id");
    const char* type = AttributeValue(node, "Type");
    const char* target = AttributeValue(node, "Target");
    if (id == nullptr || type == nullptr || target == nullptr) {
      throw ReadFault("文件已损坏：" + PartName(part) + "中的关系定义不完整");
    }
    const char* mode = AttributeValue(node, "TargetMode");
    bool external = mode != nullptr && std::string_view(mode) == "External";
    relationships.push_back(
        {id, type, external ? std::string(target) : ResolveTarget(source_part, target), external});
  }
  return relationships;
}

}  // namespace tavrio::automation::readers

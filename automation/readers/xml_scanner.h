#pragma once

// A pass over XML that tells where elements open and close without building anything: the
// guard run over every part before a tree is built from it, and the way a streaming reader cuts
// a part into runs of whole elements. It reads through the one XML tokenizer, so declarations,
// absurd nesting and malformed markup are refused as everywhere else; a "</row>" inside a
// comment, CDATA section or attribute value is never taken for a tag.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/readers/xml_tokenizer.h"

namespace tavrio::automation::readers {

// A start tag as the scan hands it to its visitor; valid during the call.
struct ScannedTag {
  std::string_view name;  // local name
  std::size_t begin = 0;  // its '<'
  std::size_t end = 0;    // just past its '>'
  bool self_closing = false;
  const std::vector<std::pair<std::string_view, std::string_view>>* attributes = nullptr;
  const XmlTokenizer* tokenizer = nullptr;

  // The value of the attribute named `name` as written ("table:name"), references decoded;
  // empty when there is none.
  std::string Attribute(std::string_view name) const {
    for (const auto& [key, value] : *attributes) {
      if (key == name) return tokenizer->AttributeValue(value);
    }
    return {};
  }
};

class XmlScanner {
 public:
  explicit XmlScanner(std::string_view part) : xml_(part) {}

  // Scans `data` from `pos`, telling `visitor` of each start tag (Opened(const ScannedTag&))
  // and end tag (Closed(local_name, begin, end)). Stops at the first construct that `data` does
  // not yet hold completely and returns its position, or data.size(); or, when the visitor
  // returns false, just past that tag. `base` is the offset of data[0] within the part.
  template <class Visitor>
  std::size_t Scan(std::string_view data, std::size_t pos, std::uint64_t base, Visitor& visitor);

  int depth() const { return xml_.depth(); }
  // For a caller that parsed an element's end itself.
  void LeaveElement() { xml_.Leave(); }

 private:
  // Reads the construct at `at`; false when the visitor asked to stop.
  template <class Visitor>
  bool Step(std::size_t at, std::size_t& pos, Visitor& visitor);

  XmlTokenizer xml_;
  std::vector<std::pair<std::string_view, std::string_view>> attributes_;
};

template <class Visitor>
std::size_t XmlScanner::Scan(std::string_view data, std::size_t pos, std::uint64_t base,
                             Visitor& visitor) {
  xml_.Reset(data, base);
  while (pos < data.size()) {
    const void* found = std::memchr(data.data() + pos, '<', data.size() - pos);
    if (found == nullptr) return data.size();
    const std::size_t at = static_cast<const char*>(found) - data.data();
    try {
      if (!Step(at, pos, visitor)) return pos;
    } catch (const XmlNeedMore&) {
      return at;
    }
  }
  return pos;
}

template <class Visitor>
bool XmlScanner::Step(std::size_t at, std::size_t& pos, Visitor& visitor) {
  const char next = xml_.At(at + 1);
  if (next == '!' || next == '?') {
    pos = xml_.SkipMarkup(at);
    return true;
  }
  if (next == '/') {
    const std::size_t name_end = xml_.NameEnd(at + 2);
    const std::string_view name =
        XmlTokenizer::Local(xml_.data().substr(at + 2, name_end - at - 2));
    const std::size_t end = xml_.EndTag(at, {});
    if (xml_.depth() == 0) xml_.Malformed(at, "结束标签多余");
    xml_.Leave();
    pos = end;
    return visitor.Closed(name, at, end);
  }
  attributes_.clear();
  XmlTokenizer::Tag tag;
  pos = xml_.StartTag(at, tag, [this](std::string_view name, std::string_view value) {
    attributes_.emplace_back(name, value);
  });
  if (!tag.self_closing) xml_.Enter(at);
  return visitor.Opened(
      ScannedTag{tag.name, tag.begin, tag.end, tag.self_closing, &attributes_, &xml_});
}

}  // namespace tavrio::automation::readers

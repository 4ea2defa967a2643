#pragma once

// A light pass over raw XML that finds where elements open and close without building anything.
// It refuses document type and entity declarations (the root of entity-expansion bombs) and
// absurd nesting before any parser sees the bytes, and lets a streaming reader cut a part into
// runs of whole elements. Comments, CDATA sections and quoted attribute values are skipped
// whole, so a "</row>" inside them is never taken for a tag.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {

// Far deeper than any part a spreadsheet application writes (about ten levels).
inline constexpr int kMaxXmlDepth = 256;

[[noreturn]] void ThrowDeclarationFault(std::string_view part, std::uint64_t offset);
[[noreturn]] void ThrowNestingFault(std::string_view part, std::uint64_t offset);
[[noreturn]] void ThrowMalformedFault(std::string_view part, std::uint64_t offset);

class XmlScanner {
 public:
  explicit XmlScanner(std::string_view part) : part_(part) {}

  // Scans `data` from `pos`, telling `visitor` of each start tag (Opened(local_name, end,
  // self_closing), `end` just past its '>') and end tag (Closed(local_name, begin, end)).
  // Stops at the first construct that `data` does not yet hold completely and returns its
  // position, or data.size(); or, when the visitor returns false, just past that tag.
  // `base` is the offset of data[0] within the part, for messages.
  template <class Visitor>
  std::size_t Scan(std::string_view data, std::size_t pos, std::uint64_t base, Visitor& visitor);

  int depth() const { return depth_; }
  // For a caller that parsed an element's end itself.
  void LeaveElement() { --depth_; }

 private:
  enum class Match { kYes, kNo, kIncomplete };

  static Match StartsWith(std::string_view data, std::size_t at, std::string_view literal) {
    std::size_t available = std::min(literal.size(), data.size() - at);
    if (data.compare(at, available, literal.substr(0, available)) != 0) return Match::kNo;
    return available == literal.size() ? Match::kYes : Match::kIncomplete;
  }

  // Position just past `terminator` searched from `from`, or npos.
  static std::size_t Skip(std::string_view data, std::size_t from, std::string_view terminator) {
    std::size_t found = data.find(terminator, from);
    return found == std::string_view::npos ? found : found + terminator.size();
  }

  static std::string_view LocalName(std::string_view name) {
    std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
  }

  // Position of the '>' closing a start tag whose name begins at `from`, or npos.
  static std::size_t TagEnd(std::string_view data, std::size_t from) {
    for (std::size_t i = from; i < data.size(); ++i) {
      char c = data[i];
      if (c == '>') return i;
      if (c == '"' || c == '\'') {
        std::size_t close = data.find(c, i + 1);
        if (close == std::string_view::npos) return close;
        i = close;
      }
    }
    return std::string_view::npos;
  }

  std::size_t SkipMarkup(std::string_view data, std::size_t at, std::uint64_t base);

  std::string_view part_;
  int depth_ = 0;
};

inline std::size_t XmlScanner::SkipMarkup(std::string_view data, std::size_t at,
                                          std::uint64_t base) {
  static constexpr std::string_view kComment = "<!--";
  static constexpr std::string_view kCdata = "<![CDATA[";
  if (data[at + 1] == '?') return Skip(data, at + 2, "?>");
  Match comment = StartsWith(data, at, kComment);
  if (comment == Match::kYes) return Skip(data, at + kComment.size(), "-->");
  Match cdata = StartsWith(data, at, kCdata);
  if (cdata == Match::kYes) return Skip(data, at + kCdata.size(), "]]>");
  if (comment == Match::kIncomplete || cdata == Match::kIncomplete) {
    return std::string_view::npos;
  }
  ThrowDeclarationFault(part_, base + at);
}

template <class Visitor>
std::size_t XmlScanner::Scan(std::string_view data, std::size_t pos, std::uint64_t base,
                             Visitor& visitor) {
  while (pos < data.size()) {
    const void* found = std::memchr(data.data() + pos, '<', data.size() - pos);
    if (found == nullptr) return data.size();
    std::size_t at = static_cast<const char*>(found) - data.data();
    if (at + 1 >= data.size()) return at;
    char next = data[at + 1];
    if (next == '!' || next == '?') {
      std::size_t after = SkipMarkup(data, at, base);
      if (after == std::string_view::npos) return at;
      pos = after;
      continue;
    }
    std::size_t end = TagEnd(data, at + 1);
    if (end == std::string_view::npos) return at;
    if (next == '/') {
      if (depth_ == 0) ThrowMalformedFault(part_, base + at);
      --depth_;
      std::string_view name = data.substr(at + 2, end - at - 2);
      name = name.substr(0, name.find_first_of(" \t\r\n"));
      if (!visitor.Closed(LocalName(name), at, end + 1)) return end + 1;
    } else {
      bool self_closing = data[end - 1] == '/';
      if (!self_closing && ++depth_ > kMaxXmlDepth) ThrowNestingFault(part_, base + at);
      std::size_t name_end = data.find_first_of(" \t\r\n/>", at + 1);
      if (!visitor.Opened(LocalName(data.substr(at + 1, name_end - at - 1)), end + 1,
                          self_closing)) {
        return end + 1;
      }
    }
    pos = end + 1;
  }
  return pos;
}

}  // namespace tavrio::automation::readers

#include "automation/readers/shared_strings_scan.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "automation/base/ascii.h"
#include "automation/base/utf8.h"
#include "automation/readers/cell_text.h"

namespace tavrio::automation::readers {
namespace {

// Thrown to give up on the fast pass; the general parser then reads the part.
struct Declined {};

// Far deeper than the items of a shared-strings part nest (run properties: four levels).
constexpr int kMaxSkippedDepth = 32;

// Names as an XML parser accepts them; any other byte makes the fast pass decline.
bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

std::string_view Local(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

struct Tag {
  std::string_view name;  // as written, prefix included
  bool self_closing = false;
};

class Scan {
 public:
  // The texts are never longer than the part that holds them.
  explicit Scan(std::string_view xml) : xml_(xml) { strings_.Reserve(xml.size()); }

  SharedStrings Run() {
    if (xml_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    if (xml_.compare(pos_, 5, "<?xml") == 0) Skip("?>");
    SkipSpace();
    const Tag root = StartTag();
    if (!root.self_closing) Items(root);
    SkipSpace();
    if (pos_ != xml_.size()) throw Declined{};
    return std::move(strings_);
  }

 private:
  char At(std::size_t pos) const {
    if (pos >= xml_.size()) throw Declined{};
    return xml_[pos];
  }
  void SkipSpace() {
    while (pos_ < xml_.size() && IsXmlSpace(xml_[pos_])) ++pos_;
  }
  void Skip(std::string_view terminator) {
    const std::size_t end = xml_.find(terminator, pos_);
    if (end == std::string_view::npos) throw Declined{};
    pos_ = end + terminator.size();
  }

  // At '<' of a start tag: reads it whole, attributes checked but not kept.
  Tag StartTag() {
    if (At(pos_) != '<') throw Declined{};
    Tag tag{Name(++pos_)};
    while (true) {
      // Attributes stand apart from the name and from each other.
      if (!IsXmlSpace(At(pos_)) && xml_[pos_] != '>' && xml_[pos_] != '/') throw Declined{};
      SkipSpace();
      const char c = At(pos_);
      if (c == '>') {
        ++pos_;
        return tag;
      }
      if (c == '/') {
        if (At(pos_ + 1) != '>') throw Declined{};
        pos_ += 2;
        tag.self_closing = true;
        return tag;
      }
      Attribute();
    }
  }
  // A name starting at `begin`; pos_ ends just past it.
  std::string_view Name(std::size_t begin) {
    pos_ = begin;
    if (!IsNameStart(At(pos_))) throw Declined{};
    while (IsNameChar(At(pos_))) ++pos_;
    return xml_.substr(begin, pos_ - begin);
  }
  void Attribute() {
    Name(pos_);
    SkipSpace();
    if (At(pos_++) != '=') throw Declined{};
    SkipSpace();
    const char quote = At(pos_++);
    if (quote != '"' && quote != '\'') throw Declined{};
    const std::size_t close = xml_.find(quote, pos_);
    if (close == std::string_view::npos) throw Declined{};
    const std::string_view value = xml_.substr(pos_, close - pos_);
    if (value.find_first_of("<&") != std::string_view::npos) throw Declined{};
    pos_ = close + 1;
  }
  // At "</": the end tag of `tag`, spelled as its start tag was.
  void EndTag(const Tag& tag) {
    if (xml_.compare(pos_, 2, "</") != 0 ||
        xml_.compare(pos_ + 2, tag.name.size(), tag.name) != 0) {
      throw Declined{};
    }
    pos_ += 2 + tag.name.size();
    SkipSpace();
    if (At(pos_++) != '>') throw Declined{};
  }
  // Text up to the next '<', which must open a tag; the text is dropped.
  void SkipText() {
    const std::size_t next = xml_.find('<', pos_);
    if (next == std::string_view::npos) throw Declined{};
    pos_ = next;
    const char c = At(pos_ + 1);
    if (c == '!' || c == '?') throw Declined{};
  }

  // Calls `child` for each element inside `parent`, then reads the parent's end tag.
  template <class Child>
  void Children(const Tag& parent, Child child) {
    while (true) {
      SkipText();
      if (xml_[pos_ + 1] == '/') return EndTag(parent);
      child(StartTag());
    }
  }
  void SkipElement(const Tag& tag, int depth) {
    if (tag.self_closing) return;
    if (depth > kMaxSkippedDepth) throw Declined{};
    Children(tag, [&](const Tag& child) { SkipElement(child, depth + 1); });
  }

  void Items(const Tag& root) {
    Children(root, [&](const Tag& child) {
      if (Local(child.name) != "si") return SkipElement(child, 1);
      text_.clear();
      if (!child.self_closing) Item(child);
      strings_.Add(DecodeEscapes(text_, scratch_));
    });
  }
  // An item's text: each <t> directly inside it, and the first <t> of each run.
  void Item(const Tag& item) {
    Children(item, [&](const Tag& child) {
      const std::string_view name = Local(child.name);
      if (name == "t") return Text(child, text_);
      if (name != "r" || child.self_closing) return SkipElement(child, 2);
      bool first = true;
      Children(child, [&](const Tag& part) {
        if (Local(part.name) != "t") return SkipElement(part, 3);
        std::string ignored;
        Text(part, first ? text_ : ignored);
        first = false;
      });
    });
  }

  // The text of a <t> holding nothing but characters and references.
  void Text(const Tag& tag, std::string& out) {
    if (tag.self_closing) return;
    const std::size_t end = xml_.find('<', pos_);
    if (end == std::string_view::npos) throw Declined{};
    Decode(xml_.substr(pos_, end - pos_), out);
    pos_ = end;
    EndTag(tag);
  }
  // References and line ends as an XML parser reads them: "\r\n" and a lone '\r' are '\n'.
  static void Decode(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '\r') {
        out.push_back('\n');
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else if (c == '&') {
        const std::size_t semicolon = text.find(';', i);
        if (semicolon == std::string_view::npos) throw Declined{};
        Reference(text.substr(i + 1, semicolon - i - 1), out);
        i = semicolon;
      } else {
        out.push_back(c);
      }
    }
  }
  static void Reference(std::string_view entity, std::string& out) {
    if (entity == "amp") return out.push_back('&');
    if (entity == "lt") return out.push_back('<');
    if (entity == "gt") return out.push_back('>');
    if (entity == "quot") return out.push_back('"');
    if (entity == "apos") return out.push_back('\'');
    if (!entity.starts_with('#')) throw Declined{};
    entity.remove_prefix(1);
    int base = 10;
    if (entity.starts_with('x')) {
      base = 16;
      entity.remove_prefix(1);
    }
    std::uint32_t code = 0;
    const auto [end, error] =
        std::from_chars(entity.data(), entity.data() + entity.size(), code, base);
    const bool valid = error == std::errc() && end == entity.data() + entity.size() &&
                       !entity.empty() && code > 0 && code <= 0x10FFFF &&
                       (code < 0xD800 || code > 0xDFFF);
    if (!valid) throw Declined{};
    AppendUtf8(code, out);
  }

  std::string_view xml_;
  std::size_t pos_ = 0;
  SharedStrings strings_;
  std::string text_;
  std::string scratch_;
};

}  // namespace

std::optional<SharedStrings> ScanSharedStrings(std::string_view xml) {
  try {
    return Scan(xml).Run();
  } catch (const Declined&) {
    return std::nullopt;
  }
}

}  // namespace tavrio::automation::readers

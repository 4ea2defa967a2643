#pragma once

// The one reader of XML markup for the parts read without a tree: the rows of a worksheet, the
// shared strings, and the pass that finds where the elements of any part open and close. It
// reads tags, attributes, texts, references, comments, CDATA and processing instructions as
// XML defines them, refuses document type and entity declarations (the root of
// entity-expansion bombs) and nesting past kMaxXmlDepth, and words every fault with the part's
// name and the byte it stands at.
//
// A part may arrive in chunks: every call that would read past the data it was given throws
// XmlNeedMore, and the caller reads the construct again, whole, once more data has come (or
// reports the part cut short when none will).
//
// The functions a worksheet's cells pass through for every cell are defined here, inline;
// what is rare (CDATA, references, white space inside tags) is in the .cpp.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "automation/base/ascii.h"

namespace tavrio::automation::readers {

// Far deeper than any part a spreadsheet application writes (about ten levels).
inline constexpr int kMaxXmlDepth = 256;

// Thrown when the data ends inside the construct being read.
struct XmlNeedMore {};

[[noreturn]] void ThrowDeclarationFault(std::string_view part, std::uint64_t offset);
[[noreturn]] void ThrowNestingFault(std::string_view part, std::uint64_t offset);

class XmlTokenizer {
 public:
  struct Tag {
    std::size_t begin = 0;  // the '<'
    std::size_t end = 0;    // just past the '>'
    std::string_view name;  // the local name, its prefix dropped
    bool self_closing = false;
  };

  // `part` names the part in messages; `outer_depth` is how deep the elements read stand
  // within it, for the nesting limit.
  explicit XmlTokenizer(std::string_view part, int outer_depth = 0)
      : part_(part), outer_depth_(outer_depth) {}

  // Reads `data` from now on; its first byte is at `base` within the part.
  void Reset(std::string_view data, std::uint64_t base) {
    data_ = data;
    base_ = base;
  }
  std::string_view data() const { return data_; }
  std::string_view part() const { return part_; }

  char At(std::size_t pos) const {
    if (pos >= data_.size()) throw XmlNeedMore{};
    return data_[pos];
  }
  // Whether the data holds `literal` at `pos`: a compare of a fixed size, which the compiler
  // unrolls, where string_view::compare calls into the library for a few bytes.
  template <std::size_t N>
  bool HasAt(std::size_t pos, const char (&literal)[N]) const {
    return pos <= data_.size() && data_.size() - pos >= N - 1 &&
           std::memcmp(data_.data() + pos, literal, N - 1) == 0;
  }
  // The next '<' from `pos`; text before it is passed over.
  std::size_t NextTag(std::size_t pos) const {
    // Markup mostly follows markup directly; memchr only pays off across text.
    if (pos < data_.size() && data_[pos] == '<') return pos;
    const void* found = std::memchr(data_.data() + pos, '<', data_.size() - pos);
    if (found == nullptr) throw XmlNeedMore{};
    return static_cast<const char*>(found) - data_.data();
  }
  // Where the name starting at `i` ends.
  std::size_t NameEnd(std::size_t i) const {
    const char* data = data_.data();
    for (; i < data_.size(); ++i) {
      if (kEndsName[static_cast<unsigned char>(data[i])]) return i;
    }
    throw XmlNeedMore{};
  }
  static std::string_view Local(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
  }

  // Reads the start tag at `at` into `tag`, handing each attribute to take(name, value), and
  // returns the position past it. Attribute values are handed over as written (a reference in
  // one stays undecoded: none of the attributes read here holds one).
  template <typename Take>
  std::size_t StartTag(std::size_t at, Tag& tag, Take&& take);
  std::size_t StartTag(std::size_t at, Tag& tag) {
    return StartTag(at, tag, [](std::string_view, std::string_view) {});
  }
  // Reads the attributes from `i`, just past a tag's name, as StartTag does; returns the
  // position past the tag.
  template <typename Take>
  std::size_t Attributes(std::size_t i, bool& self_closing, Take&& take);
  // Reads the end tag at `at` and checks that it closes `expected` (any element when empty).
  std::size_t EndTag(std::size_t at, std::string_view expected);
  // Passes over the comment, CDATA section or processing instruction at `at`.
  std::size_t SkipMarkup(std::size_t at);
  // Passes over the element `tag` opened, whatever it holds.
  std::size_t SkipElement(const Tag& tag);
  // Appends the text from `pos` up to the end tag `name`, references and line ends decoded and
  // CDATA taken as it stands, elements inside skipped; returns the position past the end tag.
  std::size_t Text(std::size_t pos, std::string_view name, std::string& out);
  // The text of the element `tag` opened, as Text reads it: a view of the data where it holds
  // nothing to decode, which saves a copy per cell, else a view of `scratch`.
  std::size_t ElementText(const Tag& tag, std::string& scratch, std::string_view& text);
  std::size_t ElementText(std::size_t begin, std::string_view name, std::string& scratch,
                          std::string_view& text);
  // An attribute value handed over by StartTag, references decoded and white space read as
  // spaces, as XML normalises attribute values. Throws ReadFault for a broken reference.
  std::string AttributeValue(std::string_view value) const;
  // Appends the text of a string item, <si> or <is>: its <t>, and the <t> of each run <r>;
  // run properties and phonetic guides are left out, as an application shows the text.
  std::size_t StringItem(const Tag& tag, std::string& out);

  // The nesting of elements opened and not yet closed, checked against the limit.
  void Enter(std::size_t at) {
    if (outer_depth_ + ++depth_ > kMaxXmlDepth) ThrowNestingFault(part_, base_ + at);
  }
  void Leave() { --depth_; }
  int depth() const { return depth_; }
  void set_depth(int depth) { depth_ = depth; }

  [[noreturn]] void Malformed(std::size_t pos, std::string_view why) const;

 private:
  // The bytes that end an element or attribute name: XML's white space, '>', '/' and '='.
  static constexpr std::array<bool, 256> kEndsName = [] {
    std::array<bool, 256> ends{};
    for (const char c : {' ', '\t', '\r', '\n', '>', '/', '='}) {
      ends[static_cast<unsigned char>(c)] = true;
    }
    return ends;
  }();
  // The bytes a name may start with: ASCII letters, '_', ':' and every byte of a multi-byte
  // UTF-8 character (XML's other name characters are all outside ASCII).
  static constexpr std::array<bool, 256> kStartsName = [] {
    std::array<bool, 256> starts{};
    for (int c = 0; c < 256; ++c) {
      starts[c] =
          (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
    }
    return starts;
  }();
  // The bytes that end a text that can be taken as it stands: markup, a reference, a carriage
  // return (which XML reads as a line feed).
  static constexpr std::array<bool, 256> kEndsPlainText = [] {
    std::array<bool, 256> ends{};
    for (const char c : {'<', '&', '\r'}) ends[static_cast<unsigned char>(c)] = true;
    return ends;
  }();

  std::size_t Attribute(std::size_t i, std::string_view& name, std::string_view& value);
  // Where the attribute value from `i` ends: its closing `quote`.
  std::size_t ClosingQuote(std::size_t i, char quote) const;
  std::size_t SpacedAttribute(std::size_t i, std::string_view& name, char& quote);
  std::size_t SpacedEndTag(std::size_t at, std::string_view expected);
  std::size_t Cdata(std::size_t at, std::string& out);
  void AppendDecoded(std::size_t begin, std::size_t end, std::string& out) const;
  std::size_t AppendReference(std::size_t at, std::string_view text, std::size_t i,
                              std::string& out) const;

  std::string_view part_;
  int outer_depth_;
  int depth_ = 0;
  std::string_view data_;
  std::uint64_t base_ = 0;
};

template <typename Take>
std::size_t XmlTokenizer::StartTag(std::size_t at, Tag& tag, Take&& take) {
  tag.begin = at;
  if (!kStartsName[static_cast<unsigned char>(At(at + 1))]) Malformed(at, "开始标签有误");
  const std::size_t i = NameEnd(at + 1);
  tag.name = Local(data_.substr(at + 1, i - at - 1));
  tag.end = Attributes(i, tag.self_closing, take);
  return tag.end;
}

template <typename Take>
std::size_t XmlTokenizer::Attributes(std::size_t i, bool& self_closing, Take&& take) {
  bool spaced = true;  // attributes stand apart from the name and from each other
  while (true) {
    char c = At(i);
    // The one space before each attribute is passed over here rather than by a turn of the
    // loop of its own: 5 M instructions less for two files of the benchmark's million set, 13 M
    // for two of million-formatted (`valgrind --tool=callgrind tavrio-bench-merge`).
    if (c == ' ') {
      c = At(++i);
      spaced = true;
    }
    if (c == '>') return i + 1;
    if (c == '/') {
      if (At(i + 1) != '>') Malformed(i, "开始标签有误");
      self_closing = true;
      return i + 2;
    }
    if (IsXmlSpace(c)) {
      ++i;
      spaced = true;
      continue;
    }
    if (!spaced) Malformed(i, "属性有误");
    spaced = false;
    std::string_view name;
    std::string_view value;
    i = Attribute(i, name, value);
    take(name, value);
  }
}

// Nearly every attribute of a cell is one letter followed by ="; that spelling is matched at
// once, any other takes the steps XML allows (white space around the '=', single quotes).
// Inlined with the rest of a cell's steps: see RowParser::CellElement for the measure.
[[gnu::always_inline]] inline std::size_t XmlTokenizer::Attribute(std::size_t i,
                                                                  std::string_view& name,
                                                                  std::string_view& value) {
  const char* const data = data_.data();
  const std::size_t size = data_.size();
  char quote = '"';
  if (size - i > 3 && data[i + 1] == '=' && data[i + 2] == '"' &&
      kStartsName[static_cast<unsigned char>(data[i])]) {
    name = std::string_view(data + i, 1);
    i += 3;
  } else {
    i = SpacedAttribute(i, name, quote);
  }
  const std::size_t close = ClosingQuote(i, quote);
  value = std::string_view(data + i, close - i);
  return close + 1;
}

// Values are short, so a library call costs more than it finds. Eight bytes at a time where the
// data holds them (a byte equal to the quote is a zero byte of word ^ quotes, whose high bit
// alone survives the sum below), one at a time at its end: 13 M instructions less than a byte
// at a time for two files of the benchmark's million set (`valgrind --tool=callgrind
// build-bench/bench/harness/tavrio-bench-merge`).
[[gnu::always_inline]] inline std::size_t XmlTokenizer::ClosingQuote(std::size_t i,
                                                                     char quote) const {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7F;
  const char* const data = data_.data();
  const std::size_t size = data_.size();
  const std::uint64_t quotes = kOnes * static_cast<unsigned char>(quote);
  for (; size - i >= 8; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    const std::uint64_t x = word ^ quotes;
    const std::uint64_t zeros = ~(((x & kLows) + kLows) | x | kLows);
    if (zeros != 0) {
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(zeros)
                                                                   : std::countl_zero(zeros);
      return i + static_cast<std::size_t>(bit) / 8;
    }
  }
  for (; i < size; ++i) {
    if (data[i] == quote) return i;
  }
  throw XmlNeedMore{};
}

[[gnu::always_inline]] inline std::size_t XmlTokenizer::EndTag(std::size_t at,
                                                               std::string_view expected) {
  const std::size_t i = at + 2;
  if (!expected.empty() && i + expected.size() < data_.size() &&
      data_[i + expected.size()] == '>') {
    // A loop for the few bytes of a name, where memcmp of a length unknown at compile time is
    // a library call.
    bool same = true;
    for (std::size_t k = 0; k < expected.size(); ++k) same &= data_[i + k] == expected[k];
    if (same) return i + expected.size() + 1;
  }
  return SpacedEndTag(at, expected);
}

[[gnu::always_inline]] inline std::size_t XmlTokenizer::ElementText(std::size_t begin,
                                                                    std::string_view name,
                                                                    std::string& scratch,
                                                                    std::string_view& text) {
  const char* const data = data_.data();
  std::size_t close = begin;
  while (close < data_.size() && !kEndsPlainText[static_cast<unsigned char>(data[close])]) {
    ++close;
  }
  if (At(close) == '<' && At(close + 1) == '/') {
    const std::size_t end = EndTag(close, name);
    text = std::string_view(data + begin, close - begin);
    return end;
  }
  scratch.clear();
  const std::size_t end = Text(begin, name, scratch);
  text = scratch;
  return end;
}

[[gnu::always_inline]] inline std::size_t XmlTokenizer::ElementText(const Tag& tag,
                                                                    std::string& scratch,
                                                                    std::string_view& text) {
  if (tag.self_closing) {
    text = {};
    return tag.end;
  }
  return ElementText(tag.end, tag.name, scratch, text);
}

}  // namespace tavrio::automation::readers

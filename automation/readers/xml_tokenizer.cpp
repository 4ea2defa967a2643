#include "automation/readers/xml_tokenizer.h"

#include <charconv>

#include "automation/base/utf8.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kCdata = "<![CDATA[";
constexpr std::string_view kComment = "<!--";

// The code point of a character reference's body ("#65", "#x41"), or 0 when invalid.
std::uint32_t CharacterReference(std::string_view body) {
  std::uint32_t code = 0;
  int base = 10;
  body.remove_prefix(1);
  if (!body.empty() && body.front() == 'x') {
    base = 16;
    body.remove_prefix(1);
  }
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), code, base);
  bool valid = ec == std::errc() && end == body.data() + body.size() && !body.empty() && code > 0 &&
               code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  return valid ? code : 0;
}

// The character one of XML's five named references stands for, or 0.
char NamedReference(std::string_view entity) {
  if (entity == "amp") return '&';
  if (entity == "lt") return '<';
  if (entity == "gt") return '>';
  if (entity == "quot") return '"';
  if (entity == "apos") return '\'';
  return 0;
}

}  // namespace

void ThrowDeclarationFault(std::string_view part, std::uint64_t offset) {
  throw ReadFault("超出限制：" + PartName(part) + "含有 DOCTYPE 或 ENTITY 声明" + AtOffset(offset) +
                  "，为安全起见拒绝读取");
}

void ThrowNestingFault(std::string_view part, std::uint64_t offset) {
  throw ReadFault("超出限制：" + PartName(part) + "的 XML 嵌套超过 " +
                  std::to_string(kMaxXmlDepth) + " 层" + AtOffset(offset));
}

void XmlTokenizer::Malformed(std::size_t pos, std::string_view why) const {
  throw ReadFault("文件已损坏：" + PartName(part_) + "不是有效的 XML：" + std::string(why) +
                  AtOffset(base_ + pos));
}

std::size_t XmlTokenizer::SpacedAttribute(std::size_t i, std::string_view& name, char& quote) {
  const std::size_t name_begin = i;
  if (!kStartsName[static_cast<unsigned char>(data_[i])]) Malformed(i, "属性有误");
  i = NameEnd(i);
  name = data_.substr(name_begin, i - name_begin);
  while (IsXmlSpace(At(i))) ++i;
  if (data_[i] != '=') Malformed(i, "属性有误");
  while (IsXmlSpace(At(++i))) {
  }
  quote = data_[i];
  if (quote != '"' && quote != '\'') Malformed(i, "属性有误");
  return i + 1;
}

// An end tag with a prefix or white space before its '>', or one that closes another element.
std::size_t XmlTokenizer::SpacedEndTag(std::size_t at, std::string_view expected) {
  std::size_t i = at + 2;
  for (char c = At(i); !IsXmlSpace(c) && c != '>'; c = At(++i)) {
  }
  std::string_view name = Local(data_.substr(at + 2, i - at - 2));
  while (IsXmlSpace(At(i))) ++i;
  if (At(i) != '>' || name.empty()) Malformed(at, "结束标签有误");
  if (!expected.empty() && name != expected) Malformed(at, "开始标签与结束标签不匹配");
  return i + 1;
}

std::size_t XmlTokenizer::SkipMarkup(std::size_t at) {
  std::string_view close;
  std::size_t from = 0;
  if (At(at + 1) == '?') {
    close = "?>", from = at + 2;
  } else if (At(at + 2) == '-') {
    if (At(at + 3) != '-') Malformed(at, "注释有误");
    close = "-->", from = at + kComment.size();
  } else if (At(at + 2) == '[') {
    for (std::size_t i = 3; i < kCdata.size(); ++i) {
      if (At(at + i) != kCdata[i]) Malformed(at, "CDATA 段有误");
    }
    close = "]]>", from = at + kCdata.size();
  } else {
    ThrowDeclarationFault(part_, base_ + at);
  }
  std::size_t end = data_.find(close, from);
  if (end == std::string_view::npos) throw XmlNeedMore{};
  return end + close.size();
}

std::size_t XmlTokenizer::SkipElement(const Tag& tag) {
  if (tag.self_closing) return tag.end;
  Enter(tag.begin);
  int open = 1;
  std::size_t pos = tag.end;
  while (open > 0) {
    std::size_t at = NextTag(pos);
    char next = At(at + 1);
    if (next == '/') {
      pos = EndTag(at, {});
      --open;
      Leave();
    } else if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
    } else {
      Tag child;
      pos = StartTag(at, child);
      if (!child.self_closing) {
        Enter(at);
        ++open;
      }
    }
  }
  return pos;
}

std::size_t XmlTokenizer::Text(std::size_t pos, std::string_view name, std::string& out) {
  while (true) {
    std::size_t at = NextTag(pos);
    AppendDecoded(pos, at, out);
    char next = At(at + 1);
    if (next == '/') return EndTag(at, name);
    if (next == '!' && At(at + 2) == '[') {
      pos = Cdata(at, out);
    } else if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
    } else {
      Tag child;
      StartTag(at, child);
      pos = SkipElement(child);
    }
  }
}

// Appends the CDATA section at `at` as it stands and returns the position past it.
std::size_t XmlTokenizer::Cdata(std::size_t at, std::string& out) {
  for (std::size_t i = 3; i < kCdata.size(); ++i) {
    if (At(at + i) != kCdata[i]) Malformed(at, "CDATA 段有误");
  }
  std::size_t close = data_.find("]]>", at + kCdata.size());
  if (close == std::string_view::npos) throw XmlNeedMore{};
  out.append(data_.substr(at + kCdata.size(), close - at - kCdata.size()));
  return close + 3;
}

void XmlTokenizer::AppendDecoded(std::size_t begin, std::size_t end, std::string& out) const {
  std::string_view text = data_.substr(begin, end - begin);
  std::size_t special = 0;
  while (special < text.size() && !kEndsPlainText[static_cast<unsigned char>(text[special])]) {
    ++special;
  }
  out.append(text.substr(0, special));
  for (std::size_t i = special; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') out.push_back('\n');
      continue;
    }
    if (c != '&') {
      out.push_back(c);
      continue;
    }
    i = AppendReference(begin, text, i, out);
  }
}

// Appends the reference at text[i] ('&'), `text` standing at `begin` in the data; returns the
// position of its ';'.
std::size_t XmlTokenizer::AppendReference(std::size_t begin, std::string_view text, std::size_t i,
                                          std::string& out) const {
  const std::size_t semicolon = text.find(';', i);
  if (semicolon == std::string_view::npos || semicolon - i > 12) {
    Malformed(begin + i, "实体引用有误");
  }
  const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
  if (const char named = NamedReference(entity)) {
    out.push_back(named);
  } else if (std::uint32_t code = entity.starts_with('#') ? CharacterReference(entity) : 0) {
    AppendUtf8(code, out);
  } else {
    Malformed(begin + i, "实体引用有误");
  }
  return semicolon;
}

std::string XmlTokenizer::AttributeValue(std::string_view value) const {
  const std::size_t begin = static_cast<std::size_t>(value.data() - data_.data());
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '&') {
      i = AppendReference(begin, value, i, out);
    } else if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
      continue;  // a line end is one space
    } else {
      out.push_back(IsXmlSpace(c) ? ' ' : c);
    }
  }
  return out;
}

std::size_t XmlTokenizer::StringItem(const Tag& tag, std::string& out) {
  if (tag.self_closing) return tag.end;
  Enter(tag.begin);
  const std::string_view item = tag.name;
  std::size_t pos = tag.end;
  std::string_view container = item;
  while (true) {
    std::size_t at = NextTag(pos);
    char next = At(at + 1);
    if (next == '/') {
      pos = EndTag(at, container);
      Leave();
      if (container == item) break;
      container = item;  // a run ended
      continue;
    }
    if (next == '!' || next == '?') {
      pos = SkipMarkup(at);
      continue;
    }
    // A text without attributes, as applications write nearly every one, needs no start-tag
    // parse.
    if (HasAt(at, "<t>")) {
      pos = Text(at + 3, "t", out);
      continue;
    }
    Tag child;
    StartTag(at, child);
    if (child.name == "t") {
      pos = child.self_closing ? child.end : Text(child.end, "t", out);
    } else if (child.name == "r" && container == item && !child.self_closing) {
      Enter(child.begin);
      container = "r";
      pos = child.end;
    } else {
      pos = SkipElement(child);  // run properties, phonetic guides
    }
  }
  return pos;
}

}  // namespace tavrio::automation::readers

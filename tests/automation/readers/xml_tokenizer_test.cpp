#include "automation/readers/xml_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "automation/readers/read_fault.h"
#include "automation/readers/xml_scanner.h"

namespace tavrio::automation::readers::testing {
namespace {

constexpr std::string_view kPart = "xl/test.xml";

// What a scan tells, one line a tag: "+name a=v ..." for a start tag (values decoded), "-name"
// for an end tag; or the fault.
struct Transcript {
  std::vector<std::string> lines;
  bool Opened(const ScannedTag& tag) {
    std::string line = "+" + std::string(tag.name);
    for (const auto& [name, value] : *tag.attributes) {
      line += " " + std::string(name) + "=" + tag.Attribute(name);
    }
    if (tag.self_closing) line += " /";
    lines.push_back(line);
    return true;
  }
  bool Closed(std::string_view name, std::size_t, std::size_t) {
    lines.push_back("-" + std::string(name));
    return true;
  }
};

// Scans `xml` fed in pieces of `piece` bytes, as a streamed part arrives: what the scan could
// not finish is scanned again with the next piece.
std::vector<std::string> Scan(const std::string& xml, std::size_t piece) {
  XmlScanner scanner(kPart);
  Transcript transcript;
  std::string buffer;
  std::uint64_t offset = 0;
  try {
    for (std::size_t at = 0; at < xml.size(); at += piece) {
      buffer += xml.substr(at, piece);
      const std::size_t stop = scanner.Scan(buffer, 0, offset, transcript);
      buffer.erase(0, stop);
      offset += stop;
    }
    if (!buffer.empty() || scanner.depth() != 0) transcript.lines.push_back("unfinished");
  } catch (const ReadFault& fault) {
    transcript.lines.push_back(std::string("error: ") + fault.what());
  }
  return transcript.lines;
}

// However a part is cut into chunks, the same tags are told, or the same fault at the same byte.
TEST(XmlTokenizerTest, ChunksCutAnywhereReadAlike) {
  const std::vector<std::string> parts = {
      R"(<?xml version="1.0"?><a:root xmlns:a="u"><!-- </b> --><b k='1' l = "x&amp;y&#x4E2D;"/>)"
      R"(<c><![CDATA[</c>]]>text</c ><d m="a&#10;b	c
d"></d></a:root>)",
      R"(<root><x a="1"b="2"/></root>)",
      R"(<root><1x/></root>)",
      R"(<root><x a="&bogus;"/></root>)",
      "<root><!DOCTYPE x></root>",
      "<root></x></root>",
  };
  for (const std::string& xml : parts) {
    SCOPED_TRACE(xml);
    const std::vector<std::string> whole = Scan(xml, xml.size());
    for (std::size_t piece = 1; piece < xml.size(); ++piece) {
      SCOPED_TRACE(piece);
      EXPECT_EQ(Scan(xml, piece), whole);
    }
  }
}

TEST(XmlTokenizerTest, TagsAttributesAndFaults) {
  const std::string fault = "error: 文件已损坏：部件“xl/test.xml”不是有效的 XML：";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      // Values decoded; white space in a value read as spaces, references kept as they say.
      {R"(<a:r xmlns:a="u"><b k='1' l = "x&amp;y&#x4E2D;"/><d m="a&#10;b	c
d"></d></a:r>)",
       {"+r xmlns:a=u", "+b k=1 l=x&y中 /", "+d m=a\nb c d", "-d", "-r"}},
      {R"(<root><x a="1"b="2"/></root>)", {"+root", fault + "属性有误（位于第 15 字节）"}},
      {R"(<root><1x/></root>)", {"+root", fault + "开始标签有误（位于第 7 字节）"}},
      {R"(<root><x a="&bogus;"/></root>)",
       {"+root",
        "error: 文件已损坏：部件“xl/test.xml”不是有效的 XML：实体引用有误（位于第 13 字节）"}},
      {"<root><!DOCTYPE x></root>",
       {"+root",
        "error: 超出限制：部件“xl/test.xml”含有 DOCTYPE 或 ENTITY 声明（位于第 7 "
        "字节），为安全起见拒绝读取"}},
      // Names are matched by the parser that reads the part; the scan counts the depth.
      {"<root></x></root>", {"+root", "-x", fault + "结束标签多余（位于第 11 字节）"}},
      {"</root>", {fault + "结束标签多余（位于第 1 字节）"}},
      {"<root><x>", {"+root", "+x", "unfinished"}},
  };
  for (const auto& [xml, expected] : cases) {
    SCOPED_TRACE(xml);
    EXPECT_EQ(Scan(xml, xml.size()), expected);
  }
}

// An attribute value ends at the first quote of its kind however long it is, wherever it stands
// against the eight-byte words it is searched in and however the part is cut: the other quote,
// bytes that differ from the quote by one bit, and UTF-8 stay inside.
TEST(XmlTokenizerTest, AttributeValuesOfEveryLengthEndAtTheirQuote) {
  const std::string filler = "ab'c" "\xA2" "\x22" "\x23" "!" "\xE4\xB8\xAD" "d\"e" "\xA7";
  for (const char quote : {'"', '\''}) {
    for (std::size_t length = 0; length <= 20; ++length) {
      std::string value;
      for (std::size_t k = 0; k < length; ++k) {
        char c = filler[k % filler.size()];
        if (c == quote) c = 'q';
        value += c;
      }
      for (std::size_t shift = 0; shift < 8; ++shift) {
        const std::string xml = "<r" + std::string(shift, ' ') + " a=" + quote + value + quote +
                                " b=" + quote + quote + "/>";
        SCOPED_TRACE(xml);
        const std::vector<std::string> expected = {"+r a=" + value + " b= /"};
        ASSERT_EQ(Scan(xml, xml.size()), expected);
        ASSERT_EQ(Scan(xml, 1 + length % 7), expected);
      }
    }
  }
}

}  // namespace
}  // namespace tavrio::automation::readers::testing

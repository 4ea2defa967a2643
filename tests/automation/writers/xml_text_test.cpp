// The escaping rule of every text the .xlsx writer puts into XML, case by case: each class of
// code point XML 1.0 does not allow, the underscores that would read as escapes, and bytes that
// are no UTF-8.

#include "automation/writers/xml_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tavrio::automation::writers {
namespace {

struct EscapeCase {
  const char* name;
  std::string text;
  std::string element;    // as character data
  std::string attribute;  // as an attribute's value
  std::size_t replaced;
};

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

const EscapeCase kEscapeCases[] = {
    {"PlainAndChinese", "编号 007", "编号 007", "编号 007", 0},
    {"Markup", "<a href=\"x\">&</a>", "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;",
     "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;", 0},
    {"TabLineFeedCarriageReturn", "a\tb\nc\rd", "a\tb\nc&#13;d", "a&#9;b&#10;c&#13;d", 0},
    {"C0Controls", std::string("\x00\x01\x1F", 3) + "x", "_x0000__x0001__x001F_x",
     "_x0000__x0001__x001F_x", 0},
    {"Noncharacters",
     "a\xEF\xBF\xBE"
     "b\xEF\xBF\xBF",
     "a_xFFFE_b_xFFFF_", "a_xFFFE_b_xFFFF_", 0},
    {"LoneSurrogates", "\xED\xA0\x80|\xED\xBF\xBF", "_xD800_|_xDFFF_", "_xD800_|_xDFFF_", 0},
    {"SurrogatePairEncodedHalfByHalf", "\xED\xA0\xBD\xED\xB8\x80", "\xF0\x9F\x98\x80",
     "\xF0\x9F\x98\x80", 0},
    {"CharacterOfAnotherPlane", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
     "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", 0},
    {"NonCharactersXmlAllows", "\xEF\xB7\x90\xC2\x85", "\xEF\xB7\x90\xC2\x85",
     "\xEF\xB7\x90\xC2\x85", 0},
    {"LiteralEscapeIsKept", "_x0041_", "_x005F_x0041_", "_x005F_x0041_", 0},
    {"LowercaseEscapeIsKept", "_xffff_", "_x005F_xffff_", "_x005F_xffff_", 0},
    {"UnderscoresThatReadAsNothing", "_x_ _x00_ _X0041_ __", "_x_ _x00_ _X0041_ __",
     "_x_ _x00_ _X0041_ __", 0},
    {"EscapeCompletingAnEarlierUnderscore", "_x0042\x02", "_x005F_x0042_x0002_",
     "_x005F_x0042_x0002_", 0},
    {"NoncharacterCompletingAnEarlierUnderscore", "_x0042\xEF\xBF\xBE", "_x005F_x0042_xFFFE_",
     "_x005F_x0042_xFFFE_", 0},
    {"UnderscoreBeforeALineFeedIsPlain", "_x0042\n", "_x0042\n", "_x0042&#10;", 0},
    {"BrokenUtf8", Bytes({'a', 0xFF, 'b', 0xC0, 0x80, 0xE4, 0xB8}),
     "a\xEF\xBF\xBD"
     "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     "a\xEF\xBF\xBD"
     "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     5},
    {"EdgesOfThePlainThreeByteRange", "\xEE\x80\x80\xEC\xBF\xBF\xED\x9F\xBF\xE0\xA0\x80",
     "\xEE\x80\x80\xEC\xBF\xBF\xED\x9F\xBF\xE0\xA0\x80",
     "\xEE\x80\x80\xEC\xBF\xBF\xED\x9F\xBF\xE0\xA0\x80", 0},
    {"OverlongThreeBytes", Bytes({0xE0, 0x80, 0x80}), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 3},
    {"LeadOfTheQuickRangeWithoutItsTail", Bytes({0xE4, 'a', 0xE4, 0xB8, 'b'}),
     "\xEF\xBF\xBD"
     "a\xEF\xBF\xBD\xEF\xBF\xBD"
     "b",
     "\xEF\xBF\xBD"
     "a\xEF\xBF\xBD\xEF\xBF\xBD"
     "b",
     3},
    {"PastTheLastCodePoint", Bytes({0xF4, 0x90, 0x80, 0x80}),
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 4},
    {"Empty", "", "", "", 0},
};

void PrintTo(const EscapeCase& c, std::ostream* out) { *out << c.name; }

class XmlTextTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(XmlTextTest, WritesWhatAReaderDecodesBackExactly) {
  const EscapeCase& c = GetParam();
  TextBuffer element;
  element.Put('<');
  std::string attribute = "<";
  EXPECT_EQ(AppendXmlText(element, c.text), c.replaced);
  EXPECT_EQ(AppendXmlAttribute(attribute, c.text), c.replaced);
  EXPECT_EQ(element.view(), "<" + c.element);
  EXPECT_EQ(attribute, "<" + c.attribute);
}

INSTANTIATE_TEST_SUITE_P(Texts, XmlTextTest, ::testing::ValuesIn(kEscapeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavrio::automation::writers

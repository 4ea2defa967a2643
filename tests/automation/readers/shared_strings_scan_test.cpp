#include "automation/readers/shared_strings_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/readers/read_fault.h"
#include "automation/readers/shared_strings.h"

namespace tavrio::automation::readers::testing {
namespace {

constexpr std::string_view kPart = "xl/sharedStrings.xml";

// The table as texts, or the error as "error: ...".
std::vector<std::string> Texts(SharedStrings (*parse)(std::string, std::string_view),
                               const std::string& xml) {
  std::vector<std::string> texts;
  try {
    const SharedStrings strings = parse(xml, kPart);
    for (std::size_t i = 0; i < strings.size(); ++i) texts.emplace_back(strings[i]);
  } catch (const ReadFault& fault) {
    texts.push_back(std::string("error: ") + fault.what());
  }
  return texts;
}

struct PartCase {
  std::string name;
  std::string xml;
  bool scanned;  // whether the one-pass scan takes it (else the tree parser does)
};

std::string Sst(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\">" +
         items + "</sst>";
}

class SharedStringsScanTest : public ::testing::TestWithParam<PartCase> {};

// Whichever way a part is read, the table (or the error) is the same.
TEST_P(SharedStringsScanTest, GivesWhatTheTreeParserGives) {
  const PartCase& c = GetParam();
  EXPECT_EQ(ScanSharedStrings(c.xml).has_value(), c.scanned);
  EXPECT_EQ(Texts(ParseSharedStrings, c.xml), Texts(ParseSharedStringsTree, c.xml));
}

INSTANTIATE_TEST_SUITE_P(
    Parts, SharedStringsScanTest,
    ::testing::Values(
        PartCase{"Plain", Sst("<si><t>北京</t></si><si><t>00123</t></si><si><t/></si><si/>"), true},
        PartCase{"PreservedSpaceAndLineEnds",
                 Sst("<si><t xml:space=\"preserve\">  a\r\nb\rc\n </t></si><si><t> </t></si>"),
                 true},
        PartCase{"RichRunsJoinedPhoneticLeftOut",
                 Sst("<si><r><rPr><b/><sz val=\"11\"/><rFont val=\"宋体\"/></rPr><t>粗</t></r>"
                     "<r><t xml:space=\"preserve\"> 体</t><t>second t of a run</t></r>"
                     "<rPh sb=\"0\" eb=\"1\"><t>ふりがな</t></rPh><phoneticPr fontId=\"1\"/></si>"),
                 true},
        PartCase{"References",
                 Sst("<si><t>&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos; &#65;&#x4E2D;&#x1F600;</t>"
                     "</si>"),
                 true},
        PartCase{"EscapesOfSpreadsheetApplications", Sst("<si><t>a_x000D_b_x005F_x0041_</t></si>"),
                 true},
        PartCase{"PrefixedNames",
                 "<x:sst xmlns:x=\"urn:x\"><x:si><x:t>p</x:t></x:si><x:extLst><x:ext uri=\"u\">"
                 "<y:z/></x:ext></x:extLst></x:sst>",
                 true},
        PartCase{"Bom", "\xEF\xBB\xBF<sst><si><t>bom</t></si></sst>", true},
        PartCase{"TextBetweenElementsIgnored", Sst("<si>stray<t>x</t>tail</si>junk"), true},
        PartCase{"SingleQuotedAttributes", "<sst count='1'><si><t a = 'v'>q</t></si></sst>", true},
        // Left to the tree parser, which gives the same texts...
        PartCase{"Cdata", Sst("<si><t><![CDATA[<raw>]]></t></si>"), false},
        PartCase{"Comment", Sst("<!-- c --><si><t>x</t></si>"), false},
        PartCase{"ProcessingInstruction", Sst("<si><?pi x?><t>x</t></si>"), false},
        PartCase{"UnknownEntityKeptAsWritten", Sst("<si><t>&nbsp;</t></si>"), false},
        PartCase{"AmpersandAlone", Sst("<si><t>a & b</t></si>"), false},
        PartCase{"ElementInsideText", Sst("<si><t>a<b/>c</t></si>"), false},
        PartCase{"ReferenceInAttribute", "<sst a=\"&amp;\"><si><t>x</t></si></sst>", false},
        // ...or the same error.
        PartCase{"Doctype",
                 "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"b\">]><sst><si><t>&a;</t></si>"
                 "</sst>",
                 false},
        PartCase{"MismatchedEndTag", Sst("<si><t>x</si></t>"), false},
        PartCase{"Truncated", Sst("<si><t>x</t>").substr(0, 80), false},
        PartCase{"NameStartingWithADigit", Sst("<si><1t>x</1t></si>"), false},
        PartCase{"AttributesRunTogether", "<sst a=\"1\"b=\"2\"><si><t>x</t></si></sst>", false},
        PartCase{"LessThanInAttribute", "<sst a=\"<\"><si><t>x</t></si></sst>", false},
        PartCase{"InvalidCharacterReference", Sst("<si><t>&#xD800;</t></si>"), false},
        PartCase{"NoRoot", "<?xml version=\"1.0\"?>", false}),
    [](const ::testing::TestParamInfo<PartCase>& info) { return info.param.name; });

TEST(SharedStringsScanTest, NestingPastTheLimitIsLeftToTheTreeParserAndRefused) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<a>";
  for (int i = 0; i < 300; ++i) deep += "</a>";
  const std::string xml = Sst("<si>" + deep + "<t>x</t></si>");
  EXPECT_FALSE(ScanSharedStrings(xml).has_value());
  const std::vector<std::string> texts = Texts(ParseSharedStrings, xml);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("超出限制：部件“xl/sharedStrings.xml”的 XML 嵌套超过 256 层"),
            std::string::npos)
      << texts[0];
}

}  // namespace
}  // namespace tavrio::automation::readers::testing

#include "automation/readers/shared_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers::testing {
namespace {

constexpr std::string_view kPart = "xl/sharedStrings.xml";

// The table as texts, or the error as "error: ...".
std::vector<std::string> Texts(const std::string& xml) {
  std::vector<std::string> texts;
  try {
    const SharedStrings strings = ParseSharedStrings(xml, kPart);
    for (std::size_t i = 0; i < strings.size(); ++i) texts.emplace_back(strings[i]);
  } catch (const ReadFault& fault) {
    texts.push_back(std::string("error: ") + fault.what());
  }
  return texts;
}

// The fault at the 0-based `offset`, which messages count from 1.
std::string Malformed(const std::string& why, int offset) {
  return "error: 文件已损坏：部件“xl/sharedStrings.xml”不是有效的 XML：" + why + "（位于第 " +
         std::to_string(offset + 1) + " 字节）";
}

struct PartCase {
  std::string name;
  std::string xml;
  std::vector<std::string> texts;  // or the one error
};

std::string Sst(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\">" +
         items + "</sst>";
}

// Where `what` stands in Sst(items).
int InSst(const std::string& items, const std::string& what) {
  return static_cast<int>(Sst(items).find(what));
}

class SharedStringsTest : public ::testing::TestWithParam<PartCase> {};

TEST_P(SharedStringsTest, ReadsTheTableOrTellsWhatIsWrong) {
  EXPECT_EQ(Texts(GetParam().xml), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, SharedStringsTest,
    ::testing::Values(
        PartCase{"Plain",
                 Sst("<si><t>北京</t></si><si><t>00123</t></si><si><t/></si><si/>"),
                 {"北京", "00123", "", ""}},
        PartCase{"PreservedSpaceAndLineEnds",
                 Sst("<si><t xml:space=\"preserve\">  a\r\nb\rc\n </t></si><si><t> </t></si>"),
                 {"  a\nb\nc\n ", " "}},
        PartCase{"RichRunsJoinedPhoneticLeftOut",
                 Sst("<si><r><rPr><b/><sz val=\"11\"/><rFont val=\"宋体\"/></rPr><t>粗</t></r>"
                     "<r><t xml:space=\"preserve\"> 体</t><t>second t of a run</t></r>"
                     "<rPh sb=\"0\" eb=\"1\"><t>ふりがな</t></rPh><phoneticPr fontId=\"1\"/></si>"),
                 {"粗 体second t of a run"}},
        PartCase{"References",
                 Sst("<si><t>&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos; &#65;&#x4E2D;&#x1F600;</t>"
                     "</si>"),
                 {"<a> & \"b\" 'c' A中😀"}},
        PartCase{"EscapesOfSpreadsheetApplications",
                 Sst("<si><t>a_x000D_b_x005F_x0041_</t></si>"),
                 {"a\rb_x0041_"}},
        PartCase{"PrefixedNames",
                 "<x:sst xmlns:x=\"urn:x\"><x:si><x:t>p</x:t></x:si><x:extLst><x:ext uri=\"u\">"
                 "<y:z/></x:ext></x:extLst></x:sst>",
                 {"p"}},
        // Items and texts as applications write them, spaced, with attributes, or with names
        // that only begin alike, all read alike.
        PartCase{"ItemsAndTextsInAnySpelling",
                 Sst("<si ><t >a</t ></si ><si x=\"1\"><t>b</t></si><si><t/><t>c</t></si>"
                     "<sis><t>skipped</t></sis><si><tt>skipped</tt><r><t>d</t></r><t>e</t></si>"),
                 {"a", "b", "c", "de"}},
        PartCase{"Bom", "\xEF\xBB\xBF<sst><si><t>bom</t></si></sst>", {"bom"}},
        PartCase{"TextBetweenElementsIgnored", Sst("<si>stray<t>x</t>tail</si>junk"), {"x"}},
        PartCase{"SingleQuotedAttributes", "<sst count='1'><si><t a = 'v'>q</t></si></sst>", {"q"}},
        PartCase{"Cdata", Sst("<si><t><![CDATA[<raw>]]></t></si>"), {"<raw>"}},
        PartCase{"Comment", Sst("<!-- c --><si><t>x</t></si>"), {"x"}},
        PartCase{"ProcessingInstruction", Sst("<si><?pi x?><t>x</t></si>"), {"x"}},
        PartCase{"ElementInsideText", Sst("<si><t>a<b/>c</t></si>"), {"ac"}},
        PartCase{"ReferenceInAttribute", "<sst a=\"&amp;\"><si><t>x</t></si></sst>", {"x"}},
        PartCase{"CommentAfterTheRoot", "<sst><si><t>x</t></si></sst>\n<!-- end -->\n", {"x"}},
        PartCase{"EmptyRoot", "<sst/>", {}},
        // Refused as a desktop application's XML parser refuses them; the row parser words
        // the same faults alike.
        PartCase{"UnknownEntity",
                 Sst("<si><t>&nbsp;</t></si>"),
                 {Malformed("实体引用有误", InSst("<si><t>&nbsp;</t></si>", "&nbsp;"))}},
        PartCase{"AmpersandAlone",
                 Sst("<si><t>a & b</t></si>"),
                 {Malformed("实体引用有误", InSst("<si><t>a & b</t></si>", "& b"))}},
        PartCase{"InvalidCharacterReference",
                 Sst("<si><t>&#xD800;</t></si>"),
                 {Malformed("实体引用有误", InSst("<si><t>&#xD800;</t></si>", "&#xD800;"))}},
        PartCase{"Doctype",
                 "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"b\">]><sst><si><t>&a;</t></si>"
                 "</sst>",
                 {"error: 超出限制：部件“xl/sharedStrings.xml”含有 DOCTYPE 或 ENTITY 声明（位于第 "
                  "22 字节），为安全起见拒绝读取"}},
        PartCase{"MismatchedEndTag",
                 Sst("<si><t>x</si></t>"),
                 {Malformed("开始标签与结束标签不匹配", InSst("<si><t>x</si></t>", "</si>"))}},
        PartCase{"Truncated", Sst("<si><t>x</t>").substr(0, 80), {Malformed("意外结束", 80)}},
        PartCase{"NameStartingWithADigit",
                 Sst("<si><1t>x</1t></si>"),
                 {Malformed("开始标签有误", InSst("<si><1t>x</1t></si>", "<1t>"))}},
        PartCase{"AttributesRunTogether",
                 "<sst a=\"1\"b=\"2\"><si><t>x</t></si></sst>",
                 {Malformed("属性有误", 10)}},
        PartCase{"TextAfterTheRoot",
                 "<sst><si><t>x</t></si></sst>tail",
                 {Malformed("根元素之后有多余的内容", 28)}},
        PartCase{"NoRoot", "<?xml version=\"1.0\"?>", {Malformed("没有根元素", 21)}}),
    [](const ::testing::TestParamInfo<PartCase>& info) { return info.param.name; });

TEST(SharedStringsTest, NestingPastTheLimitIsRefused) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<a>";
  for (int i = 0; i < 300; ++i) deep += "</a>";
  const std::vector<std::string> texts = Texts(Sst("<si>" + deep + "<t>x</t></si>"));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("超出限制：部件“xl/sharedStrings.xml”的 XML 嵌套超过 256 层"),
            std::string::npos)
      << texts[0];
}

}  // namespace
}  // namespace tavrio::automation::readers::testing

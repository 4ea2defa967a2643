// The styles part: what each cell format says about fonts, fills, borders and alignment,
// including the ways writers spell the same thing differently.

#include "automation/readers/styles_part.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr char kStyles[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<x:styleSheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<x:numFmts count="2"><x:numFmt numFmtId="170" formatCode="0.0&quot;件&quot;"/>
  <x:numFmt numFmtId="171" formatCode=""/></x:numFmts>
<x:fonts count="5">
  <x:font><x:sz val="11"/><x:color theme="1"/><x:name val="宋体"/><x:scheme val="minor"/></x:font>
  <x:font><x:b/><x:i val="1"/><x:strike val="true"/><x:u/><x:sz val="10.5"/>
    <x:color rgb="FFFF0000"/><x:name val="Arial"/></x:font>
  <x:font><x:b val="0"/><x:i val="false"/><x:u val="double"/><x:sz val="-3"/>
    <x:color indexed="10" tint="0.5"/><x:name val="Arial"/></x:font>
  <x:font><x:u val="none"/><x:sz val="twelve"/><x:color auto="1"/></x:font>
  <x:font><x:color theme="4" tint="-0.249977111117893"/></x:font>
</x:fonts>
<x:fills count="4">
  <x:fill><x:patternFill patternType="none"/></x:fill>
  <x:fill><x:patternFill patternType="gray125"/></x:fill>
  <x:fill><x:patternFill patternType="solid"><x:fgColor rgb="FFFFFF00"/><x:bgColor indexed="64"/>
    </x:patternFill></x:fill>
  <x:fill><x:gradientFill degree="90"><x:stop position="0"><x:color rgb="FF000000"/></x:stop>
    </x:gradientFill></x:fill>
  <x:fill><x:patternFill><x:fgColor rgb="FFFFFF00"/></x:patternFill></x:fill>
</x:fills>
<x:borders count="3">
  <x:border><x:left/><x:right/><x:top/><x:bottom/><x:diagonal/></x:border>
  <x:border><x:left style="thin"><x:color auto="1"/></x:left><x:right style="none"/>
    <x:top style="double"><x:color rgb="FF1F4E79"/></x:top><x:bottom style="hair"/></x:border>
  <x:border><x:start style="medium"/><x:end style="dashed"><x:color theme="3"/></x:end></x:border>
</x:borders>
<x:cellXfs count="9">
  <x:xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>
  <x:xf numFmtId="170" fontId="1" fillId="2" borderId="1" applyFont="1">
    <x:alignment horizontal="center" vertical="top" wrapText="1"/></x:xf>
  <x:xf numFmtId="10" fontId="2" fillId="3" borderId="2">
    <x:alignment horizontal="general" vertical="bottom" wrapText="0"/></x:xf>
  <x:xf fontId="3" fillId="1"><x:alignment wrapText="true" vertical="distributed"/></x:xf>
  <x:xf fontId="99" fillId="99" borderId="99"/>
  <x:xf fontId="x" fillId="-1"/>
  <x:xf fontId="4" fillId="4"/>
  <x:xf numFmtId="171"/>
</x:cellXfs>
</x:styleSheet>)";

struct Expected {
  const char* what;
  StyleInfo style;
};

StyleInfo Style(std::string format, FontInfo font, FillInfo fill = {}, BorderInfo border = {},
                AlignmentInfo alignment = {}) {
  StyleInfo style(std::move(format));
  style.font = std::move(font);
  style.fill = std::move(fill);
  style.border = std::move(border);
  style.alignment = std::move(alignment);
  return style;
}

ColorInfo Rgb(const char* rgb) { return ColorInfo{rgb, -1, -1, 0}; }
ColorInfo Indexed(int index, double tint = 0) { return ColorInfo{"", -1, index, tint}; }

TEST(StylesPartTest, EachCellFormatCarriesItsFontFillBordersAndAlignment) {
  const std::vector<Expected> expected = {
      {"the default, a theme-coloured font, resolved with the default theme",
       Style("General", {"宋体", 11, false, false, false, "", Rgb("FF000000")})},
      {"every switch on, the bare underline single",
       Style("0.0\"件\"", {"Arial", 10.5, true, true, true, "single", Rgb("FFFF0000")},
             {"solid", Rgb("FFFFFF00"), Indexed(64)},
             {{"thin", {}}, {}, {"double", Rgb("FF1F4E79")}, {"hair", {}}},
             {"center", "top", true})},
      {"switches off by value, a size out of range, a gradient fill, start and end sides",
       Style("0.00%", {"Arial", 0, false, false, false, "double", Indexed(10, 0.5)}, {},
             {{"medium", {}}, {"dashed", Rgb("FF1F497D")}, {}, {}})},
      {"the defaults spelt out, a size that is no number, an automatic colour",
       Style("General", {}, {"gray125", {}, {}}, {}, {"", "distributed", true})},
      {"ids that name nothing", Style("General", {})},
      {"ids that are no numbers", Style("General", {})},
      {"a theme colour darkened, a pattern fill without a pattern",
       Style("General", {"", 0, false, false, false, "", Rgb("FF376092")})},
      {"an empty format code", Style("General", {})},
  };
  const std::vector<StyleInfo> styles = ParseStylesPart(kStyles, "xl/styles.xml");
  ASSERT_EQ(styles.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].what);
    const StyleInfo& style = styles[i];
    const StyleInfo& want = expected[i].style;
    EXPECT_EQ(style.number_format, want.number_format);
    EXPECT_EQ(style.font.name, want.font.name);
    EXPECT_EQ(style.font.size, want.font.size);
    EXPECT_EQ(style.font.bold, want.font.bold);
    EXPECT_EQ(style.font.italic, want.font.italic);
    EXPECT_EQ(style.font.strike, want.font.strike);
    EXPECT_EQ(style.font.underline, want.font.underline);
    EXPECT_TRUE(style.font.color == want.font.color);
    EXPECT_TRUE(style.fill == want.fill);
    EXPECT_TRUE(style.border == want.border);
    EXPECT_TRUE(style.alignment == want.alignment);
  }
}

TEST(StylesPartTest, AStylesPartWithoutCellFormatsGivesTheDefaultStyle) {
  const std::vector<StyleInfo> styles =
      ParseStylesPart("<styleSheet><fonts><font><b/></font></fonts></styleSheet>", "xl/styles.xml");
  ASSERT_EQ(styles.size(), 1u);
  EXPECT_TRUE(styles[0] == StyleInfo{});
}

}  // namespace
}  // namespace tavrio::automation::readers

// Theme colours and tints: the colours LibreOffice Calc gives the default Office theme's colour
// picker entries when it opens an .xlsx (read from its .ods conversion; Excel's own picker
// rounds some of them one step the other way), and theme parts as writers spell them.

#include "automation/readers/theme_part.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "automation/readers/read_fault.h"
#include "automation/readers/styles_part.h"

namespace tavrio::automation::readers {
namespace {

std::string Hex(std::uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb));
  return text;
}

struct TintCase {
  int theme;
  double tint;
  const char* rgb;
};

// Entries of the default theme's colour picker, "lighter 80%" to "darker 50%".
constexpr TintCase kTints[] = {
    {0, 0, "FFFFFF"},
    {0, -0.0499893185216834, "F2F2F2"},
    {0, -0.1499984740745262, "D9D9D9"},
    {0, -0.249977111117893, "BFBFBF"},
    {0, -0.3499862666707358, "A6A6A6"},
    {0, -0.499984740745262, "808080"},
    {1, 0.499984740745262, "7F7F7F"},
    {1, 0.3499862666707358, "595959"},
    {1, 0.249977111117893, "404040"},
    {1, 0.1499984740745262, "262626"},
    {1, 0.0499893185216834, "0D0D0D"},
    {4, 0.7999816888943144, "DCE6F2"},
    {4, 0.5999938962981048, "B9CDE5"},
    {4, 0.3999755851924192, "95B3D7"},
    {4, -0.249977111117893, "376092"},
    {4, -0.499984740745262, "254061"},
    {5, 0.7999816888943144, "F2DCDB"},
    {5, -0.249977111117893, "953735"},
    {2, -0.0999786370433668, "DDD9C3"},
    {2, -0.249977111117893, "C4BD97"},
    {2, -0.499984740745262, "948A54"},
    {9, 0.3999755851924192, "FAC090"},
    {9, -0.249977111117893, "E46C0A"},
    {1, 1, "FFFFFF"},
    {0, -1, "000000"},
    {4, 7, "FFFFFF"},
};

TEST(ThemePartTest, TintsGiveTheColoursOfTheColourPicker) {
  for (const TintCase& c : kTints) {
    SCOPED_TRACE("theme " + std::to_string(c.theme) + " tint " + std::to_string(c.tint));
    EXPECT_EQ(Hex(ApplyTint(DefaultThemeColors()[c.theme], c.tint)), c.rgb);
  }
}

TEST(ThemePartTest, OpaqueArgbPutsFullAlphaBeforeTheColour) {
  EXPECT_EQ(OpaqueArgb(0x1F4E79), "FF1F4E79");
  EXPECT_EQ(OpaqueArgb(0), "FF000000");
}

constexpr char kTheme[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" name="Custom">
<a:themeElements><a:clrScheme name="Custom">
  <a:dk1><a:sysClr val="windowText" lastClr="101010"/></a:dk1>
  <a:lt1><a:sysClr val="window"/></a:lt1>
  <a:dk2><a:srgbClr val="44546a"/></a:dk2>
  <a:lt2><a:srgbClr val="E7E6E6"/></a:lt2>
  <a:accent1><a:srgbClr val="5B9BD5"/></a:accent1>
  <a:accent2><a:schemeClr val="accent1"/></a:accent2>
  <a:accent3><a:srgbClr val="A5A5A"/></a:accent3>
  <a:accent4><a:srgbClr val="FFC000"/></a:accent4>
  <a:accent6><a:srgbClr val="70AD47"/></a:accent6>
  <a:hlink><a:srgbClr val="0563C1"/></a:hlink>
  <a:folHlink><a:srgbClr val="954F72"/></a:folHlink>
</a:clrScheme></a:themeElements></a:theme>)";

TEST(ThemePartTest, SchemeColoursCountLightBeforeDarkAndKeepDefaultsForWhatIsUnclear) {
  const ThemeColors colors = ParseThemePart(kTheme, "xl/theme/theme1.xml");
  const char* expected[] = {"FFFFFF",  // lt1: a system colour without lastClr keeps the default
                            "101010",  // dk1 from lastClr
                            "E7E6E6", "44546A", "5B9BD5",
                            "C0504D",  // accent2 refers to another scheme colour: default
                            "9BBB59",  // accent3 is no six-digit colour: default
                            "FFC000",
                            "4BACC6",  // accent5 missing: default
                            "70AD47", "0563C1", "954F72"};
  for (std::size_t i = 0; i < colors.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Hex(colors[i]), expected[i]);
  }
}

TEST(ThemePartTest, AThemePartWithoutAColourSchemeGivesTheDefaultTheme) {
  EXPECT_EQ(ParseThemePart("<a:theme xmlns:a=\"x\"/>", "xl/theme/theme1.xml"),
            DefaultThemeColors());
}

TEST(ThemePartTest, ADamagedThemePartIsRefusedNamingThePart) {
  try {
    ParseThemePart("<a:theme><a:themeElements>", "xl/theme/theme1.xml");
    FAIL() << "no ReadFault";
  } catch (const ReadFault& fault) {
    EXPECT_NE(std::string(fault.what()).find("xl/theme/theme1.xml"), std::string::npos)
        << fault.what();
  }
}

constexpr char kPaletteStyles[] = R"(<styleSheet>
<fonts>
  <font><color theme="1"/></font>
  <font><color theme="4" tint="0.3999755851924192"/></font>
  <font><color indexed="2"/></font>
  <font><color indexed="2" tint="-0.5"/></font>
  <font><color indexed="64"/></font>
  <font><color theme="12"/></font>
  <font><color rgb="FF4F81BD" tint="-0.249977111117893"/></font>
  <font><color indexed="3"/></font>
</fonts>
<fills>
  <fill><patternFill patternType="solid"><fgColor theme="0" tint="-0.1499984740745262"/>
    <bgColor indexed="1"/></patternFill></fill>
</fills>
<borders>
  <border><left style="thin"><color theme="3"/></left><bottom style="thin"><color indexed="0"/>
    </bottom></border>
</borders>
<cellXfs>
  <xf fontId="0" fillId="0" borderId="0"/><xf fontId="1"/><xf fontId="2"/><xf fontId="3"/>
  <xf fontId="4"/><xf fontId="5"/><xf fontId="6"/><xf fontId="7"/>
</cellXfs>
<colors><indexedColors>
  <rgbColor rgb="FF112233"/><rgbColor rgb="FFFEFDFC"/><rgbColor rgb="FF4F81BD"/>
  <rgbColor rgb="oops"/>
</indexedColors></colors>
</styleSheet>)";

ColorInfo Rgb(const char* rgb) { return ColorInfo{rgb, -1, -1, 0}; }

TEST(ThemePartTest, StylesResolveThemeAndRedefinedPaletteColoursToArgb) {
  ThemeColors theme = DefaultThemeColors();
  theme[1] = 0x202020;
  const std::vector<StyleInfo> styles = ParseStylesPart(kPaletteStyles, "xl/styles.xml", theme);
  struct Expected {
    const char* what;
    ColorInfo color;
  };
  const Expected expected[] = {
      {"the workbook's own dk1", Rgb("FF202020")},
      {"an accent lightened", Rgb("FF95B3D7")},
      {"a redefined palette entry", Rgb("FF4F81BD")},
      {"a redefined palette entry darkened", Rgb("FF254061")},
      {"the system foreground stays indexed", ColorInfo{"", -1, 64, 0}},
      {"a theme index past the scheme turns automatic", ColorInfo{}},
      {"an ARGB colour with a tint", Rgb("FF376092")},
      {"a palette entry that is no colour stays indexed", ColorInfo{"", -1, 3, 0}},
  };
  ASSERT_EQ(styles.size(), std::size(expected));
  for (std::size_t i = 0; i < styles.size(); ++i) {
    SCOPED_TRACE(expected[i].what);
    EXPECT_TRUE(styles[i].font.color == expected[i].color) << styles[i].font.color.rgb;
  }
  EXPECT_TRUE(styles[0].fill.foreground == Rgb("FFD9D9D9"));
  EXPECT_TRUE(styles[0].fill.background == Rgb("FFFEFDFC"));
  EXPECT_TRUE(styles[0].border.left.color == Rgb("FF1F497D"));
  EXPECT_TRUE(styles[0].border.bottom.color == Rgb("FF112233"));
}

TEST(ThemePartTest, WithoutACustomPaletteIndexedColoursStayIndexedWithTheirTint) {
  const std::vector<StyleInfo> styles = ParseStylesPart(
      "<styleSheet><fonts><font><color indexed=\"10\" tint=\"0.5\"/></font></fonts>"
      "<cellXfs><xf fontId=\"0\"/></cellXfs></styleSheet>",
      "xl/styles.xml");
  ASSERT_EQ(styles.size(), 1u);
  EXPECT_TRUE(styles[0].font.color == (ColorInfo{"", -1, 10, 0.5}));
}

}  // namespace
}  // namespace tavrio::automation::readers

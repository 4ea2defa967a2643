// OpenDocument formulas in the A1 text an .xlsx file keeps, and the ones refused because their
// Excel spelling is not certain.

#include "automation/readers/open_formula.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrio::automation::readers {
namespace {

struct Translation {
  const char* open_formula;
  const char* a1;
};

class OpenFormulaTest : public ::testing::TestWithParam<Translation> {};

TEST_P(OpenFormulaTest, TranslatesToA1Text) {
  EXPECT_EQ(TranslateOpenFormula(GetParam().open_formula), std::string(GetParam().a1));
}

INSTANTIATE_TEST_SUITE_P(
    References, OpenFormulaTest,
    ::testing::Values(
        Translation{"of:=[.A1]*2", "A1*2"}, Translation{"=[.A1]*2", "A1*2"},
        Translation{"of:=[.$A$1]+[.$B2]+[.C$3]", "$A$1+$B2+C$3"},
        Translation{"of:=SUM([.A1:.B2])", "SUM(A1:B2)"},
        Translation{"of:=SUM([.a1:.b2])", "SUM(A1:B2)"},
        Translation{"of:=SUM([.$A$1:.$B$2])", "SUM($A$1:$B$2)"},
        Translation{"of:=[$Sheet2.A1]", "Sheet2!A1"}, Translation{"of:=[Sheet2.A1]", "Sheet2!A1"},
        Translation{"of:=[$'My sheet'.A1]+[$'It''s'.B2]", "'My sheet'!A1+'It''s'!B2"},
        Translation{"of:=[$'Q1 销售'.$A$1]", "'Q1 销售'!$A$1"},
        Translation{"of:=[$数据.A1]", "数据!A1"}, Translation{"of:=[$'A1'.B2]", "'A1'!B2"},
        Translation{"of:=SUM([$Sheet2.A1:.B2])", "SUM(Sheet2!A1:B2)"},
        Translation{"of:=SUM([$Sheet2.A1:$Sheet2.B2])", "SUM(Sheet2!A1:B2)"},
        Translation{"of:=SUM([$Jan.A1:$Mar.A1])", "SUM(Jan:Mar!A1)"},
        Translation{"of:=SUM([$Jan.A1:$Mar.B2])", "SUM(Jan:Mar!A1:B2)"},
        Translation{"of:=SUM([$'Jan 1'.A1:$Mar.B2])", "SUM('Jan 1:Mar'!A1:B2)"},
        Translation{"of:=SUM([.A:.A])", "SUM(A:A)"},
        Translation{"of:=SUM([.$B:.$C])", "SUM($B:$C)"},
        Translation{"of:=SUM([.1:.2])", "SUM(1:2)"},
        Translation{"of:=SUM([$Sheet2.$3:.$3])", "SUM(Sheet2!$3:$3)"},
        Translation{"of:=[.XFD1048576]", "XFD1048576"}, Translation{"of:=[.#REF!]", "#REF!"},
        Translation{"of:=SUM([$#REF!.A1])", "SUM(#REF!)"},
        Translation{"of:=[.A1:.#REF!]+1", "#REF!+1"}, Translation{"of:=[.A1]:[.B2]", "A1:B2"},
        Translation{"of:=SUM([.A1:.B3]![.B2:.C4])", "SUM(A1:B3 B2:C4)"},
        Translation{"of:=SUM(([.A1]~[.A2]))", "SUM((A1,A2))"},
        Translation{"of:=SUM(([.A1:.A2]~[.B1]![.B2]~[$Sheet2.C1]))",
                    "SUM((A1:A2,B1 B2,Sheet2!C1))"},
        Translation{"of:=INDEX(([.A1]~[.B1]);1;1;2)", "INDEX((A1,B1),1,1,2)"},
        Translation{"of:=SUM(([.A1]~[.A2])+1)", "SUM((A1,A2)+1)"},
        Translation{"of:=SUM(税率;[.A1])", "SUM(税率,A1)"}, Translation{"of:=#REF!+1", "#REF!+1"},
        Translation{"of:=[.A1:.B2]!INDEX([.A1:.B2];1;0)", "A1:B2 INDEX(A1:B2,1,0)"}));

INSTANTIATE_TEST_SUITE_P(
    Operators, OpenFormulaTest,
    ::testing::Values(
        Translation{"of:=-[.A1]^2%", "-A1^2%"}, Translation{"of:=1+-+2", "1+-+2"},
        Translation{"of:=\"a\"\"b\"&[.A1]", "\"a\"\"b\"&A1"},
        Translation{"of:=\"x;y|z~[.A1]\"", "\"x;y|z~[.A1]\""},
        Translation{"of:=[.A1]<>[.B1]", "A1<>B1"}, Translation{"of:=[.A1]<=1", "A1<=1"},
        Translation{"of:=[.A1]>=1", "A1>=1"}, Translation{"of:=[.A1]<1", "A1<1"},
        Translation{"of:=[.A1]>1", "A1>1"}, Translation{"of:=[.A1]=1", "A1=1"},
        Translation{"of:=([.A1]+[.B1])*2/3", "(A1+B1)*2/3"},
        Translation{"of:= SUM ( [.A1] ; 2 )", "SUM(A1,2)"},
        Translation{"of:=1.5E+100+0.10+.5+1e-5", "1.5E+100+0.1+0.5+1E-05"},
        Translation{"of:=#N/A", "#N/A"},
        Translation{"of:=IFERROR(#DIV/0!;#VALUE!)", "IFERROR(#DIV/0!,#VALUE!)"},
        Translation{"of:=TRUE()", "TRUE"}, Translation{"of:=[.A1]=FALSE( )", "A1=FALSE"},
        Translation{"of:=IF([.A1];;1)", "IF(A1,,1)"}, Translation{"of:=IF([.A1];1;)", "IF(A1,1,)"},
        Translation{"of:=PI()", "PI()"}));

INSTANTIATE_TEST_SUITE_P(
    ArraysAndFunctions, OpenFormulaTest,
    ::testing::Values(
        Translation{"of:={1;2|3;4}", "{1,2;3,4}"}, Translation{"of:=SUM({1;2;3})", "SUM({1,2,3})"},
        Translation{"of:={1|2|3}", "{1;2;3}"},
        Translation{"of:={\"a\";TRUE()|\"b\";-1.5}", "{\"a\",TRUE;\"b\",-1.5}"},
        Translation{"of:={\"a\";TRUE|\"b\";false}", "{\"a\",TRUE;\"b\",FALSE}"},
        Translation{"of:={#N/A;1}", "{#N/A,1}"}, Translation{"of:=sum([.A1])", "SUM(A1)"},
        Translation{"of:=COM.MICROSOFT.IFS([.A1]>1;1;TRUE();2)", "_xlfn.IFS(A1>1,1,TRUE,2)"},
        Translation{"of:=COM.MICROSOFT.CEILING(2.5;1)", "CEILING(2.5,1)"},
        Translation{"of:=COM.MICROSOFT.STDEV.S([.A1:.A3])", "_xlfn.STDEV.S(A1:A3)"},
        Translation{"of:=LEGACY.FDIST(1;2;3)", "FDIST(1,2,3)"},
        Translation{"of:=FDIST(1;2;3;TRUE())", "_xlfn.F.DIST(1,2,3,TRUE)"},
        Translation{"of:=FORMULA([.A1])", "_xlfn.FORMULATEXT(A1)"},
        Translation{"of:=SKEWP([.A1:.A3])", "_xlfn.SKEW.P(A1:A3)"},
        Translation{"of:=IFNA(1;2)+DAYS([.A2];[.A1])", "_xlfn.IFNA(1,2)+_xlfn.DAYS(A2,A1)"},
        Translation{"of:=EDATE([.A1];1)", "EDATE(A1,1)"},
        Translation{"of:=ERROR.TYPE(#N/A)", "ERROR.TYPE(#N/A)"},
        Translation{"of:=[.A1:.B2] ! [.B1:.C2]", "A1:B2 B1:C2"}));

class OpenFormulaRefusalTest : public ::testing::TestWithParam<const char*> {};

TEST_P(OpenFormulaRefusalTest, IsRefused) {
  EXPECT_EQ(TranslateOpenFormula(GetParam()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    OpenFormula, OpenFormulaRefusalTest,
    ::testing::Values(
        // Other namespaces, and none at all.
        "oooc:=SUM([.A1])", "xyz:=1", "[.A1]", "of:", "of:=", "",
        // Functions without a certain Excel equivalent.
        "of:=CEILING(2.5;1)", "of:=FLOOR(2.5;1)", "of:=_xlfn.xlookup(1;[.A1:.A3];[.A1:.A3])",
        "of:=phonetic([.A1])", "of:=ORG.OPENOFFICE.WEEKS([.A1];[.A2];0)",
        "of:=ORG.LIBREOFFICE.RAWSUBTRACT(1;2)", "of:=CHISQDIST(1;2)", "of:=NOSUCH(1)",
        "msoxl:=SUM(A1:B2,Sheet2!C3)",
        // Bytes that are not UTF-8, which no formula text may hold.
        "of:=\"\xff\"",
        // References Excel cannot spell, or not for certain.
        "of:=['file:///a.ods'#$Sheet1.A1]", "of:=[.A1:$Sheet2.B2]", "of:=[.A]", "of:=[.1]",
        "of:=[.A1:.B]", "of:=[.A:.2]", "of:=[A1]", "of:=[.XFE1]", "of:=[.A1048577]", "of:=[.A0]",
        "of:=[.AAAA1]", "of:=[$.A1]", "of:=[$''.A1]", "of:=[.A1", "of:=[$'a.A1]", "of:=[.$A]",
        "of:=[.A$]",
        // Sheet names Excel refuses, or a formula could not quote for certain.
        "of:=[$'a:b'.A1]", "of:=[$a\"b.A1]", "of:=[$'a[1]'.A1]", "of:=[$'a/b'.A1]",
        "of:=[$'a\tb'.A1]",
        // The union outside parentheses of its own, or beside other operators.
        "of:=[.A1]~[.A2]", "of:=SUM([.A1]~[.A2])", "of:=SUM(([.A1]~[.A2]+1))", "of:=SUM((1~[.A2]))",
        // The range operator between constants or names, which Excel reads as rows or columns.
        "of:=1:2", "of:=[.A1]:2", "of:=a:b", "of:=[.A1]:\"x\"",
        // Reference operators beside names, as in a formula LibreOffice could not read.
        "of:=sheet2!#ref!", "of:=nope!abc", "of:=abc![.A1]", "of:=([.A1]~abc)",
        "of:=SUM([.A1]:#REF!)",
        // Names Excel would read as something else.
        "of:=A1+1", "of:=R1C1", "of:=TRUE", "of:=false+1",
        // Arrays of anything but constants.
        "of:={[.A1];2}", "of:={SUM(1)}", "of:={x}", "of:={1+2}", "of:={-\"a\"}", "of:={{1}}",
        "of:={1;;2}", "of:={;1}", "of:={1%}",
        // Malformed.
        "of:=SUM(1;2", "of:=SUM(1;2))", "of:=(1", "of:=1)", "of:=1+", "of:=*1", "of:=1 2",
        "of:=[.A1][.B1]", "of:=\"abc", "of:=#FOO!", "of:=1.2.3", "of:=1e", "of:=(1;2)", "of:=1|2",
        "of:=()", "of:=SUM(1+)", "of:=1e999", "of:=@", "of:=1==2", "of:=(1}", "of:={1)"));

TEST(OpenFormulaTest, AFormulaLongerThanExcelTakesIsRefused) {
  std::string formula = "of:=1";
  while (formula.size() < 8192 + 4) formula += "+1";
  EXPECT_EQ(TranslateOpenFormula(formula), std::nullopt);
  EXPECT_TRUE(TranslateOpenFormula(formula.substr(0, 8192 + 3)).has_value());
}

}  // namespace
}  // namespace tavrio::automation::readers

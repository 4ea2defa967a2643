#include "app/sheets/sheet_model.h"

#include <gtest/gtest.h>

#include "fake_workbooks.h"

namespace tavrio::app::sheets {
namespace {

using automation::CellErrorValue;
using testing::EngineOver;
using testing::FakeFiles;

const FakeFiles& Files() {
  static const FakeFiles files = {
      {"/data/混合.xlsx",
       {{"数据",
         {{1, 1, std::string("姓名")},
          {2, 1, std::string("  前后空格  ")},
          {2, 2, 45382.0, "yyyy-mm-dd"},
          {2, 3, 0.256, "0.0%"},
          {2, 4, 1234567.891, "#,##0.00"},
          {2, 5, true},
          {2, 6, false},
          {2, 7, CellErrorValue{"#N/A"}},
          {2, 8, std::monostate{}, "0.00"},
          {2, 9, 42.0},
          {2, 10, 0.75, "h:mm:ss"},
          {2, 11, -3.5, "#,##0.00;[Red](#,##0.00)"},
          {2, 12, std::string("0012")},
          {1000000, 1, std::string("最后一行")}}},
        {"第二页", {{1, 1, std::string("未读取")}}}}},
  };
  return files;
}

class SheetModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_->OpenWorkbook("/data/混合.xlsx");
    engine_->ActiveSheetLastUsedRow();  // reads the active sheet's cells
    workbook_ = engine_->FindWorkbook("混合.xlsx");
    ASSERT_NE(workbook_, nullptr);
    model_.Show(workbook_, 0);
  }

  QString Text(int row, int column) {
    return model_.data(model_.index(row - 1, column - 1), Qt::DisplayRole).toString();
  }
  Qt::Alignment Alignment(int row, int column) {
    return model_.data(model_.index(row - 1, column - 1), Qt::TextAlignmentRole)
        .value<Qt::Alignment>();
  }

  std::unique_ptr<automation::Engine> engine_ = EngineOver(Files());
  const automation::engine::Workbook* workbook_ = nullptr;
  SheetModel model_;
};

TEST_F(SheetModelTest, ShowsEachValueAsItsFormatSays) {
  struct Case {
    int column;
    QString text;
    Qt::Alignment horizontal;
  };
  const Case cases[] = {
      {1, QStringLiteral("  前后空格  "), Qt::AlignLeft},
      {2, QStringLiteral("2024-03-31"), Qt::AlignRight},
      {3, QStringLiteral("25.6%"), Qt::AlignRight},
      {4, QStringLiteral("1,234,567.89"), Qt::AlignRight},
      {5, QStringLiteral("TRUE"), Qt::AlignHCenter},
      {6, QStringLiteral("FALSE"), Qt::AlignHCenter},
      {7, QStringLiteral("#N/A"), Qt::AlignHCenter},
      {9, QStringLiteral("42"), Qt::AlignRight},
      {10, QStringLiteral("18:00:00"), Qt::AlignRight},
      {11, QStringLiteral("(3.50)"), Qt::AlignRight},
      {12, QStringLiteral("0012"), Qt::AlignLeft},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    EXPECT_EQ(Text(2, c.column), c.text);
    EXPECT_EQ(Alignment(2, c.column) & Qt::AlignHorizontal_Mask, c.horizontal);
  }
}

TEST_F(SheetModelTest, BlankAndMissingCellsShowNothing) {
  EXPECT_FALSE(model_.data(model_.index(1, 7), Qt::DisplayRole).isValid());  // styled blank H2
  EXPECT_FALSE(model_.data(model_.index(2, 0), Qt::DisplayRole).isValid());  // never written
  EXPECT_FALSE(model_.data(model_.index(1, 1), Qt::ToolTipRole).isValid());
}

TEST_F(SheetModelTest, HeadersShowColumnLettersAndRowNumbers) {
  const std::pair<int, QString> columns[] = {
      {0, "A"}, {11, "L"}, {25, "Z"}, {26, "AA"}, {27, "AB"}};
  for (const auto& [section, letters] : columns) {
    EXPECT_EQ(model_.headerData(section, Qt::Horizontal, Qt::DisplayRole).toString(), letters);
  }
  EXPECT_EQ(model_.headerData(0, Qt::Vertical, Qt::DisplayRole).toInt(), 1);
  EXPECT_EQ(model_.headerData(999999, Qt::Vertical, Qt::DisplayRole).toInt(), 1000000);
}

TEST_F(SheetModelTest, GridIsAsLargeAsTheLastUsedRowOrTheView) {
  EXPECT_EQ(model_.LastUsedRow(), 1000000u);
  EXPECT_EQ(model_.rowCount(), 1000000);
  EXPECT_EQ(Text(1000000, 1), QStringLiteral("最后一行"));
  model_.SetMinimumSize(40, 30);
  EXPECT_EQ(model_.rowCount(), 1000000);
  EXPECT_EQ(model_.columnCount(), 30);
  model_.SetMinimumSize(40, 5);
  EXPECT_EQ(model_.columnCount(), 12);  // the last used column, L
}

TEST_F(SheetModelTest, ASheetNotReadYetShowsAnEmptyGridOfTheViewsSize) {
  model_.SetMinimumSize(20, 8);
  model_.Show(workbook_, 1);
  EXPECT_EQ(model_.rowCount(), 20);
  EXPECT_EQ(model_.columnCount(), 8);
  EXPECT_FALSE(model_.data(model_.index(0, 0), Qt::DisplayRole).isValid());
}

TEST_F(SheetModelTest, DetachedShowsNothing) {
  model_.Detach();
  EXPECT_EQ(model_.LastUsedRow(), 0u);
  EXPECT_FALSE(model_.data(model_.index(1, 0), Qt::DisplayRole).isValid());
}

}  // namespace
}  // namespace tavrio::app::sheets

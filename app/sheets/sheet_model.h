#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <cstdint>

namespace tavrio::automation::engine {
class Sheet;
class Workbook;
}  // namespace tavrio::automation::engine

namespace tavrio::app::sheets {

// One sheet of an engine workbook as a grid. Cells are read from the sheet when the view asks
// for them and nothing is copied, so a sheet of a million rows costs the view only what it
// paints. The grid is at least as large as the view shows, and as large as the sheet's last
// used row and column.
class SheetModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit SheetModel(QObject* parent = nullptr);

  // Shows sheet `sheet` of `workbook` (not owned; call Detach before it goes), re-reading its
  // size. A sheet whose cells were not read yet shows empty.
  void Show(const automation::engine::Workbook* workbook, std::size_t sheet);
  void Detach();
  // How many rows and columns the view has room for.
  void SetMinimumSize(int rows, int columns);
  std::uint32_t LastUsedRow() const { return last_used_row_; }
  std::uint32_t LastColumn() const { return last_column_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const automation::engine::Sheet* CurrentSheet() const;

  const automation::engine::Workbook* workbook_ = nullptr;
  std::size_t sheet_ = 0;
  std::uint32_t last_used_row_ = 0;
  std::uint32_t last_column_ = 0;
  int minimum_rows_ = 50;
  int minimum_columns_ = 26;
};

}  // namespace tavrio::app::sheets

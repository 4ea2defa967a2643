#include "app/sheets/sheet_model.h"

#include <QColor>
#include <algorithm>

#include "app/sheets/cell_display.h"
#include "app/sheets/number_format_text.h"
#include "automation/base/cell_address.h"
#include "automation/engine/workbook.h"

namespace tavrio::app::sheets {
namespace {

using automation::engine::Cell;
using automation::engine::Sheet;

Qt::Alignment AlignmentOf(CellAlignment alignment) {
  switch (alignment) {
    case CellAlignment::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case CellAlignment::kCenter:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case CellAlignment::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

SheetModel::SheetModel(QObject* parent) : QAbstractTableModel(parent) {}

void SheetModel::Show(const automation::engine::Workbook* workbook, std::size_t sheet) {
  beginResetModel();
  workbook_ = workbook;
  sheet_ = sheet;
  const Sheet* shown = CurrentSheet();
  last_used_row_ = shown ? shown->LastUsedRow() : 0;
  last_column_ = shown ? shown->LastColumn() : 0;
  endResetModel();
}

void SheetModel::Detach() { Show(nullptr, 0); }

void SheetModel::SetMinimumSize(int rows, int columns) {
  rows = std::max(rows, 1);
  columns = std::max(columns, 1);
  if (rows == minimum_rows_ && columns == minimum_columns_) return;
  beginResetModel();
  minimum_rows_ = rows;
  minimum_columns_ = columns;
  endResetModel();
}

int SheetModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return std::max<int>(minimum_rows_, static_cast<int>(last_used_row_));
}

int SheetModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return std::max<int>(minimum_columns_, static_cast<int>(last_column_));
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole && role != Qt::ForegroundRole) {
    return {};
  }
  const Sheet* sheet = CurrentSheet();
  if (sheet == nullptr || !index.isValid()) return {};
  const Cell* cell = sheet->FindCell(static_cast<std::uint32_t>(index.row()) + 1,
                                     static_cast<std::uint32_t>(index.column()) + 1);
  if (cell == nullptr) return {};
  const CellDisplay display = DisplayCell(*workbook_, *cell);
  if (display.text.empty()) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(display.alignment));
  if (role == Qt::ForegroundRole) {
    if (!display.color) return {};
    return QColor(QRgb(*display.color));
  }
  return QString::fromStdString(display.text);
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    return QString::fromStdString(
        automation::ColumnLetters(static_cast<std::uint32_t>(section) + 1));
  }
  return section + 1;
}

const Sheet* SheetModel::CurrentSheet() const {
  if (workbook_ == nullptr || sheet_ >= workbook_->SheetCount()) return nullptr;
  const Sheet& sheet = workbook_->SheetAt(sheet_);
  return sheet.loaded() ? &sheet : nullptr;
}

}  // namespace tavrio::app::sheets

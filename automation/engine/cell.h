#pragma once

#include <cstdint>

namespace tavrio::automation::engine {

enum class CellType : std::uint8_t {
  kBlank,   // a cell with a style and no value
  kNumber,  // dates and times too: serial days, made a date by the style's number format
  kText,
  kBoolean,
  kError,  // the error's spelling ("#N/A") is interned like a text
};

// Cell::flags: the cell's formula is in its sheet's formula table.
inline constexpr std::uint8_t kHasFormula = 1;
// Cell::flags, with kHasFormula: the value is the engine's to calculate, since the file kept no
// result or one no spreadsheet application computed. Calculating leaves the flag set, so that
// the formula is calculated again once the cells it reads have moved or changed.
inline constexpr std::uint8_t kCalculated = 2;

// One cell in 16 bytes, so that a million rows of a dozen columns fit in about 200 MB. Text lives
// in the workbook's string pool and formats in its style table; the cell holds their ids. `flags`
// is free for what later needs a bit per cell (a formula kept in a side table, for instance).
struct Cell {
  std::uint16_t column;  // 1-based
  CellType type;
  std::uint8_t flags;
  std::uint32_t style;  // index into the workbook's StyleTable; 0 is the default style
  union {
    double number;
    std::uint32_t string_id;  // kText and kError
    bool boolean;
  };

  static Cell Number(std::uint16_t column, double value, std::uint32_t style) {
    Cell cell{column, CellType::kNumber, 0, style, {}};
    cell.number = value;
    return cell;
  }
  static Cell String(std::uint16_t column, CellType type, std::uint32_t id, std::uint32_t style) {
    Cell cell{column, type, 0, style, {}};
    cell.string_id = id;
    return cell;
  }
  static Cell Boolean(std::uint16_t column, bool value, std::uint32_t style) {
    Cell cell{column, CellType::kBoolean, 0, style, {}};
    cell.boolean = value;
    return cell;
  }
  static Cell Blank(std::uint16_t column, std::uint32_t style) {
    Cell cell{column, CellType::kBlank, 0, style, {}};
    cell.number = 0;
    return cell;
  }
  bool HasString() const { return type == CellType::kText || type == CellType::kError; }
};

static_assert(sizeof(Cell) == 16, "the cell's size is what bounds a large merge's memory");

}  // namespace tavrio::automation::engine

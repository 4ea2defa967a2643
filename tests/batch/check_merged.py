"""Checks a merged workbook against its sources, cell by cell, with an independent reader.

Usage: check_merged.py MERGED START_ROW SHEET_POSITION SOURCE...
The first source contributes its rows from START_ROW down, every later one from the row below;
the merged workbook's active sheet must hold exactly those rows, in order. Exit 0 when it does,
1 with the first difference otherwise, 77 when openpyxl is missing.
"""
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(77)


def rows(path, sheet_position=None):
    book = openpyxl.load_workbook(path, read_only=True)
    sheet = book.worksheets[sheet_position - 1] if sheet_position else book.active
    values = [list(row) for row in sheet.iter_rows(values_only=True)]
    book.close()
    for row in values:
        while row and row[-1] is None:
            row.pop()
    while values and not values[-1]:
        values.pop()
    return values


def main():
    merged, start_row, position, sources = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
    expected = []
    for index, source in enumerate(sources):
        first = start_row if index == 0 else start_row + 1
        expected.extend(rows(source, position)[first - 1:])
    actual = rows(merged)
    for number, (want, got) in enumerate(zip(expected, actual), start=1):
        if want != got:
            print(f"row {number}: expected {want!r}, got {got!r}")
            return 1
    if len(expected) != len(actual):
        print(f"expected {len(expected)} rows, got {len(actual)}")
        return 1
    return 0


sys.exit(main())

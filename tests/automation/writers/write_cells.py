"""Writes a workbook of one sheet with openpyxl, which stores formulas without results.

Usage: write_cells.py OUT.xlsx SHEET CELL=VALUE... where a VALUE starting with '=' is a formula,
one that reads as a number is a number, and anything else is text.
"""
import sys

import openpyxl


def main(path, sheet_name, cells):
    workbook = openpyxl.Workbook()
    sheet = workbook.active
    sheet.title = sheet_name
    for cell in cells:
        ref, value = cell.split("=", 1)
        if not value.startswith("="):
            try:
                value = float(value)
            except ValueError:
                pass
        sheet[ref] = value
    workbook.save(path)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3:])

"""Prints every non-empty cell of an .xlsx as openpyxl, an independent reader, sees it.

One line per sheet ("sheet <name as hex> <state> active|-") followed by one line per cell:
"<ref> <kind> <value> <number format as hex>", where kind is n (value: float.hex; dates
turned back into serial numbers), s (UTF-8 as hex), b (1/0), e (error text) or f (formula as
hex, then its cached value as hex). Hex keeps blanks, tabs and line breaks unambiguous.
"""
import datetime
import sys

import openpyxl
from openpyxl.utils.datetime import to_excel


def main(path):
    formulas = openpyxl.load_workbook(path, data_only=False)
    cached = openpyxl.load_workbook(path, data_only=True)
    for sheet in formulas.worksheets:
        active = "active" if sheet.title == formulas.active.title else "-"
        print("sheet", sheet.title.encode().hex(), sheet.sheet_state, active)
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                fmt = cell.number_format.encode().hex()
                value = cell.value
                if cell.data_type == "f":
                    result = cached[sheet.title][cell.coordinate].value
                    print(cell.coordinate, "f", str(value).encode().hex(),
                          str(result).encode().hex(), fmt)
                elif isinstance(value, bool):
                    print(cell.coordinate, "b", int(value), fmt)
                elif isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
                    print(cell.coordinate, "n", float(to_excel(value)).hex(), fmt)
                elif isinstance(value, (int, float)):
                    print(cell.coordinate, "n", float(value).hex(), fmt)
                elif cell.data_type == "e":
                    print(cell.coordinate, "e", value, fmt)
                else:
                    print(cell.coordinate, "s", value.encode().hex() or "-", fmt)


if __name__ == "__main__":
    main(sys.argv[1])

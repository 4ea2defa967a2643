"""Prints a saved workbook as an independent reader sees it, to compare with what was expected.

Usage: dump_workbook.py PATH
For .xlsx, each sheet as a line "## name" ("## name (hidden)" for a hidden one), then one JSON
list per row down to the sheet's last row, its trailing empty cells dropped; a formula shows as
its text ("=B2*2"), a whole number without ".0", a date as ISO text. For .csv, the rows as the
csv module reads them (after the byte-order mark). Exit 77 when openpyxl is missing.
"""
import csv
import datetime
import json
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(77)


def plain(value):
    if isinstance(value, float) and value.is_integer():
        return int(value)
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
        return value.isoformat()
    return value


def print_rows(rows):
    for row in rows:
        row = [plain(value) for value in row]
        while row and row[-1] is None:
            row.pop()
        print(json.dumps(row, ensure_ascii=False, separators=(",", ":")))


def main():
    path = sys.argv[1]
    if path.lower().endswith(".csv"):
        with open(path, encoding="utf-8-sig", newline="") as stream:
            print_rows(csv.reader(stream))
        return 0
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        state = "" if sheet.sheet_state == "visible" else f" ({sheet.sheet_state})"
        print(f"## {sheet.title}{state}")
        print_rows(sheet.iter_rows(values_only=True))
    return 0


sys.exit(main())

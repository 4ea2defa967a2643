"""Checks a merge larger than one sheet, row by row, with independent readers.

Usage: check_big_merge.py MERGED SOURCE...
MERGED is .csv (every row in one table) or .xlsx written with --overflow-sheets (sheets "Sheet1",
"Sheet1 (2)", ..., each after the first starting with the header row). The sources' rows are
expected in order: the first source's from its header row, every later one's from row 2.
Exit 0 when they match, 1 with the first difference, 77 when openpyxl is missing.
"""
import csv
import datetime
import itertools
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(77)

MAX_ROWS = 1048576


def trimmed(row):
    row = list(row)
    while row and row[-1] is None:
        row.pop()
    return row


def source_rows(paths):
    for index, path in enumerate(paths):
        book = openpyxl.load_workbook(path, read_only=True)
        rows = book.worksheets[0].iter_rows(values_only=True)
        if index > 0:
            next(rows)
        for row in rows:
            yield trimmed(row)
        book.close()


def as_csv_text(value):
    """A value as the merge's CSV writes it."""
    if value is None:
        return ""
    if isinstance(value, datetime.datetime):
        return value.date().isoformat() if value.time() == datetime.time() else value.isoformat(" ")
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    if isinstance(value, float):
        return repr(value)
    return str(value)


def merged_xlsx_rows(path):
    book = openpyxl.load_workbook(path, read_only=True)
    names = book.sheetnames
    header = None
    for number, name in enumerate(names, start=1):
        expected_name = "Sheet1" if number == 1 else f"Sheet1 ({number})"
        if name != expected_name:
            raise SystemExit(f"sheet {number} is named {name!r}, expected {expected_name!r}")
        rows = book[name].iter_rows(values_only=True)
        count = 0
        for row in rows:
            count += 1
            row = trimmed(row)
            if number == 1 and count == 1:
                header = row
            elif number > 1 and count == 1:
                if row != header:
                    raise SystemExit(f"sheet {name!r} starts with {row!r}, not the header")
                continue
            yield row
        if number < len(names) and count != MAX_ROWS:
            raise SystemExit(f"sheet {name!r} holds {count} rows before the next sheet")
    book.close()


def main():
    merged, sources = sys.argv[1], sys.argv[2:]
    if merged.lower().endswith(".csv"):
        stream = open(merged, encoding="utf-8-sig", newline="")
        actual = (trimmed(row or [None]) if any(row) else [] for row in csv.reader(stream))
        expected = ([as_csv_text(value) for value in row] for row in source_rows(sources))
        actual = ([value for value in row] for row in actual)
    else:
        actual = merged_xlsx_rows(merged)
        expected = source_rows(sources)
    count = 0
    for want, got in itertools.zip_longest(expected, actual):
        count += 1
        if want is not None and got is not None:
            while got and got[-1] == "":
                got.pop()
            while want and want[-1] == "":
                want.pop()
        if want != got:
            print(f"row {count}: expected {want!r}, got {got!r}")
            return 1
    print(f"{count} rows match")
    return 0


sys.exit(main())

"""The comparison merge: what a script written with openpyxl does, in its fastest modes.

Takes the first sheet of every workbook, all rows from the first, the rows below the header
from every later one, and writes them into one new workbook.

Usage: python3 openpyxl_merge.py OUTPUT.xlsx WORKBOOK...
"""

import sys

import openpyxl


def main(output, inputs):
    merged = openpyxl.Workbook(write_only=True)
    sheet = merged.create_sheet()
    rows = 0
    for index, path in enumerate(inputs):
        source = openpyxl.load_workbook(path, read_only=True, data_only=True)
        first_row = 1 if index == 0 else 2
        for values in source.worksheets[0].iter_rows(min_row=first_row, values_only=True):
            sheet.append(values)
            rows += 1
        source.close()
    merged.save(output)
    print(f"merged {rows} rows of {len(inputs)} workbooks")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])

"""Prints every cell of each .xlsx given as openpyxl, an independent reader, finds it.

openpyxl hands texts over as the file holds them, with the _xHHHH_ escapes of the file format
still in; they are decoded here with openpyxl's own unescape, then UTF-16 surrogate pairs are
joined and a lone surrogate is kept (as a reader working in UTF-16 keeps it).

Per file a line "file <n>"; per sheet "sheet <name> <state>"; per cell
"<row> <column> <kind> <value> <formula> <format>", where kind is n (value: the double's bits in
hex, -0 as 0), s (text), b (1/0), e (error) or z (blank), and every text is UTF-8 in hex ("-"
when empty) so that blanks, tabs and line breaks stay unambiguous.
"""
import datetime
import struct
import sys
import warnings

import openpyxl
from openpyxl.utils.datetime import to_excel
from openpyxl.utils.escape import unescape


def text(value):
    if not value:
        return "-"
    joined = unescape(value).encode("utf-16-le", "surrogatepass").decode("utf-16-le",
                                                                          "surrogatepass")
    return joined.encode("utf-8", "surrogatepass").hex()


def number(value):
    if value == 0:
        value = 0.0
    return format(struct.unpack(">Q", struct.pack(">d", float(value)))[0], "x")


def cached(cell):
    value = cell.value if cell is not None else None
    if value is None:
        return "z", "-"
    if isinstance(value, bool):
        return "b", "1" if value else "0"
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
        return "n", number(to_excel(value))
    if isinstance(value, (int, float)):
        return "n", number(value)
    if cell.data_type == "e":
        return "e", text(value)
    return "s", text(value)


# A name holding escapes is longer in the file than the 31 characters it has once decoded, which
# openpyxl, not decoding it, warns about.
warnings.filterwarnings("ignore", message="Title is more than 31 characters")


def dump(index, path):
    print("file", index)
    formulas = openpyxl.load_workbook(path, data_only=False)
    values = openpyxl.load_workbook(path, data_only=True)
    for sheet in formulas.worksheets:
        print("sheet", text(sheet.title), sheet.sheet_state)
        results = values[sheet.title]
        # The cells the file holds, not the whole rectangle up to the last one: a cell at XFD1048576
        # would make iter_rows() walk seventeen billion.
        for (_, _), cell in sorted(sheet._cells.items()):
            formula = "-"
            if cell.data_type == "f":
                formula = text(str(cell.value)[1:])
            kind, value = cached(results._cells.get((cell.row, cell.column)))
            if kind == "z" and formula == "-" and not cell.has_style:
                continue
            print(cell.row, cell.column, kind, value, formula, text(cell.number_format))


if __name__ == "__main__":
    for index, path in enumerate(sys.argv[1:]):
        dump(index, path)

"""Prints the look of every cell of an .xlsx as openpyxl, an independent reader, sees it.

First a line "styles numFmts=N fonts=N fills=N borders=N cellXfs=N" counting what styles.xml
declares, then per sheet "sheet <name>", "heights <row>=<points> ..." for rows with a height
of their own, "merged <range> ..." (sorted; "-" for none), and per cell with a value or a style one line:
"<ref> fmt=<code> font=<name>|<size>|<b i s u=..>|<colour> fill=<pattern>|<fg>|<bg>
border=<left>,<right>,<top>,<bottom> align=<horizontal>|<vertical>|<wrap>", where a colour is
rgb:AARRGGBB, theme:N[:tint], indexed:N or -; openpyxl reports a fill colour the file leaves
out as rgb:00000000.
"""
import re
import sys
import zipfile

import openpyxl


def colour(value):
    if value is None:
        return "-"
    if value.type == "rgb":
        text = "rgb:" + value.rgb
    elif value.type == "theme":
        text = "theme:%d" % value.theme
    elif value.type == "indexed":
        text = "indexed:%d" % value.indexed
    else:
        return "-"
    if value.tint:
        text += ":" + repr(value.tint)
    return text


def size(value):
    return repr(float(value)) if value is not None else "-"


def font(f):
    flags = [name for name, on in (("b", f.b), ("i", f.i), ("s", f.strike)) if on]
    if f.u:
        flags.append("u=" + f.u)
    return "%s|%s|%s|%s" % (f.name, size(f.sz), " ".join(flags), colour(f.color))


def fill(f):
    if f.fill_type is None:
        return "-"
    return "%s|%s|%s" % (f.fill_type, colour(f.fgColor), colour(f.bgColor))


def side(s):
    if s is None or s.style is None:
        return "-"
    return "%s:%s" % (s.style, colour(s.color))


def border(b):
    return ",".join(side(s) for s in (b.left, b.right, b.top, b.bottom))


def align(a):
    return "%s|%s|%s" % (a.horizontal or "-", a.vertical or "-", "wrap" if a.wrap_text else "-")


def counts(path):
    with zipfile.ZipFile(path) as package:
        styles = package.read("xl/styles.xml").decode()
    found = []
    for element in ("numFmts", "fonts", "fills", "borders", "cellXfs"):
        match = re.search("<%s count=\"(\\d+)\"" % element, styles)
        found.append("%s=%s" % (element, match.group(1) if match else "0"))
    return "styles " + " ".join(found)


def main(path):
    print(counts(path))
    workbook = openpyxl.load_workbook(path)
    for sheet in workbook.worksheets:
        print("sheet", sheet.title)
        heights = sorted((r, d.height) for r, d in sheet.row_dimensions.items()
                         if d.customHeight and d.height is not None)
        print("heights", " ".join("%d=%r" % (r, float(h)) for r, h in heights) or "-")
        merged = sorted(str(m) for m in sheet.merged_cells.ranges)
        print("merged", " ".join(merged) or "-")
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None and not cell.has_style:
                    continue
                print(cell.coordinate, "fmt=" + cell.number_format, "font=" + font(cell.font),
                      "fill=" + fill(cell.fill), "border=" + border(cell.border),
                      "align=" + align(cell.alignment))


if __name__ == "__main__":
    main(sys.argv[1])

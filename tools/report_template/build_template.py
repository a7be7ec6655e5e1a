#!/usr/bin/python3
"""Builds the report templates from the form description.

Usage:
    build_template.py [--soffice PATH] --profile DIR FORM OUTPUT_FOLDER

Reads FORM (form.json), draws the form once in Japanese and once in English
in one headless LibreOffice Calc session (user installation in DIR) and
writes OUTPUT_FOLDER/report_ja.xls and OUTPUT_FOLDER/report_en.xls as
"MS Excel 97" workbooks with the one sheet the description names.

The soffice handling is the viewer's own report script, imported from
hx_viewer/resources/report/make_report.py.
"""

import argparse
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "hx_viewer", "resources", "report"))

from make_report import POINT, Failure, Office, prop  # noqa: E402

MM = 100  # 1/100 mm per mm
A3 = (420 * MM, 297 * MM)
LINE_WIDTHS = {"thin": 26, "medium": 53}  # 1/100 mm: 0.75 pt and 1.5 pt


def column_index(letters):
    index = 0
    for letter in letters:
        index = index * 26 + ord(letter) - ord("A") + 1
    return index - 1


def span(text):
    """'B:AR' or '6:7' or 'A' -> (first, last) indexes, zero-based."""
    first, _, last = text.partition(":")
    last = last or first
    if first.isdigit():
        return int(first) - 1, int(last) - 1
    return column_index(first), column_index(last)


def border_line(weight):
    from com.sun.star.table import BorderLine2
    line = BorderLine2()
    line.OuterLineWidth = LINE_WIDTHS[weight]
    line.LineWidth = LINE_WIDTHS[weight]
    line.Color = 0
    return line


def draw_box(sheet, cells, weight, inner):
    from com.sun.star.table import TableBorder2
    line = border_line(weight)
    border = TableBorder2()
    for edge in ("Top", "Bottom", "Left", "Right"):
        setattr(border, edge + "Line", line)
        setattr(border, "Is%sLineValid" % edge, True)
    if inner == "horizontal":
        border.HorizontalLine = border_line("thin")
        border.IsHorizontalLineValid = True
    sheet.getCellRangeByName(cells).TableBorder2 = border


def draw_line(sheet, cells, edge, weight):
    setattr(sheet.getCellRangeByName(cells), edge.capitalize() + "Border", border_line(weight))


def set_font(target, name, size, bold=False):
    from com.sun.star.awt.FontWeight import BOLD, NORMAL
    for script in ("", "Asian", "Complex"):
        setattr(target, "CharFontName" + script, name)
        setattr(target, "CharHeight" + script, size)
        setattr(target, "CharWeight" + script, BOLD if bold else NORMAL)


def check_fonts(office, form):
    """Fails unless LibreOffice has every default font of the form.

    Column widths are stored in digits of the default font; a substitute
    chosen by whatever fonts the machine has would move the columns."""
    device = office.create("com.sun.star.awt.Toolkit").createScreenCompatibleDevice(1, 1)
    installed = {descriptor.Name for descriptor in device.getFontDescriptors()}
    for font in form["font"].values():
        if font["name"] not in installed:
            raise Failure(1, "the font %s is missing: install %s (scripts/setup)"
                          % (font["name"], font["package"]))


def build(office, form, language, output):
    import uno
    from com.sun.star.table.CellHoriJustify import LEFT, CENTER, RIGHT  # noqa: F401
    from com.sun.star.table.CellVertJustify2 import CENTER as VCENTER
    from com.sun.star.table import CellRangeAddress

    document = office.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                   (prop("Hidden", True),))
    sheets = document.Sheets
    while sheets.Count > 1:
        sheets.removeByName(sheets.ElementNames[-1])
    sheet = sheets.getByIndex(0)
    sheet.Name = form["sheet"]

    font = form["font"][language]
    default_style = document.StyleFamilies.getByName("CellStyles").getByName("Default")
    set_font(default_style, font["name"], font["size"])

    for column in form["columns"]:
        first, last = span(column["range"])
        for index in range(first, last + 1):
            sheet.Columns.getByIndex(index).Width = round(column["width"] * POINT)
    for row in form["rows"]:
        first, last = span(row["range"])
        for index in range(first, last + 1):
            sheet.Rows.getByIndex(index).Height = round(row["height"] * POINT)

    justify = {"left": LEFT, "center": CENTER, "right": RIGHT}
    for cell in form["cells"]:
        target = sheet.getCellRangeByName(cell.get("span", cell["at"]))
        if "span" in cell:
            target.merge(True)
        sheet.getCellRangeByName(cell["at"]).setString(cell[language])
        target.HoriJustify = justify[cell.get("align", "center")]
        target.VertJustify = VCENTER
        target.IsTextWrapped = "\n" in cell[language]
        if "size" in cell or "bold" in cell:
            set_font(target, font["name"], cell.get("size", font["size"]), cell.get("bold", False))

    # Thin lines first, so that the medium frames drawn last win where they meet.
    boxes = [(cell["span"], "thin", None) for cell in form["cells"] if cell.get("box")]
    boxes += [(box["range"], box.get("weight", "thin"), box.get("inner")) for box in form["boxes"]]
    lines = [(line["range"], line["edge"], line.get("weight", "thin")) for line in form["lines"]]
    for cells, edge, weight in sorted(lines, key=lambda line: line[2] == "medium"):
        draw_line(sheet, cells, edge, weight)
    for cells, weight, inner in sorted(boxes, key=lambda box: box[1] == "medium"):
        draw_box(sheet, cells, weight, inner)

    page = form["page"]
    style = document.StyleFamilies.getByName("PageStyles").getByName(sheet.PageStyle)
    width, height = A3 if page["paper"] == "A3" else (0, 0)
    style.IsLandscape = page["landscape"]
    style.Width, style.Height = (width, height) if page["landscape"] else (height, width)
    margin = page["margin_mm"] * MM
    style.LeftMargin = style.RightMargin = style.TopMargin = style.BottomMargin = margin
    style.HeaderIsOn = False
    style.FooterIsOn = False
    style.CenterHorizontally = True
    style.ScaleToPagesX = page["pages_wide"]
    style.ScaleToPagesY = page["pages_tall"]
    area = sheet.getCellRangeByName(page["print_area"]).RangeAddress
    sheet.setPrintAreas((CellRangeAddress(area.Sheet, area.StartColumn, area.StartRow,
                                          area.EndColumn, area.EndRow),))

    document.storeToURL(uno.systemPathToFileUrl(os.path.abspath(output)),
                        (prop("FilterName", "MS Excel 97"), prop("Overwrite", True)))
    document.close(True)


def main(argv):
    parser = argparse.ArgumentParser(prog="build_template")
    parser.add_argument("--soffice", default="soffice")
    parser.add_argument("--profile", required=True)
    parser.add_argument("form")
    parser.add_argument("output_folder")
    args = parser.parse_args(argv)

    with open(args.form, encoding="utf-8") as file:
        form = json.load(file)
    os.makedirs(args.output_folder, exist_ok=True)
    office = Office(args.soffice, args.profile, connect_timeout=120, announce=False,
                    keep_profile=True)
    try:
        office.start()
        check_fonts(office, form)
        for language in ("ja", "en"):
            build(office, form, language,
                  os.path.join(args.output_folder, "report_%s.xls" % language))
    except Failure as failure:
        print("build_template: %s" % failure.reason, file=sys.stderr)
        return 1
    finally:
        office.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

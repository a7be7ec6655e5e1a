"""Reads report workbooks back for the report tests, independently of the viewer.

    report_check.py --source DIR --profile DIR --out DIR --scene RANGE FILE...

For each FILE it prints one JSON object per line with what python3-xlrd
finds (sheet names, the text of every cell, the merges, the JPEG pictures
of the workbook's drawing group, written to OUT as NAME-N.jpg) and what
LibreOffice finds on reopening it (every shape's position and size, and
the rectangle of the cells RANGE, in points); the workbook is also exported to OUT/NAME.pdf. LibreOffice is
started once for all files, with the viewer's own report script.
"""

import argparse
import json
import os
import struct
import sys

import xlrd
from xlrd import compdoc

MSODRAWINGGROUP = 0x00EB
CONTINUE = 0x003C
FBSE = 0xF007
BLIP_JPEG = (0xF01D, 0xF02A)
JPEG_TWO_UIDS = (0x46B, 0x6E3)


def cell_name(row, column):
    letters = ""
    column += 1
    while column:
        column, rest = divmod(column - 1, 26)
        letters = chr(ord("A") + rest) + letters
    return "%s%d" % (letters, row + 1)


def drawing_group(workbook_stream):
    data, position, in_group = b"", 0, False
    while position + 4 <= len(workbook_stream):
        record, length = struct.unpack_from("<HH", workbook_stream, position)
        body = workbook_stream[position + 4:position + 4 + length]
        position += 4 + length
        if record == MSODRAWINGGROUP or (record == CONTINUE and in_group):
            data += body
            in_group = True
        else:
            in_group = False
    return data


def jpegs(art):
    """The JPEG pictures stored in an OfficeArt record sequence."""
    found, position = [], 0
    while position + 8 <= len(art):
        version_instance, kind, length = struct.unpack_from("<HHI", art, position)
        payload = art[position + 8:position + 8 + length]
        position += 8 + length
        if version_instance & 0xF == 0xF:
            found += jpegs(payload)
        elif kind == FBSE:
            found += jpegs(payload[36:])
        elif kind in BLIP_JPEG:
            uids = 2 if version_instance >> 4 in JPEG_TWO_UIDS else 1
            found.append(payload[16 * uids + 1:])
    return found


def read_xls(path, out, stem):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    cells = {cell_name(r, c): sheet.cell_value(r, c)
             for r in range(sheet.nrows) for c in range(sheet.ncols)
             if sheet.cell_value(r, c) != ""}
    merges = sorted("%s:%s" % (cell_name(r0, c0), cell_name(r1 - 1, c1 - 1))
                    for r0, r1, c0, c1 in sheet.merged_cells)
    with open(path, "rb") as file:
        stream = compdoc.CompDoc(file.read(), logfile=open(os.devnull, "w")).get_named_stream("Workbook")
    pictures = []
    for index, data in enumerate(jpegs(drawing_group(stream))):
        name = os.path.join(out, "%s-%d.jpg" % (stem, index))
        with open(name, "wb") as file:
            file.write(data)
        pictures.append(name)
    return {"sheets": book.sheet_names(), "cells": cells, "merges": merges, "jpegs": pictures}


def reopen(office, path, out, stem, scene):
    import uno
    from make_report import POINT, prop
    document = office.desktop.loadComponentFromURL(uno.systemPathToFileUrl(path), "_blank", 0,
                                                   (prop("Hidden", True),))
    sheet = document.Sheets.getByIndex(0)
    page = sheet.DrawPage
    cells = sheet.getCellRangeByName(scene)
    box = [cells.Position.X / POINT, cells.Position.Y / POINT,
           cells.Size.Width / POINT, cells.Size.Height / POINT]
    shapes = []
    for index in range(page.Count):
        shape = page.getByIndex(index)
        shapes.append([shape.Position.X / POINT, shape.Position.Y / POINT,
                       shape.Size.Width / POINT, shape.Size.Height / POINT])
    pdf = os.path.join(out, stem + ".pdf")
    document.storeToURL(uno.systemPathToFileUrl(pdf), (prop("FilterName", "calc_pdf_Export"),))
    document.close(True)
    return {"shapes": shapes, "scene": box, "pdf": pdf}


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--profile", required=True)
    parser.add_argument("--soffice", default="soffice")
    parser.add_argument("--out", required=True)
    parser.add_argument("--scene", required=True)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args(argv)
    sys.path.insert(0, os.path.join(args.source, "hx_viewer", "resources", "report"))
    from make_report import Office

    os.makedirs(args.out, exist_ok=True)
    results = [read_xls(path, args.out, os.path.splitext(os.path.basename(path))[0])
               for path in args.files]
    office = Office(args.soffice, args.profile, connect_timeout=300, announce=False)
    try:
        office.start()
        for path, result in zip(args.files, results):
            result.update(reopen(office, os.path.abspath(path), args.out,
                                 os.path.splitext(os.path.basename(path))[0], args.scene))
    finally:
        office.stop()
    for path, result in zip(args.files, results):
        result["file"] = path
        print("result " + json.dumps(result, ensure_ascii=False), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

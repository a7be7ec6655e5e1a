#!/usr/bin/env python3
"""Puts the map page together: our HTML, CSS and script with Leaflet and its
licence inlined and the car icon as a data URL, so that the page needs no
file beside it.

    map_page.py TEMPLATE MAP_JS MAP_CSS LEAFLET_JS LEAFLET_CSS LEAFLET_LICENCE CAR_PNG OUTPUT
"""

import base64
import os
import sys


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(argv):
    if len(argv) != 9:
        sys.stderr.write(__doc__)
        return 2
    template, map_js, map_css, leaflet_js, leaflet_css, licence, car_png, output = argv[1:]

    scripts = {"MAP_JS": read_text(map_js), "LEAFLET_JS": read_text(leaflet_js)}
    for name, text in scripts.items():
        # Inline script ends at the first closing tag, whatever the script means.
        if "</script" in text.lower():
            sys.stderr.write("map_page: %s holds a closing script tag\n" % name)
            return 1
    # The licence goes into a block comment, which must not end early.
    licence_text = read_text(licence).replace("*/", "* /")
    with open(car_png, "rb") as f:
        icon = "data:image/png;base64," + base64.b64encode(f.read()).decode("ascii")

    page = read_text(template)
    replacements = {
        "/*@LEAFLET_CSS@*/": read_text(leaflet_css),
        "/*@MAP_CSS@*/": read_text(map_css),
        "/*@LEAFLET_LICENCE@*/": "/*\n" + licence_text + "*/",
        "/*@LEAFLET_JS@*/": scripts["LEAFLET_JS"],
        "/*@MAP_JS@*/": scripts["MAP_JS"],
        "@CAR_ICON@": icon,
    }
    for token, text in replacements.items():
        if page.count(token) != 1:
            sys.stderr.write("map_page: %s must appear once in the template\n" % token)
            return 1
        page = page.replace(token, text)

    os.makedirs(os.path.dirname(output), exist_ok=True)
    temporary = output + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

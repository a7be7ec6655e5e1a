#!/usr/bin/python3
"""Prints the accessibility tree of one application on the session's
accessibility bus, one object a line: depth, role, name, description, and the
extents on the screen (x, y, width, height), separated by tabs.

Usage: atspi_tree.py APPLICATION_NAME
"""

import sys

import pyatspi


def clean(text):
    return (text or "").replace("\t", " ").replace("\n", " ")


def walk(node, depth, out):
    # Only what is on the screen: hidden windows, dialogs and buttons kept for
    # later would be found by name in place of the shown ones, and a hidden
    # file dialog holds a model of a whole folder. Objects may vanish while
    # walked.
    try:
        # A table's rows out of view stay listed: they are scrolled to.
        if (depth > 0 and not node.getState().contains(pyatspi.STATE_SHOWING)
                and not node.getRoleName().startswith("table")):
            return
        try:
            box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            extents = "%d\t%d\t%d\t%d" % (box.x, box.y, box.width, box.height)
        except NotImplementedError:
            extents = "0\t0\t0\t0"
        out.append("%d\t%s\t%s\t%s\t%s" % (depth, node.getRoleName(), clean(node.name),
                                           clean(node.description), extents))
        children = list(node)
    except Exception as error:  # noqa: BLE001 - a vanished object ends its branch only
        print("atspi_tree: %s" % error, file=sys.stderr)
        return
    for child in children:
        if child is not None:
            walk(child, depth + 1, out)


def main():
    lines = []
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.name == sys.argv[1]:
            walk(application, 0, lines)
    print("\n".join(lines))


if __name__ == "__main__":
    main()

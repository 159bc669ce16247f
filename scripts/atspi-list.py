#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists what a screen reader sees of a running program through AT-SPI.

Prints, for every window of the applications whose name matches, one line
per visible node: its role and name (and value, for progress bars), indented
two spaces per level. Exits 1 when a control a listener needs named (a
button, link, picture, progress bar, choice box, text box or tree) has no
name, 2 when no such application is on the accessibility bus.

The program must run with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on the same
session bus (dbus-run-session) as this script. Needs python3-pyatspi.

Usage: scripts/atspi-list.py [--app NAME] [--quiet] [--texts] [--focused] [--descriptions]
  --texts    show the contents of text boxes after their names
  --focused  print only the node that has the keyboard focus
  --descriptions  show each node's description, in brackets (the marks
             of the catalogue's items: already on disk, new)
"""
import argparse
import sys

import pyatspi

NEEDS_NAME = {
    "push button", "link", "image", "progress bar", "combo box", "text",
    "tree", "tree table", "page tab",
}
MAX_DEPTH = 8
MAX_ROWS = 12  # rows of a tree or list shown before the rest is summed up


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:  # a node that went away meanwhile
        return False


def value_of(node):
    try:
        v = node.queryValue()
    except NotImplementedError:
        return None
    except Exception:
        return None
    return "%g of %g..%g" % (v.currentValue, v.minimumValue, v.maximumValue)


def text_of(node):
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        return None


def describe(node, texts, descriptions=False):
    role = node.getRoleName()
    name = (node.name or "").strip()
    line = role + (": " + name if name else "")
    if descriptions and (node.description or "").strip():
        line += "  (" + node.description.strip() + ")"
    value = value_of(node) if role == "progress bar" else None
    if value:
        line += "  [" + value + "]"
    if texts and role == "text":
        line += "  = " + repr(text_of(node) or "")
    return line


def focused(node, depth=0):
    try:
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            return node
    except Exception:
        return None
    if depth >= MAX_DEPTH or node.getRoleName() in ("tree", "tree table", "list", "table"):
        return None
    for child in node:
        if child is not None and showing(child):
            hit = focused(child, depth + 1)
            if hit is not None:
                return hit
    return None


def walk(node, depth, out, unnamed, texts=False, descriptions=False):
    role = node.getRoleName()
    name = (node.name or "").strip()
    line = "  " * depth + describe(node, texts, descriptions)
    out.append(line)
    if role in NEEDS_NAME and not name:
        unnamed.append(line.strip())
    if depth >= MAX_DEPTH:
        return
    children = [c for c in node if c is not None and showing(c)]
    rows = role in ("tree", "tree table", "list", "table")
    for i, child in enumerate(children):
        if rows and i >= MAX_ROWS:
            out.append("  " * (depth + 1) + "... %d more" % (len(children) - MAX_ROWS))
            break
        walk(child, depth + 1, out, unnamed, texts, descriptions)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", default="velmora", help="application name (default velmora)")
    parser.add_argument("--quiet", action="store_true", help="print only the nodes without a name")
    parser.add_argument("--texts", action="store_true", help="show the contents of text boxes")
    parser.add_argument("--focused", action="store_true", help="print only the focused node")
    parser.add_argument("--descriptions", action="store_true",
                        help="show each node's description after its name, in brackets")
    args = parser.parse_args()

    desktop = pyatspi.Registry.getDesktop(0)
    apps = [a for a in desktop if a is not None and (a.name or "").lower() == args.app.lower()]
    if not apps:
        print("atspi: no application named %r on the accessibility bus" % args.app, file=sys.stderr)
        return 2
    if args.focused:
        for app in apps:
            for window in app:
                hit = focused(window) if window is not None and showing(window) else None
                if hit is not None:
                    print(describe(hit, True))
                    return 0
        print("none")
        return 0
    out, unnamed = [], []
    for app in apps:
        out.append("application: " + app.name)
        for window in app:
            if window is not None and showing(window):
                walk(window, 1, out, unnamed, args.texts, args.descriptions)
    if not args.quiet:
        print("\n".join(out))
    for line in unnamed:
        print("atspi: no name: " + line)
    return 1 if unnamed else 0


if __name__ == "__main__":
    sys.exit(main())

"""The programs' resource IDs, read from their resource headers, so that a
test names a control as the code does and follows it when a number moves:
    from support.ids import APP
    desk.press(main, APP.IDC_MAIN_BT_ADD)
"""
import os
import re

from .nsrun import ROOT

_DEFINE = re.compile(r"^\s*#\s*define\s+([A-Za-z_]\w*)\s+(\(?\s*-?(?:0[xX][0-9a-fA-F]+|\d+)\s*\)?)(?:\s|/[/*]|$)")


def parse(text):
    """{name: value} of the numeric #defines in a header's text; others are left out."""
    found = {}
    for line in text.splitlines():
        m = _DEFINE.match(line)
        if m:
            found[m.group(1)] = int(m.group(2).strip("() \t"), 0)
    return found


class Ids:
    """The numeric definitions of one header as attributes."""

    def __init__(self, path):
        self._path = path
        with open(path, encoding="latin-1") as f:
            self._values = parse(f.read())

    def __getattr__(self, name):
        try:
            return self._values[name]
        except KeyError:
            raise AttributeError(f"{name} is not defined in {self._path}") from None


APP = Ids(os.path.join(ROOT, "resources", "resource.h"))
KESTANE = Ids(os.path.join(ROOT, "wizard", "KestaneRes.h"))

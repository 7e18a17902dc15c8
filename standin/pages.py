"""The pages this server answers with.

Every page is marker-centred: the text before the reply marker line, the
reply code, and the text after it.  Keeping the three apart lets the fault
settings move, break or drop the marker without knowing the page.
"""

import html
from xml.sax.saxutils import escape, quoteattr

from .codes import MARKER

HEAD = '<html>\n<head><title>%s</title></head>\n'
FILLER_LINE = b"standin filler: this line only makes the page longer.............\n"


class Page:
    def __init__(self, code, before="", after="", encoding="utf-8", status=200,
                 content_type="text/html", marker=True):
        self.code = code
        self.before = before
        self.after = after
        self.encoding = encoding
        self.status = status
        self.content_type = content_type
        self.marker = marker
        self.extra_headers = []

    def body(self, faults=None):
        """The page bytes, shaped by the fault settings (a dict, may be empty)."""
        f = faults or {}
        enc = lambda text: text.encode(self.encoding, errors="replace")
        before, after = enc(self.before), enc(self.after)
        if not self.marker or f.get("no_marker"):
            return before + after
        line = enc(MARKER + self.code)
        if f.get("marker_at_end"):
            return before + after + line
        line += b"\r\n" if f.get("marker_cr") else b"\n"
        if f.get("split_marker_at") is not None:
            start = max(0, int(f["split_marker_at"]) - 5)
            return filler(start) + line + before + after
        if f.get("big_body"):
            return before + line + filler(int(f["big_body"])) + after
        return before + line + after


def filler(n):
    count = n // len(FILLER_LINE) + 1
    return (FILLER_LINE * count)[:max(0, n)]


def _x(text):
    # Characters XML 1.0 forbids cannot be escaped; drop them.
    text = "".join(c for c in str(text) if c in "\t\n\r" or ord(c) >= 0x20)
    return escape(text)


def reply_page(code, title="Quarrow"):
    return Page(code, HEAD % title, "<body>\n<p>%s</p>\n</body></html>" % html.escape(code))


def bare_page(status, text):
    """Pages the storage server would not produce for the PC program: no marker line."""
    return Page("", HEAD % text, "<body><h1>%s</h1></body></html>" % html.escape(text),
                status=status, marker=False)


def status_xml(snap):
    out = ['<Quarrow version=%s>\n' % quoteattr(snap["version"])]
    for root, prefix, enable, items in (("BTDownload", "BT", snap["bt_enabled"], snap["bt"]),
                                        ("WebFTPDownload", "WebFTP", snap["web_enabled"],
                                         snap["web"])):
        out.append(' <%s>\n  <%sEnable>%d</%sEnable>\n  <%sItemCount>%d</%sItemCount>\n'
                   % (root, prefix, enable, prefix, prefix, len(items), prefix))
        for n, item in enumerate(items, 1):
            out.append('  <%sItem%d>' % (prefix, n))
            out.extend('<%s>%s</%s>' % (k, _x(v), k) for k, v in item.items())
            out.append('</%sItem%d>\n' % (prefix, n))
        out.append(' </%s>\n' % root)
    out.append('</Quarrow>')
    return "".join(out)


def status_page(code, snap):
    # "<body>" is followed at once by the root element and the page ends with
    # exactly two closing tags: the PC program cuts the XML out by those.
    return Page(code, HEAD % "Quarrow status", "<body>" + status_xml(snap) + "</body></html>")


def default_path_page(code, path, encoding):
    return Page(code, HEAD % "Default path",
                "<body><DefaultPath>%s</DefaultPath></body></html>" % _x(path), encoding=encoding)


def root_page(code, disks, encoding):
    inputs = "".join('<input type="hidden" name="disk%d" value="%s">\n' % (n, d)
                     for n, d in enumerate(disks, 1))
    return Page(code, HEAD % "Disks", "<body>\n<form>\n%s</form>\n</body></html>" % inputs,
                encoding=encoding)


def folder_page(code, folders, encoding):
    # Names go out unescaped: the PC program takes the raw text between
    # "> " and " <" and would show an entity as typed.
    rows = "".join('<div class="f"> %s <img src="folder.gif"></div>\n' % name for name in folders)
    return Page(code, HEAD % "Folders", "<body>\n%s</body></html>" % rows, encoding=encoding)


def index_page(code, snap):
    """A human view of the jobs for the demo (refreshes itself)."""
    def table(items, columns):
        head = "".join("<th>%s</th>" % html.escape(c) for c in columns)
        rows = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % html.escape(str(i[c]))
                                                 for c in columns) for i in items)
        return "<table><tr>%s</tr>%s</table>" % (head, rows or "")
    style = ("<style>body{font-family:sans-serif;margin:2em;background:#f6f7f9}"
             "table{border-collapse:collapse;background:#fff;margin-bottom:2em}"
             "td,th{border:1px solid #ccd;padding:4px 10px;text-align:left}"
             "th{background:#e3e8f0}</style>")
    body = ("<body><h1>Storage server stand-in</h1>"
            "<p>Default path: %s &middot; Disks: %s</p>"
            "<h2>BT downloads (%s)</h2>%s<h2>Web/FTP downloads (%s)</h2>%s</body></html>") % (
        html.escape(snap["default_path"]), html.escape(" ".join(snap["disks"]) or "none"),
        "on" if snap["bt_enabled"] else "off",
        table(snap["bt"], ["BTItemId", "BTName", "BTStatus", "BTSchedule", "BTTotalSize",
                           "BTThroughput", "BTRemainingTime", "BTPriority", "BTContents"]),
        "on" if snap["web_enabled"] else "off",
        table(snap["web"], ["WebFTPFileName", "WebFTPStatus", "WebFTPLoadSize", "WebFTPSize",
                            "WebFTPSavePath", "WebFTPURL"]))
    head = ('<html>\n<head><meta charset="utf-8"><meta http-equiv="refresh" content="5">'
            '<title>Storage server stand-in</title>%s</head>\n<!-- ' % style)
    # The marker line sits in a comment here, out of the reader's way.
    return Page(code, head, "-->\n" + body)

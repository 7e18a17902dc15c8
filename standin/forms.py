"""Request body readers: multipart/form-data and form-encoded text.

The PC program sends the terminating zero byte of its C strings as the last
body byte (it is counted in Content-Length), so both readers accept, and
ignore, a trailing NUL.
"""

import re
import urllib.parse

BOUNDARY = b"/" * 17


class FormError(ValueError):
    pass


class Part:
    def __init__(self, name, filename, content_type, data):
        self.name = name                  # str
        self.filename = filename          # str or None when absent
        self.content_type = content_type  # str or None
        self.data = data                  # bytes

    def __repr__(self):
        return "Part(%r, filename=%r, %d bytes)" % (self.name, self.filename, len(self.data))


def boundary_from_content_type(value):
    """Boundary of a multipart Content-Type value, or None."""
    if not value:
        return None
    if not value.strip().lower().startswith("multipart/form-data"):
        return None
    m = re.search(r'boundary=("([^"]*)"|[^;\s]+)', value, re.I)
    if not m:
        return None
    return (m.group(2) if m.group(2) is not None else m.group(1)).encode("latin-1")


_PARAM = re.compile(r';\s*([A-Za-z0-9_.-]+)\s*=\s*("([^"]*)"|[^;]*)')


def _part_headers(block):
    headers = {}
    for line in block.split(b"\r\n"):
        if not line:
            continue
        name, sep, value = line.partition(b":")
        if not sep:
            raise FormError("bad part header line %r" % line)
        headers[name.strip().lower().decode("latin-1")] = value.strip().decode("latin-1")
    return headers


def parse_multipart(body, boundary=BOUNDARY):
    """Split a multipart body into a list of Part, in body order."""
    body = bytes(body)
    delim = b"--" + boundary
    if not body.startswith(delim):
        # A preamble is legal; the first delimiter then follows a CRLF.
        pos = body.find(b"\r\n" + delim)
        if pos < 0:
            raise FormError("no opening boundary")
        body = body[pos + 2:]
    parts = []
    pos = len(delim)
    while True:
        if body[pos:pos + 2] == b"--":
            epilogue = body[pos + 2:]
            if epilogue.strip(b"\x00\r\n \t"):
                raise FormError("data after the closing boundary: %r" % epilogue[:40])
            return parts
        if body[pos:pos + 2] != b"\r\n":
            raise FormError("boundary not followed by CRLF or --")
        head_end = body.find(b"\r\n\r\n", pos + 2)
        if head_end < 0:
            raise FormError("part headers not terminated")
        headers = _part_headers(body[pos + 2:head_end])
        data_start = head_end + 4
        next_delim = body.find(b"\r\n" + delim, data_start)
        if next_delim < 0:
            raise FormError("part not closed by a boundary")
        disposition = headers.get("content-disposition", "")
        if not disposition.lower().startswith("form-data"):
            raise FormError("part without form-data disposition")
        params = {m.group(1).lower(): (m.group(3) if m.group(3) is not None else m.group(2).strip())
                  for m in _PARAM.finditer(disposition)}
        if "name" not in params:
            raise FormError("part without a name")
        parts.append(Part(params["name"], params.get("filename"),
                          headers.get("content-type"), body[data_start:next_delim]))
        pos = next_delim + 2 + len(delim)


def parse_form_text(body):
    """Read an "a=1&b=2" body (trailing NUL tolerated) into an ordered dict of str."""
    text = bytes(body).rstrip(b"\x00").decode("latin-1")
    if "\x00" in text:
        raise FormError("zero byte inside the form text")
    fields = {}
    for name, value in urllib.parse.parse_qsl(text.strip("\r\n"), keep_blank_values=True,
                                              encoding="latin-1"):
        fields.setdefault(name, value)
    return fields


class Form:
    """Field access shared by both body kinds; values decoded on request."""

    def __init__(self, fields, files=None):
        self.fields = fields          # name -> bytes
        self.files = files or {}      # name -> Part (parts that carry a filename)

    @classmethod
    def from_multipart(cls, body, boundary=BOUNDARY):
        fields, files = {}, {}
        for part in parse_multipart(body, boundary):
            if part.filename is not None:
                files.setdefault(part.name, part)
            fields.setdefault(part.name, part.data)
        return cls(fields, files)

    @classmethod
    def from_text(cls, body):
        return cls({k: v.encode("latin-1") for k, v in parse_form_text(body).items()})

    def has(self, name):
        return name in self.fields

    def raw(self, name, default=None):
        return self.fields.get(name, default)

    def text(self, name, encoding="utf-8", default=None):
        value = self.fields.get(name)
        if value is None:
            return default
        return value.decode(encoding, errors="replace")

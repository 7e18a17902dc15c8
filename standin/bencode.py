"""A small, strict bencode reader, enough to read torrent files.

Strings come back as bytes, integers as int, lists as list and dictionaries
as dict with bytes keys.  `read_torrent` also returns the info hash, taken
over the info dictionary's bytes exactly as they appear in the file (not
re-encoded), which is what BitTorrent clients compare.
"""

import hashlib
import re

_INT = re.compile(rb"-?(0|[1-9][0-9]*)")


class BencodeError(ValueError):
    pass


def _parse(data, i, depth=0):
    if depth > 64:
        raise BencodeError("nesting too deep")
    if i >= len(data):
        raise BencodeError("unexpected end of data")
    c = data[i:i + 1]
    if c == b"i":
        end = data.find(b"e", i + 1)
        if end < 0:
            raise BencodeError("unterminated integer")
        text = data[i + 1:end]
        if not _INT.fullmatch(text) or text == b"-0":
            raise BencodeError("bad integer %r" % text)
        return int(text), end + 1
    if c == b"l":
        items, i = [], i + 1
        while data[i:i + 1] != b"e":
            item, i = _parse(data, i, depth + 1)
            items.append(item)
        return items, i + 1
    if c == b"d":
        result, i = {}, i + 1
        while data[i:i + 1] != b"e":
            key, i = _parse(data, i, depth + 1)
            if not isinstance(key, bytes):
                raise BencodeError("dictionary key is not a string")
            result[key], i = _parse(data, i, depth + 1)
        return result, i + 1
    if c.isdigit():
        colon = data.find(b":", i)
        if colon < 0 or not data[i:colon].isdigit():
            raise BencodeError("bad string length")
        start = colon + 1
        end = start + int(data[i:colon])
        if end > len(data):
            raise BencodeError("string runs past the end")
        return data[start:end], end
    raise BencodeError("unexpected byte %r at %d" % (c, i))


def decode(data):
    """Decode one complete bencoded value; trailing bytes are an error."""
    value, end = _parse(bytes(data), 0)
    if end != len(data):
        raise BencodeError("trailing data after value")
    return value


def encode(value):
    """Encode a value (used by tests and the demo to make torrents)."""
    if isinstance(value, bool):
        value = int(value)
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, str):
        value = value.encode("utf-8")
    if isinstance(value, (bytes, bytearray)):
        return b"%d:%s" % (len(value), bytes(value))
    if isinstance(value, (list, tuple)):
        return b"l" + b"".join(encode(v) for v in value) + b"e"
    if isinstance(value, dict):
        items = sorted((k.encode("utf-8") if isinstance(k, str) else k, v)
                       for k, v in value.items())
        return b"d" + b"".join(encode(k) + encode(v) for k, v in items) + b"e"
    raise TypeError("cannot bencode %r" % type(value))


class TorrentInfo:
    def __init__(self, name, size, file_count, info_hash):
        self.name = name
        self.size = size
        self.file_count = file_count
        self.info_hash = info_hash


def _text(value):
    if not isinstance(value, bytes):
        raise BencodeError("expected a string")
    return value.decode("utf-8", errors="replace")


def read_torrent(data):
    """Read name, total size, file count and info hash of a torrent file.

    Raises BencodeError when the bytes are not a usable torrent.
    """
    data = bytes(data)
    if data[:1] != b"d":
        raise BencodeError("a torrent is a dictionary")
    # Walk the top-level dictionary by hand to remember where "info" lies.
    i, info_span, top = 1, None, {}
    while data[i:i + 1] != b"e":
        key, i = _parse(data, i)
        if not isinstance(key, bytes):
            raise BencodeError("dictionary key is not a string")
        start = i
        top[key], i = _parse(data, i)
        if key == b"info":
            info_span = (start, i)
    if i + 1 != len(data):
        raise BencodeError("trailing data after torrent")
    info = top.get(b"info")
    if not isinstance(info, dict) or info_span is None:
        raise BencodeError("no info dictionary")
    name = _text(info.get(b"name.utf-8", info.get(b"name", b"")))
    if not name:
        raise BencodeError("no name")
    if b"length" in info:
        if not isinstance(info[b"length"], int) or info[b"length"] < 0:
            raise BencodeError("bad length")
        size, count = info[b"length"], 1
    elif isinstance(info.get(b"files"), list) and info[b"files"]:
        size, count = 0, 0
        for f in info[b"files"]:
            if not isinstance(f, dict) or not isinstance(f.get(b"length"), int) \
                    or f[b"length"] < 0:
                raise BencodeError("bad file entry")
            size += f[b"length"]
            count += 1
    else:
        raise BencodeError("neither length nor files")
    digest = hashlib.sha1(data[info_span[0]:info_span[1]]).hexdigest()
    return TorrentInfo(name, size, count, digest)

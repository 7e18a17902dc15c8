#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora (fuzz/corpus/<target>/) from inputs that
the unit tests use, each in the form its target reads. Run it again after
changing the inputs; the files it writes are kept in the repository."""
import pathlib
import shutil
import struct

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent

# tests/client/ReplyCodeTest.cpp, tests/client/StatusDocumentTest.cpp (page cut, item names)
REPLY_PAGE = [
    b"<html>QuarrowReturnValue:Success\n<body>",
    b"QuarrowReturnValue:Success\r\n",
    b"QuarrowReturnValue:ERR_NULL_ITEM\nQuarrowReturnValue:Success\n",
    b"QuarrowReturnValue:",
    b"quarrowreturnvalue:Success\n",
    b"x" * 40 + b"QuarrowReturnValue:ERR_PAUSED_BEFORE\n" + b"y" * 40,
    b"<html>QuarrowReturnValue:Success\n<body><Quarrow/></body></html>",
    b"<body><a/></body></html>\r\n",
    b"<body><a/></body></html><!-- x -->",
    b"<body></body></html>",
    b"<body>x</html>",
    b"<BODY><a/></BODY></HTML>",
    b"QuarrowReturnValue:Success\n<html><body><Quarrow version=\"2.1\"><BTDownload><BTEnable>1</BTEnable>"
    b"<BTItemCount>1</BTItemCount><BTItem1><BTName>a</BTName></BTItem1></BTDownload></Quarrow></body></html>",
    b"BTItem12", b"BTItem01", b"WebFTPItem1000", b"BTItem99999999999",
]

# tests/client/FolderPagesTest.cpp
FOLDER_PAGES = [
    b"<form><input type=\"hidden\" name=\"d\" value=\"[HDD2]\">\n<input type=\"hidden\" value=\"[HDD1]\">"
    b"<input type=\"hidden\" value=\"[eSATA]\"></form>",
    b"<input type=\"hidden\" value=\"[HDD1]\"><input type=\"hidden\" name=\"x\"><p>",
    b"<input type=\"hidden\"><input type=\"hidden\" value=\"[HDD1]\">",
    b"<input type=\"hidden\" value=\"<input type=\"hidden\" value=\"B\">",
    b"<div> Movies <img src=\"f.gif\"></div>",
    b"<div class=\"f\"> Shared Files <img></div><div>  two  <img>",
    b"<div a <b> Name <img><div> Next <img>",
    b"<div><div> A <img>",
    b"<div> <img>",
]


def discovery(name: bytes, length: int = 80) -> bytes:
    """tests/protocol/PacketsTest.cpp DiscoveryReplyBytes"""
    d = bytearray(length)
    d[0:6] = bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55])
    d[6], d[7], d[8], d[9] = 0x01, 0x04, 0xAB, 0xCD
    d[10:10 + min(len(name), 32)] = name[:32]
    d[42:46] = bytes([10, 77, 0, 21])
    d[68] = 0x07
    d[70] = 2
    return bytes(d)


def reply(code: int, sub: int = 0, length: int = 140, pc: bytes = bytes([0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE])) -> bytes:
    """tests/protocol/PacketsTest.cpp Reply"""
    d = bytearray(length)
    d[0:6] = bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55])
    d[6] = 0x01
    d[10:16] = pc
    d[22:26] = struct.pack("<i", code)
    d[26:30] = struct.pack("<i", sub)
    return bytes(d)


def state_reply() -> bytes:
    d = bytearray(reply(1))
    d[26], d[28], d[29], d[30], d[31] = 1, 1, 0, 1, 1
    d[36:40] = b"7315"
    d[116] = 1
    d[117:121] = bytes([10, 77, 0, 2])
    return bytes(d)


def info_reply() -> bytes:
    d = bytearray(reply(21))
    d[52:52 + 12] = b"firmware 1.2"
    d[102:102 + 50] = b"x" * 50
    return bytes(d)


DATAGRAMS = [
    discovery(b"NAS"),
    discovery(b"x" * 32, 200),
    discovery(b"NAS")[:69],
    bytes([0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0xFF, 0xFB]),
    state_reply(),
    info_reply(),
    reply(20, 5),
    reply(20, 13),
    reply(0),
    reply(19, 3),
    reply(18),
]


def handover(kind: int, code_page: int, first: bytes, second: bytes = b"") -> bytes:
    """app/HandOverMessage.cpp's layout, with the texts of tests/app/HandOverTest.cpp"""
    out = struct.pack("<ii", kind, code_page) + first + b"\0"
    return out + second + b"\0" if kind == 2 else out


HANDOVER = [
    handover(1, 0, b"C:\\a b.torrent"),
    handover(2, 936, b"http://x/%B0%A1", b"http://x/%E5%95%8A"),
    handover(2, 0, b"http://a", b"http://b")[:-1],
    b"\x01\0\0\0\0\0\0\0abc",
    b"\x02\0\0\0\0\0\0\0a\0",
    b"\xFF\xFF\xFF\xFF\0\0\0\0a\0",
    handover(1, 0, b"p") + b"xy",
]

# tests/app/CommandLineTest.cpp, tests/app/HandOverTest.cpp
COMMAND_LINE = [
    b"", b"/r", b"/rubbish", b"/u", b"/f \"C:\\a b.torrent\"", b"/f   \"x\"", b"/l 61006200 gb2312", b"/R", b"/x",
    b" /r", b"/f C:\\t.torrent", b"/f \"\"", b"/l 68007400 gb2312", b"/l 6800740 gb2312", b"/l 680074 x",
    b"/l 6800000074007400 utf-8", b"/l 6a00 utf-8", b"/l 68007400",
    b"/l 68007400740070003A002F002F0061002F002500320035002000E900 gb2312",
    b"/l 3DD800DE utf-8",
]

# tests/client/CSConvertorTest.cpp, and the table shipped beside the program
CHARSET_CSV = [
    b"Western,windows-1252,1252\r\nonly,one comma\n,nameless,936\nEmpty charset,,936\n\n"
    b"Trailing,x-trail,932 japanese\nBlank lead,x-blank,  949\nNot a number,x-nan,abc\n"
    b"Extra,x-extra,1250,1251\nHuge,x-huge,99999999999\nLast,utf-8,65001",
    b"GB2312 name,gb2312,936\nGBK name,gbk,936\nUTF,utf-8,65001\nLater,gb2312,950\n",
    b"A,a,1\r\nB,b,2\r\n",
    b"-2147483648",
    (ROOT / "app" / "charset.csv").read_bytes(),
]

# tests/client/CSConvertorTest.cpp (caret, percent) and tests/dialogs/AddTextTest.cpp;
# the first byte is the target's mode byte.
def utf16(text: str) -> bytes:
    return text.encode("utf-16-le")


ENCODERS = [
    b"\x00a b+c", b"\x00^", b"\x00%20", b"\x00C:\\Torrents\\a b.torrent", b"\x00^+ /=%?&#@;$",
    b"\x00C:\\%C3%A9.torrent", b"\x01\x81\\ x@", b"\x01\x81@^40",
    b"\x00" + utf16("abc"), b"\x00" + utf16("\u554a"), b"\x00" + utf16("a\U0001F600b"), b"\x00" + utf16("\u00e9"),
    b"\x04" + utf16("\u00e9"), b"\x0a" + utf16("abc"),
    b"\x00http://a/b%20c", b"\x00http://a/%25x", b"\x00http://a/5%.zip", b"\x00http://a/%20%zz%25",
    b"\x00http://a/x%4", b"\x00http://a/%g1", b"\x00%25\x01%2525",
]

# tests/wizard/WizardLogicTest.cpp and the values of the shipped Config.ini
WIZARD_INI = [
    b"A%0AB%2550", b"A%20B", b"%250A", b"1%0A2%25", b"Failed in format %s", b"%s/%d %s", b"100%% %n%x %",
    b"(10,20),(80,25)", b" ( 10 , 20 ) , ( 80 , 25 ) ", b"(0,10),(80,20)", b"(10,10),(-80,20)", b"(10,10),(80)",
    b"10,10,80,20", b"(0,0),(600,350)", b"(,5),(700,400)", b"(1,1),(0,0)", b"192.168.0.253", b"010.0.0.5",
    b"STORAGE_SERVER", b"ENU",
]
for line in (ROOT / "wizard" / "image" / "en" / "Config.ini").read_bytes().splitlines():
    if b"=(" in line and len(WIZARD_INI) < 40:
        WIZARD_INI.append(line.split(b"=", 1)[1].strip())

# tests/browserhost/test_host.py: requests as the browser extension sends them, and broken ones
NATIVE_MESSAGE = [
    b'{"url": "http://h/a.bin", "charset": "windows-1252"}',
    b'{"url": "FTP://h/pub/x.iso", "charset": "utf-8"}',
    '{"url": "http://h/d\u00e9j\u00e0 vu %25.bin", "charset": "iso-8859-1"}'.encode("utf-8"),
    b'{"url": "http://h/\u4e2d\ud83d\ude00.zip", "charset": "gb2312"}',
    b' { "url" : "http:\/\/h\/\u00e9.bin" , "extra": [1, {"a": null}], "n": -1.5e+3 } ',
    b'{"url": "javascript:alert(1)"}', b'{"url": 42}', b'{"charset": true}', b'["http://h/a.bin"]',
    b'{"url": "http://h/a.bin", "url": "ftp://h/b"}', b'{"url": "http://h/\ud800.bin"}',
    b'{"url": "http://h/\xc0\xaf.bin"}', b'{"x": [[[[[[]]]]]], "url": "http://h/a"}', b"",
]

CORPORA = {
    "reply_page": REPLY_PAGE,
    "folder_pages": FOLDER_PAGES,
    "datagrams": DATAGRAMS,
    "handover_payload": HANDOVER,
    "command_line": COMMAND_LINE,
    "charset_csv": CHARSET_CSV,
    "encoders": ENCODERS,
    "wizard_ini": WIZARD_INI,
    "native_message": NATIVE_MESSAGE,
}

if __name__ == "__main__":
    for target, seeds in CORPORA.items():
        folder = HERE / "corpus" / target
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for n, seed in enumerate(dict.fromkeys(seeds)):
            (folder / f"seed-{n:02d}").write_bytes(seed)
        print(f"{target}: {len(set(seeds))} seeds")

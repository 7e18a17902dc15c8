"""Brevlet's registration as the add-in's registration and the installer leave it,
`reg export` files read back, and the "/l" command line with which Brevlet and
the browser host hand a link to Quarrow."""
import re

CLSID = "{B7C86DB5-F0F7-45E1-88CB-3A92CD81F0A3}"
APPID = "{19563580-617C-4189-914B-B2D04424C7A8}"
IID = "{BA95964F-CB76-4DAF-9B45-623C35143313}"
FRIENDLY = "CQuarrowBrevlet Object"
PROGID = "Brevlet.QuarrowBrevlet"
# The subtrees below HKEY_CLASSES_ROOT that registration writes.
SUBTREES = ["AppID", "CLSID\\" + CLSID, PROGID, PROGID + ".1", "TypeLib\\" + APPID, "Interface\\" + IID]


def link_hex(link):
    """A link as the "/l" command line carries it: each UTF-16 unit as four hexadecimal
    digits, low byte first."""
    return link.encode("utf-16-le").hex().upper()


def expected_keys(dll, platform):
    """The keys registration adds below HKEY_CLASSES_ROOT, with their values."""
    folder = dll.rsplit("\\", 1)[0]
    cls = "CLSID\\" + CLSID
    lib = "TypeLib\\" + APPID
    iface = "Interface\\" + IID
    return {
        "AppID\\" + APPID: {"@": "Brevlet"},
        "AppID\\Brevlet.DLL": {"AppID": APPID},
        PROGID + ".1": {"@": FRIENDLY},
        PROGID + ".1\\CLSID": {"@": CLSID},
        PROGID: {"@": FRIENDLY},
        PROGID + "\\CLSID": {"@": CLSID},
        PROGID + "\\CurVer": {"@": PROGID + ".1"},
        cls: {"@": FRIENDLY, "AppID": APPID},
        cls + "\\ProgID": {"@": PROGID + ".1"},
        cls + "\\VersionIndependentProgID": {"@": PROGID},
        cls + "\\Programmable": {},
        cls + "\\InprocServer32": {"@": dll, "ThreadingModel": ""},
        cls + "\\TypeLib": {"@": APPID},
        # The system's own type library registration.
        lib: {},
        lib + "\\1.0": {"@": "Brevlet 1.0 Type Library"},
        lib + "\\1.0\\0": {},
        lib + "\\1.0\\0\\" + platform: {"@": dll},
        lib + "\\1.0\\FLAGS": {"@": "8"},
        lib + "\\1.0\\HELPDIR": {"@": folder},
        iface: {"@": "IQuarrowBrevlet"},
        iface + "\\ProxyStubClsid": {"@": "{00020424-0000-0000-C000-000000000046}"},
        iface + "\\ProxyStubClsid32": {"@": "{00020424-0000-0000-C000-000000000046}"},
        iface + "\\TypeLib": {"@": APPID, "Version": "1.0"},
    }


def parse_reg(text, below=""):
    """A `reg export` file as {key: {value name ("@" for the default): data}}; texts unquoted,
    other types as written (dword:00000022). With `below` ("HKEY_CLASSES_ROOT\\", say) only the
    keys below it, named without it."""
    keys, current = {}, None
    unquote = lambda s: re.sub(r"\\(.)", r"\1", s[1:-1]) if s.startswith('"') else s
    for line in text.replace("\\\r\n", "").splitlines():
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            current = keys.setdefault(key[len(below):], {}) if key.startswith(below) else None
        elif current is not None and "=" in line:
            name, value = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line).groups()
            current[unquote(name)] = unquote(value)
    return keys

"""Brevlet as an installer and a browser page use it, under Wine: regsvr32 writes exactly the
keys of its tables and regsvr32 /u takes them away again; the script host creates the object
by its ProgID and calls both methods and the context-menu page GetUrl.htm through IDispatch;
a recording program in Quarrow.exe's place shows the command lines that result.

Runs in a Wine prefix of its own, since it writes and removes class keys. The i686 build is
tried where the machine runs 32-bit programs (as scripts/test.sh decides)."""
import json
import os
import re
import shutil
import subprocess
import time
import unittest

from tests.support import BUILD, ROOT, WINE32, nsrun, unittest_main
from tests.support.brevlet import APPID, PROGID, SUBTREES, expected_keys, link_hex, parse_reg

BUILDS = {"x86_64": BUILD, "i686": os.path.join(os.path.dirname(BUILD), "i686")}
HOME = os.path.join(BUILD, "addin-wine")
PREFIX = os.path.join(HOME, "wineprefix")
WINESERVER = next(p for p in ("/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver") if os.path.exists(p))

DISP_E_TYPEMISMATCH = 0x80020005 - (1 << 32)  # as a script sees the error number

# Per architecture: Wine loader, system folder of its programs, registry view, type library platform.
ARCHS = {
    "x86_64": ("/usr/lib/wine/wine64", r"C:\windows\system32", "/reg:64", "win64"),
    "i686": (WINE32, r"C:\windows\syswow64", "/reg:32", "win32"),
}


FOREIGN = "http://\u4f8b\u3048.jp/\u4e2d\u6587?q=\u00e9&r=%25#\U0001F600"
# Method, arguments (None is the script's null, which no conversion turns into text).
CALLS = [
    ("BrevletWithLang", [FOREIGN, "utf-8"]),
    ("Brevlet", ["http://x/a b"]),
    ("Brevlet", [None]),
    ("BrevletWithLang", ["http://x/", None]),
]
# What the menu was opened on (a script object standing in for the element), the page's
# character set, and the link the page must hand over.
PAGE_CASES = [
    ('{tagName: "IMG", src: "http://x/pic.png", parentElement: {tagName: "A", href: %s, parentElement: null}}'
     % json.dumps(FOREIGN), "gb2312", FOREIGN),
    ('{tagName: "IMG", src: "http://x/only.png", parentElement: {tagName: "BODY", parentElement: null}}',
     "utf-8", "http://x/only.png"),
]


def read(path, encoding="ascii"):
    with open(path, "rb") as f:
        return f.read().decode(encoding)


def command_line(method, args):
    if method == "Brevlet":
        return '/l "%s"' % args[0]
    return "/l %s %s" % (link_hex(args[0]), args[1])


class Registration(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(HOME, exist_ok=True)
        subprocess.run(["bash", os.path.join(ROOT, "scripts", "harness"), "prefix", HOME], check=True,
                       stdout=subprocess.DEVNULL)
        cls.env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        display = os.path.join(BUILD, "harness", "display")
        if os.path.exists(display):
            cls.env["DISPLAY"] = read(display).strip()
        # Wine's background services start with the first program and keep its output open:
        # start them here on /dev/null, or reading a later program's output never ends.
        for command in ([WINESERVER, "-p"], [ARCHS["x86_64"][0], "cmd", "/c", "exit"]):
            subprocess.run(command, env=cls.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300)

    @classmethod
    def tearDownClass(cls):
        subprocess.run([WINESERVER, "-k"], env=cls.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wine(self, *args, check=True, env=None):
        r = subprocess.run([self.loader, *args], env=env or self.env, capture_output=True, timeout=300)
        if check:
            self.assertEqual(0, r.returncode, "%s: %s" % (args, r.stderr.decode(errors="replace")))
        return r

    def snapshot(self):
        keys = {}
        out = os.path.join(self.folder, "export.reg")
        for subtree in SUBTREES:
            if os.path.exists(out):
                os.remove(out)
            r = self.wine("reg", "export", "HKCR\\" + subtree, self.win(out), "/y", self.view, check=False)
            if r.returncode == 0:
                keys.update(parse_reg(read(out, "utf-16"), "HKEY_CLASSES_ROOT\\"))
        return keys

    def win(self, path):
        return "C:\\" + os.path.relpath(path, os.path.join(PREFIX, "drive_c")).replace("/", "\\")

    def script(self, name, body):
        path = os.path.join(self.folder, name)
        with open(path, "w", encoding="ascii") as f:  # non-ASCII goes as \u escapes
            f.write(body)
        r = self.wine(self.system + "\\cscript.exe", "//nologo", self.win(path),
                      env=dict(self.env, BREVLET_RECORD=self.win(self.record)))
        return r.stdout.decode().replace("\r", "").split()

    def recorded(self, count):
        lines = []
        for _ in range(300):
            if os.path.exists(self.record):
                lines = read(self.record).splitlines()
            if len(lines) >= count:
                break
            time.sleep(0.1)
        time.sleep(1)  # nothing more may come
        return sorted(read(self.record).splitlines())

    def scenario(self, arch):
        build = BUILDS[arch]
        self.loader, self.system, self.view, platform = ARCHS[arch]
        self.folder = os.path.join(PREFIX, "drive_c", "Quarrow Test", arch)
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.copytree(os.path.join(build, "tests", "addin", "stage"), self.folder)
        dll = self.win(os.path.join(self.folder, "Brevlet.dll"))
        self.record = os.path.join(self.folder, "record.txt")
        # Leftovers of an interrupted run.
        for key in SUBTREES[1:] + ["AppID\\" + APPID, "AppID\\Brevlet.DLL"]:
            self.wine("reg", "delete", "HKCR\\" + key, "/f", self.view, check=False)

        before = self.snapshot()
        self.wine(self.system + "\\regsvr32.exe", "/s", dll)
        self.assertEqual({**before, **expected_keys(dll, platform)}, self.snapshot())

        calls = ['var o = new ActiveXObject("%s");' % PROGID,
                 'function run(f) { try { f(); WScript.Echo("ok"); } catch (e) { WScript.Echo(e.number); } }']
        calls += ["run(function () { o.%s(%s); });" % (m, ", ".join(map(json.dumps, a))) for m, a in CALLS]
        self.assertEqual(["ok" if None not in a else str(DISP_E_TYPEMISMATCH) for _, a in CALLS],
                         self.script("calls.js", "\n".join(calls)))
        expected = [command_line(m, a) for m, a in CALLS if None not in a]

        page = read(os.path.join(self.folder, "GetUrl.htm"))
        page = re.search(r"<script[^>]*>(.*?)</script>", page, re.S).group(1)
        for element, charset, link in PAGE_CASES:
            menu = "var external = {menuArguments: {event: {srcElement: %s}, document: {charset: %s}}};\n" % (
                element, json.dumps(charset))
            self.assertEqual([], self.script("page.js", menu + page))
            expected.append(command_line("BrevletWithLang", [link, charset]))
        self.assertEqual(sorted(expected), self.recorded(len(expected)))

        for _ in range(2):  # removing twice: the second finds nothing to remove
            self.wine(self.system + "\\regsvr32.exe", "/u", "/s", dll)
            self.assertEqual(before, self.snapshot())

    def test_x86_64(self):
        self.scenario("x86_64")

    def test_i686(self):
        if not nsrun.can_run_32bit():
            self.skipTest(nsrun.no32_reason() + ": the i686 library's registration and scripting were left out")
        if not os.path.exists(os.path.join(BUILDS["i686"], "tests", "addin", "addin_tests.exe")):
            self.skipTest("no i686 build")
        self.scenario("i686")
        self.wine(os.path.join(BUILDS["i686"], "tests", "addin", "addin_tests.exe"))


if __name__ == "__main__":
    unittest_main()

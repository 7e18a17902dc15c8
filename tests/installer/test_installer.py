"""Setup.exe under Wine: a silent install puts every file, shortcut and key in place; the
installed Quarrow starts from there with remembered settings; a silent upgrade over the
running program asks it to exit and leaves the same state; a silent uninstall takes all of it
away but ".torrent"'s default value.

Runs in a private test network with a Wine prefix of its own whose wineserver lives there: a
Quarrow start may broadcast, and the install writes class keys. Setup and the programs it
installs are 32-bit: the test is skipped where 32-bit programs cannot run."""
import filecmp
import os
import re
import subprocess
import sys
import time
import unittest

import nsrun

sys.path.insert(0, os.path.join(nsrun.ROOT, "tests", "addin"))
from test_registration import APPID, CLSID, IID, PROGID, expected_keys  # noqa: E402

BUILD = os.environ.get("QUARROW_BUILD_DIR", os.path.join(nsrun.ROOT, "build", "x86_64"))
TOP = os.path.dirname(BUILD)
SETUP = os.path.join(TOP, "installer", "Setup.exe")
APP, APP64, WIZARD = (os.path.join(TOP, "i686", "app"), os.path.join(BUILD, "app"),
                      os.path.join(TOP, "i686", "wizard"))
UIDRIVER = os.path.join(BUILD, "tests", "uidriver.exe")
WINE32, WINE64 = "/usr/lib/wine/wine", "/usr/lib/wine/wine64"

FOLDER = r"C:\Program Files (x86)\Quarrow"
MENU = "ProgramData/Microsoft/Windows/Start Menu/Programs/Quarrow"
CR, CU, LM = "HKEY_CLASSES_ROOT\\", "HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\"
UNINSTALL = LM + r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarrow"
SETTINGS = CU + r"SOFTWARE\Storage Server\Quarrow"
MENUEXT = CU + r"Software\Microsoft\Internet Explorer\MenuExt\Download with Quarrow"
RUN = CU + r"Software\Microsoft\Windows\CurrentVersion\Run"
CLASS_TREES = [".torrent", "Quarrow_Torrent", PROGID, PROGID + ".1", "CLSID\\" + CLSID, "TypeLib\\" + APPID,
               "Interface\\" + IID, "AppID\\" + APPID, "AppID\\Brevlet.DLL"]
# (registry view, subtree) pairs whose whole contents the test compares.
TREES = ([(view, CR + key) for view in ("32", "64") for key in CLASS_TREES]
         + [("64", CU + r"SOFTWARE\Storage Server"), ("64", MENUEXT), ("64", RUN), ("32", UNINSTALL)])
# Settings a user of the installed program has: a remembered server and its credentials.
REMEMBERED = {SETTINGS: {"DefaultServer": nsrun.NAS_ADDR, "DefaultServerDisplayName": "nas"},
              SETTINGS + "\\" + nsrun.NAS_ADDR: {"User": "admin", "Password": "secret"}}


def parse_reg(text):
    """A `reg export` file as {key: {value name ("@" for the default): data}}; texts unquoted,
    other types as written (dword:00000022)."""
    keys, current = {}, None
    unquote = lambda s: re.sub(r"\\(.)", r"\1", s[1:-1]) if s.startswith('"') else s
    for line in text.replace("\\\r\n", "").splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            name, value = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line).groups()
            current[unquote(name)] = unquote(value)
    return keys


def classes():
    """The class keys of both add-in libraries and of "/r", per registry view as Wine keeps them:
    class identifiers per view; type library, interface and AppID keys shared by both views;
    the other class keys in one place that Wine's reg shows in the 64-bit view."""
    state = {}
    for view, dll, platform in (("32", "Brevlet.dll", "win32"), ("64", "Brevlet64.dll", "win64")):
        for key, values in expected_keys(FOLDER + "\\" + dll, platform).items():
            views = ([view] if key.startswith("CLSID") else
                     ["32", "64"] if key.startswith(("TypeLib", "Interface", "AppID")) else ["64"])
            for v in views:
                state[(v, CR + key)] = dict(values)
    # "/r" runs after the 32-bit library's own registration and sets apartment threading.
    state[("32", CR + "CLSID\\" + CLSID + "\\InprocServer32")]["ThreadingModel"] = "apartment"
    state[("64", CR + ".torrent")] = {"@": "Quarrow_Torrent"}
    for key in ("", "\\shell", "\\shell\\open"):
        state[("64", CR + "Quarrow_Torrent" + key)] = {}
    state[("64", CR + r"Quarrow_Torrent\shell\open\command")] = {"@": '"%s\\Quarrow.exe" /f "%%1"' % FOLDER}
    return state


class Installer(unittest.TestCase):
    maxDiff = None
    def setUp(self):
        if subprocess.run([WINE32, "--version"], capture_output=True).returncode != 0:
            self.skipTest("this machine cannot run 32-bit programs")
        if not os.path.isfile(SETUP):
            self.skipTest("no Setup.exe (scripts/build.sh makes it)")
        display = os.path.join(BUILD, "harness", "display")
        if os.path.isfile(display):
            with open(display) as f:
                os.environ["DISPLAY"] = f.read().strip()
        os.environ.update(QUARROW_BUILD_DIR=BUILD, WINEDEBUG="-all",
                          # Shortcuts stay in the prefix: no menu entries on the Linux desktop.
                          WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.net = nsrun.TestNetwork().__enter__()
        self.addCleanup(self.net.close)
        self.prefix = self.net.private_wine()
        self.drive = os.path.join(self.prefix, "drive_c")
        self.folder = os.path.join(self.drive, "Program Files (x86)", "Quarrow")

    def wine(self, *args, loader=WINE64, timeout=120):
        return self.net.run_pc([loader, *args], timeout=timeout, capture_output=True)

    def start_quarrow(self):
        quarrow = subprocess.Popen(["ip", "netns", "exec", self.net.pc, WINE32, FOLDER + "\\Quarrow.exe"],
                                   env=self.net.pc_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: quarrow.poll() is None and quarrow.kill())
        return quarrow

    def until(self, condition, timeout=30):
        deadline = time.time() + timeout
        while not condition():
            self.assertLess(time.time(), deadline)
            time.sleep(0.2)

    def driver(self, *args):
        return self.net.run_pc([UIDRIVER, *args], timeout=60, capture_output=True, text=True).stdout.strip()

    def requests(self):
        with open(self.net.log_path) as f:
            return f.read()

    def snapshot(self):
        """The compared subtrees, one `reg export` each, in one script host run."""
        out = os.path.join(self.net.dir, "reg")
        os.makedirs(out, exist_ok=True)
        lines = []
        for i, (view, key) in enumerate(TREES):
            path = os.path.join(out, "%d.reg" % i)
            if os.path.exists(path):
                os.remove(path)
            lines.append('reg export "%s" "%s" /y /reg:%s >nul 2>&1' % (key, nsrun.windows_path(path), view))
        with open(os.path.join(out, "export.bat"), "w") as f:
            f.write("\r\n".join(["@echo off"] + lines) + "\r\n")
        self.wine("cmd", "/c", nsrun.windows_path(os.path.join(out, "export.bat")))
        state = {}
        for i, (view, _) in enumerate(TREES):
            path = os.path.join(out, "%d.reg" % i)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    state.update({(view, k): v for k, v in parse_reg(f.read().decode("utf-16")).items()})
        return state

    def installed(self):
        """The expected files: installed path -> built file (None: made by the installer)."""
        files = {name: os.path.join(APP, name) for name in ("Quarrow.exe", "charset.csv", "GetUrl.htm", "Brevlet.dll")}
        files["Brevlet64.dll"] = os.path.join(APP64, "Brevlet.dll")
        files["Uninstall.exe"] = None
        for base, _, names in os.walk(WIZARD):
            rel = os.path.relpath(base, WIZARD)
            if rel == "." or rel.split(os.sep)[0] == "image":
                for name in names:
                    if rel != "." or name in ("Kestane.exe", "dhcp.bat"):
                        files[os.path.normpath(os.path.join(rel, name))] = os.path.join(base, name)
        return files

    def check_installed(self, extra):
        files = self.installed()
        found = {os.path.relpath(os.path.join(b, n), self.folder) for b, _, ns in os.walk(self.folder) for n in ns}
        self.assertEqual(sorted(files), sorted(found))
        for name, built in files.items():
            if built:
                self.assertTrue(filecmp.cmp(built, os.path.join(self.folder, name), shallow=False), name)
        wizard = ["Storage Server Wizard.lnk"] if "Kestane.exe" in files else []
        self.assertEqual(sorted(["Quarrow.lnk", "Uninstall Quarrow.lnk"] + wizard),
                         sorted(os.listdir(os.path.join(self.drive, MENU))))
        size_kb = sum(os.path.getsize(os.path.join(self.folder, n)) for n in files) // 1024
        state = self.snapshot()
        self.assertLessEqual(abs(int(state.get(("32", UNINSTALL), {}).get("EstimatedSize", "dword:0")[6:], 16)
                                 - size_kb), len(files))
        expected = {**self.before, **classes(),
                    ("64", CU + r"SOFTWARE\Storage Server"): {}, ("64", SETTINGS): {},
                    ("64", MENUEXT): {"@": FOLDER + "\\GetUrl.htm", "Contexts": "dword:00000022"},
                    ("32", UNINSTALL): {
                        "DisplayName": "Quarrow", "DisplayVersion": self.version, "Publisher": "Storage Server",
                        "DisplayIcon": FOLDER + "\\Quarrow.exe,0", "InstallLocation": FOLDER,
                        "UninstallString": '"%s\\Uninstall.exe"' % FOLDER,
                        "QuietUninstallString": '"%s\\Uninstall.exe" /S' % FOLDER,
                        "NoModify": "dword:00000001", "NoRepair": "dword:00000001",
                        "EstimatedSize": state.get(("32", UNINSTALL), {}).get("EstimatedSize")}, **extra}
        self.assertEqual(expected, state)

    def test_install_upgrade_uninstall(self):
        with open(os.path.join(nsrun.ROOT, "app", "version.h")) as f:
            self.version = re.search(r'QUARROW_VERSION_TEXT "([^"]+)"', f.read()).group(1)
        # A PC that never had Quarrow: not even the settings key.
        self.wine("reg", "delete", r"HKCU\SOFTWARE\Storage Server", "/f")
        self.before = self.snapshot()
        self.assertFalse(any(k in self.before for k in classes()))

        self.assertEqual(0, self.wine(SETUP, "/S", loader=WINE32).returncode)
        self.check_installed({})

        # The user remembers a server and has Quarrow start with Windows (from an older
        # folder, which the upgrade corrects).
        settings = {("64", k): v for k, v in REMEMBERED.items()}
        settings[("64", RUN)] = {**self.before.get(("64", RUN), {}), "Quarrow": '"%s\\Quarrow.exe"' % FOLDER}
        for key, values in {**REMEMBERED, RUN: {"Quarrow": r"C:\old\Quarrow.exe"}}.items():
            for name, data in values.items():
                self.wine("reg", "add", key, "/v", name, "/d", data, "/f")
        # Quarrow starts from the program folder while the server is still off: its message is
        # up, and Setup, silent, gives up rather than replace files under it. Past the message
        # it asks for another server; cancelling that ends it.
        quarrow = self.start_quarrow()
        message = self.driver("find", "Connect error!", "30000")
        self.assertTrue(message)
        self.assertEqual(2, self.wine(SETUP, "/S", loader=WINE32, timeout=180).returncode)
        self.assertIsNone(quarrow.poll())
        self.driver("click", message, "OK")
        self.driver("click", self.driver("find", "Cancel", "30000"), "Cancel")
        self.assertIsNotNone(quarrow.wait(30))

        # With the server on, Quarrow reads its status and waits for the user; the upgrade asks
        # it to exit (its "Exit" command) before it replaces anything.
        self.net.start_standin()
        quarrow = self.start_quarrow()
        main = self.driver("find", "Refresh", "30000")
        self.until(lambda: "Quarrow.asp" in self.requests() and self.driver("state", main, "0") == "1 1")
        self.assertEqual(0, self.wine(SETUP, "/S", loader=WINE32, timeout=180).returncode)
        self.assertIsNotNone(quarrow.wait(30))
        self.check_installed(settings)

        # The quiet removal that the list of installed programs offers. The uninstaller runs
        # from a copy of itself, so the test waits for the folder to go.
        command = self.snapshot()[("32", UNINSTALL)]["QuietUninstallString"]
        program, switch = re.match(r'^"([^"]+)" (/S)$', command).groups()
        self.assertEqual(0, self.wine(program, switch, loader=WINE32).returncode)
        self.until(lambda: not os.path.exists(self.folder), 60)
        time.sleep(1)
        self.assertFalse(os.path.exists(os.path.join(self.drive, MENU)))
        self.assertEqual({**self.before, ("64", CR + ".torrent"): {"@": "Quarrow_Torrent"}}, self.snapshot())


if __name__ == "__main__":
    unittest.main()

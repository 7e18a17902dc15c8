"""Both Setups under Wine (Setup64.exe with the x86_64 programs, Setup.exe with the i686 ones):
a silent install puts every file, shortcut and key in place, and the per-user command it
leaves for other users makes their settings key and menu entry; the installed Quarrow starts
from there with remembered settings; a silent upgrade over the running program asks it to
exit and leaves the same state; a silent uninstall takes all of it away and gives ".torrent"
back what it named before. Installed into a folder that holds the user's files, Setup and the
uninstaller leave those alone, and a folder of the user's outside the program folders is
refused. The 64-bit Setup replaces an i686 installation.

Runs in a private test network with a Wine prefix of its own whose wineserver lives there: a
Quarrow start may broadcast, and the install writes class keys. Setup.exe and its programs are
32-bit: that half is skipped where 32-bit programs cannot run (or QUARROW_NO32=1)."""
import filecmp
import os
import re
import subprocess
import time
import unittest

from tests.support import BUILD, WINE64, nsrun
from tests.support.brevlet import APPID, CLSID, IID, PROGID, expected_keys, parse_reg
from tests.support.desktop import Desktop
from tests.support.wait import until

TOP = os.path.dirname(BUILD)


class Setup:
    """One of the two Setups: its file, the Wine loader of its programs, its default folder,
    the registry view of its entry in the list of installed programs, and its build."""
    def __init__(self, name, arch, loader, folder, view):
        self.path = os.path.join(TOP, "installer", name)
        self.loader, self.folder, self.view = loader, folder, view
        self.app, self.wizard = os.path.join(TOP, arch, "app"), os.path.join(TOP, arch, "wizard")


SETUP64 = Setup("Setup64.exe", "x86_64", WINE64, r"C:\Program Files\Quarrow", "64")
SETUP32 = Setup("Setup.exe", "i686", nsrun.WINE32, r"C:\Program Files (x86)\Quarrow", "32")
BREVLET32, BREVLET64 = (os.path.join(TOP, arch, "app", "Brevlet.dll") for arch in ("i686", "x86_64"))

MENU = "ProgramData/Microsoft/Windows/Start Menu/Programs/Quarrow"
CR, CU, LM = "HKEY_CLASSES_ROOT\\", "HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\"
UNINSTALL = LM + r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarrow"
ACTIVE_SETUP = LM + r"Software\Microsoft\Active Setup\Installed Components"
SETTINGS = CU + r"SOFTWARE\Storage Server\Quarrow"
MENUEXT = CU + r"Software\Microsoft\Internet Explorer\MenuExt\Download with Quarrow"
RUN = CU + r"Software\Microsoft\Windows\CurrentVersion\Run"
# The browsers' keys that point them at the messaging host's manifests.
HOST = "com.storageserver.quarrow"
HOST_KEYS = {LM + "Software\\%s\\NativeMessagingHosts\\" % browser + HOST: HOST + suffix
             for browser, suffix in ((r"Google\Chrome", ".json"), (r"Microsoft\Edge", ".json"),
                                     ("Mozilla", ".firefox.json"))}
CLASS_TREES = [".torrent", "Quarrow_Torrent", PROGID, PROGID + ".1", "CLSID\\" + CLSID, "TypeLib\\" + APPID,
               "Interface\\" + IID, "AppID\\" + APPID, "AppID\\Brevlet.DLL"]
# (registry view, subtree) pairs whose whole contents the test compares.
TREES = ([(view, CR + key) for view in ("32", "64") for key in CLASS_TREES]
         + [("64", CU + r"SOFTWARE\Storage Server"), ("64", MENUEXT), ("64", RUN), ("32", UNINSTALL),
            ("64", UNINSTALL), ("32", ACTIVE_SETUP), ("64", ACTIVE_SETUP)]
         + [(view, key) for view in ("32", "64") for key in HOST_KEYS])
# Torrent files opened with another program before Quarrow came.
OTHER_TORRENT = "OtherClient.Torrent"
# Settings a user of the installed program has: a remembered server and its credentials.
REMEMBERED = {SETTINGS: {"DefaultServer": nsrun.NAS_ADDR, "DefaultServerDisplayName": "nas"},
              SETTINGS + "\\" + nsrun.NAS_ADDR: {"User": "admin", "Password": "secret"}}


def classes(folder):
    """The class keys of both add-in libraries and of "/r": the class identifier's keys per
    registry view, the rest once (see shared())."""
    state = {}
    for view, dll, platform in (("32", "Brevlet.dll", "win32"), ("64", "Brevlet64.dll", "win64")):
        for key, values in expected_keys(folder + "\\" + dll, platform).items():
            state[shared((view, CR + key))] = dict(values)
    # "/r" runs after the 32-bit library's own registration and sets apartment threading.
    state[("32", CR + "CLSID\\" + CLSID + "\\InprocServer32")]["ThreadingModel"] = "apartment"
    state[shared(("64", CR + ".torrent"))] = {"@": "Quarrow_Torrent"}
    for key in ("", "\\shell", "\\shell\\open"):
        state[shared(("64", CR + "Quarrow_Torrent" + key))] = {}
    state[shared(("64", CR + r"Quarrow_Torrent\shell\open\command"))] = {"@": '"%s\\Quarrow.exe" /f "%%1"' % folder}
    return state


def shared(view_key):
    """Class keys other than class identifiers are one key for both registry views on Windows;
    Wine's reg shows them in one view or in both, depending on the bitness of the program that
    wrote them. They are compared without their view."""
    view, key = view_key
    if key.startswith(CR) and not key.startswith(CR + "CLSID"):
        return ("32|64", key)
    return view_key


def windows_argv(command):
    """A command line split as the C runtime does for the simple forms a registry command uses."""
    return [m.group(1) if m.group(1) is not None else m.group(2) for m in re.finditer(r'"([^"]*)"|(\S+)', command)]


class Installer(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        display = os.path.join(BUILD, "harness", "display")
        if os.path.isfile(display):
            with open(display) as f:
                os.environ["DISPLAY"] = f.read().strip()
        os.environ.update(QUARROW_BUILD_DIR=BUILD, WINEDEBUG="-all",
                          # Shortcuts stay in the prefix: no menu entries on the Linux desktop.
                          WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        with open(os.path.join(nsrun.ROOT, "app", "version.h")) as f:
            self.version = re.search(r'QUARROW_VERSION_TEXT "([^"]+)"', f.read()).group(1)

    def start_network(self, *setups):
        for setup in setups:
            if not os.path.isfile(setup.path):
                self.skipTest("no %s (scripts/build.sh makes it)" % os.path.basename(setup.path))
        self.net = nsrun.TestNetwork().__enter__()
        self.addCleanup(self.net.close)
        self.prefix = self.net.private_wine()
        self.desk = Desktop(self.net)
        self.drive = os.path.join(self.prefix, "drive_c")

    def unix(self, folder):
        return os.path.join(self.drive, *folder[3:].split("\\"))

    def wine(self, *args, loader=WINE64, timeout=120):
        return self.net.run_pc([loader, *args], timeout=timeout, capture_output=True)

    def start_quarrow(self, setup, folder):
        quarrow = subprocess.Popen(["ip", "netns", "exec", self.net.pc, setup.loader, folder + "\\Quarrow.exe"],
                                   env=self.net.pc_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: quarrow.poll() is None and quarrow.kill())
        return quarrow

    def until(self, condition, timeout=30):
        self.assertTrue(until(condition, timeout))

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
                    for key, values in parse_reg(f.read().decode("utf-16")).items():
                        # Both views of a shared key must agree.
                        self.assertEqual(state.setdefault(shared((view, key)), values), values, key)
        return state

    def installed(self, setup):
        """The expected files: installed path -> built file (None: made by the installer)."""
        files = {name: os.path.join(setup.app, name)
                 for name in ("Quarrow.exe", "charset.csv", "GetUrl.htm", "QuarrowHost.exe", HOST + ".json",
                              HOST + ".firefox.json")}
        files.update({"Brevlet.dll": BREVLET32, "Brevlet64.dll": BREVLET64, "Uninstall.exe": None})
        for base, _, names in os.walk(setup.wizard):
            rel = os.path.relpath(base, setup.wizard)
            if rel == "." or rel.split(os.sep)[0] == "image":
                for name in names:
                    if rel != "." or name in ("Kestane.exe", "dhcp.bat"):
                        files[os.path.normpath(os.path.join(rel, name))] = os.path.join(base, name)
        return files

    def found(self, folder):
        top = self.unix(folder)
        return {os.path.relpath(os.path.join(b, n), top) for b, _, ns in os.walk(top) for n in ns}

    def check_installed(self, setup, folder, extra, user_files=()):
        """Files, shortcuts and every compared key as the Setup leaves them in `folder`; returns
        the per-user command it leaves for other users."""
        files = self.installed(setup)
        self.assertEqual(sorted([*files, *user_files]), sorted(self.found(folder)))
        for name, built in files.items():
            if built:
                self.assertTrue(filecmp.cmp(built, os.path.join(self.unix(folder), name), shallow=False), name)
        wizard = ["Storage Server Wizard.lnk"] if "Kestane.exe" in files else []
        self.assertEqual(sorted(["Quarrow.lnk", "Uninstall Quarrow.lnk"] + wizard),
                         sorted(os.listdir(os.path.join(self.drive, MENU))))
        size_kb = sum(os.path.getsize(os.path.join(self.unix(folder), n)) for n in files) // 1024
        state = self.snapshot()
        entry = state.get((setup.view, UNINSTALL), {})
        self.assertLessEqual(abs(int(entry.get("EstimatedSize", "dword:0")[6:], 16) - size_kb), len(files))
        components = [k for k in state if k[1].startswith(ACTIVE_SETUP + "\\") and k not in self.before]
        self.assertEqual(1, len(components), components)
        component = state[components[0]]
        self.assertRegex(component.get("Version", ""), r"^\d+,\d+,\d+,\d+$")
        expected = {**self.before, **classes(folder),
                    ("64", CU + r"SOFTWARE\Storage Server"): {}, ("64", SETTINGS): {},
                    ("64", MENUEXT): {"@": folder + "\\GetUrl.htm", "Contexts": "dword:00000022"},
                    (setup.view, UNINSTALL): {
                        "DisplayName": "Quarrow", "DisplayVersion": self.version, "Publisher": "Storage Server",
                        "DisplayIcon": folder + "\\Quarrow.exe,0", "InstallLocation": folder,
                        "UninstallString": '"%s\\Uninstall.exe"' % folder,
                        "QuietUninstallString": '"%s\\Uninstall.exe" /S' % folder,
                        "WizardFiles": "|".join(sorted(n for n in files if n.startswith("image" + os.sep))
                                                ).replace("/", "\\"),
                        "NoModify": "dword:00000001", "NoRepair": "dword:00000001",
                        "EstimatedSize": entry.get("EstimatedSize"), **self.torrent_before},
                    # The per-user set-up for everybody else: a version, and a command for each user.
                    components[0]: {"@": "Quarrow", "IsInstalled": "dword:00000001",
                                    "Version": component["Version"], "StubPath": component.get("StubPath")},
                    **{(view, key): {"@": folder + "\\" + manifest}
                       for view in ("32", "64") for key, manifest in HOST_KEYS.items()},
                    **extra}
        self.assertEqual(expected, state)
        return component["StubPath"]

    def install(self, setup, folder=None, code=0):
        command, loader = [setup.path, "/S"], setup.loader
        if folder:
            # "/D=" takes the rest of the command line as it is, blanks and all: through cmd,
            # which passes it on unquoted.
            command, loader = ["cmd", "/c", nsrun.windows_path(setup.path), "/S", *("/D=" + folder).split(" ")], WINE64
        self.assertEqual(code, self.wine(*command, loader=loader, timeout=180).returncode)

    def uninstall(self, setup, folder):
        """The quiet removal that the list of installed programs offers. The uninstaller runs
        from a copy of itself, so the test waits for its files to go."""
        command = self.snapshot()[(setup.view, UNINSTALL)]["QuietUninstallString"]
        program, switch = re.match(r'^"([^"]+)" (/S)$', command).groups()
        self.assertEqual(0, self.wine(program, switch, loader=setup.loader).returncode)
        self.until(lambda: not os.path.exists(os.path.join(self.unix(folder), "Uninstall.exe")), 60)
        time.sleep(1)
        self.assertFalse(os.path.exists(os.path.join(self.drive, MENU)))

    def remember(self, folder):
        """The user remembers a server and has Quarrow start with Windows (from an older folder,
        which an upgrade corrects); returns the compared keys as they then are."""
        for key, values in {**REMEMBERED, RUN: {"Quarrow": r"C:\old\Quarrow.exe"}}.items():
            for name, data in values.items():
                self.wine("reg", "add", key, "/v", name, "/d", data, "/f")
        settings = {("64", k): v for k, v in REMEMBERED.items()}
        settings[("64", RUN)] = {**self.before.get(("64", RUN), {}), "Quarrow": '"%s\\Quarrow.exe"' % folder}
        return settings

    def fresh_pc(self, torrent):
        """A PC that never had Quarrow (not even the settings key), on which torrent files open
        with `torrent` (None: with nothing)."""
        self.wine("reg", "delete", r"HKCU\SOFTWARE\Storage Server", "/f")
        self.wine("reg", "delete", r"HKCR\.torrent", "/f")
        if torrent:
            self.wine("reg", "add", r"HKCR\.torrent", "/ve", "/d", torrent, "/f")
        self.torrent_before = {"TorrentBefore": torrent} if torrent else {}
        self.before = self.snapshot()
        self.assertFalse(any(k in self.before for k in classes(SETUP32.folder) if k[1] != CR + ".torrent"))

    def lifecycle(self, setup):
        """Install, the per-user command, an upgrade refused and one done over a running Quarrow,
        and the uninstall that leaves the PC as it was, torrent association included."""
        self.fresh_pc(OTHER_TORRENT)
        self.install(setup)
        stub = self.check_installed(setup, setup.folder, {})
        # Another user, who has neither the settings key nor the menu entry yet, logs on.
        self.wine("reg", "delete", r"HKCU\SOFTWARE\Storage Server", "/f")
        self.wine("reg", "delete", MENUEXT, "/f")
        self.wine(*windows_argv(stub))
        # Wine's reg gives a key it creates an empty default value, which Windows' does not.
        if self.snapshot().get(("64", SETTINGS)) == {"@": ""}:
            self.wine("reg", "delete", SETTINGS, "/ve", "/f")
        self.check_installed(setup, setup.folder, {})

        settings = self.remember(setup.folder)
        # Quarrow starts from the program folder while the server is still off: its message is
        # up, and Setup, silent, gives up rather than replace files under it. Past the message
        # it asks for another server; cancelling that ends it.
        quarrow = self.start_quarrow(setup, setup.folder)
        message = self.desk.find("Connect error!", 30000)
        self.assertTrue(message)
        self.install(setup, code=2)
        self.assertIsNone(quarrow.poll())
        self.desk.click(message, "OK")
        self.desk.click(self.desk.find("Cancel", 30000), "Cancel")
        self.assertIsNotNone(quarrow.wait(30))

        # With the server on, Quarrow reads its status and waits for the user; the upgrade asks
        # it to exit (its "Exit" command) before it replaces anything.
        self.net.start_standin()
        quarrow = self.start_quarrow(setup, setup.folder)
        main = self.desk.find("Refresh", 30000)
        self.until(lambda: "Quarrow.asp" in self.requests() and self.desk.state(main) == (1, 1))
        self.install(setup)
        self.assertIsNotNone(quarrow.wait(30))
        self.check_installed(setup, setup.folder, settings)

        self.uninstall(setup, setup.folder)
        self.assertFalse(os.path.exists(self.unix(setup.folder)))
        self.assertEqual(self.before, self.snapshot())

    def user_folder(self, setup):
        """Setup's folder holds files of the user's: installing, upgrading and removing leave
        them alone. A folder of the user's outside the program folders is refused untouched."""
        self.fresh_pc(None)
        mine = {os.path.join("image", "keep.png"): b"\x89PNG mine", "notes.txt": b"my notes"}
        for folder in (r"C:\Tools", setup.folder.rsplit("\\", 1)[0] + r"\Tools"):
            for name, data in mine.items():
                os.makedirs(os.path.dirname(os.path.join(self.unix(folder), name)), exist_ok=True)
                with open(os.path.join(self.unix(folder), name), "wb") as f:
                    f.write(data)
        self.install(setup, r"C:\Tools", code=3)
        self.assertEqual(sorted(mine), sorted(self.found(r"C:\Tools")))
        self.assertEqual(self.before, self.snapshot())
        self.install(setup, folder)
        self.check_installed(setup, folder, {}, mine)
        self.install(setup)  # the upgrade finds the folder by itself
        self.check_installed(setup, folder, {}, mine)
        self.uninstall(setup, folder)
        for name, data in mine.items():
            with open(os.path.join(self.unix(folder), name), "rb") as f:
                self.assertEqual(data, f.read(), name)
        self.assertEqual(sorted(mine), sorted(self.found(folder)))
        self.assertEqual(self.before, self.snapshot())

    def test_x86_64(self):
        self.start_network(SETUP64)
        self.lifecycle(SETUP64)
        self.user_folder(SETUP64)

    def test_i686(self):
        if not nsrun.can_run_32bit():
            self.skipTest(nsrun.no32_reason() + ": Setup.exe (i686) was not tried")
        self.start_network(SETUP32, SETUP64)
        self.lifecycle(SETUP32)
        # The 64-bit Setup over an i686 installation: one installation remains, in the 64-bit
        # program folder, with the user's settings; the old folder and its entry are gone.
        self.fresh_pc(OTHER_TORRENT)
        self.install(SETUP32)
        settings = self.remember(SETUP64.folder)
        self.install(SETUP64)
        self.assertFalse(os.path.exists(self.unix(SETUP32.folder)))
        self.check_installed(SETUP64, SETUP64.folder, settings)


if __name__ == "__main__":
    nsrun.unittest_main()

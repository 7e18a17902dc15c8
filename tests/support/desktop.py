"""Windows programs on the PC side of a test network, and the UI driver
(tests/harness/uidriver.cpp) that looks at their windows and works them as a
user would. Controls are named by their resource IDs (support.ids); "0" is
the window itself."""
import os
import subprocess
import tempfile
import time
import unittest

from . import SETTINGS, UIDRIVER, WINE64
from .nsrun import NAS_ADDR, WINE_RUN, TestNetwork
from .screen import screenshot
from .standinlog import StandInLog
from .wait import until

# Windows' own numbers that tests send.
IDOK, IDCANCEL = 1, 2
WM_CLOSE, WM_KEYDOWN, WM_COMMAND, WM_DROPFILES, WM_LBUTTONDBLCLK, WM_USER = 0x10, 0x100, 0x111, 0x233, 0x203, 0x400
VK_F5 = 0x74
SB_PAGEDOWN = 3


class Desktop:
    """Starts and drives Windows programs in namespace `ns` of a TestNetwork (its
    pc namespace unless told), with `env` added to the network's environment."""

    def __init__(self, net, ns=None, env=None):
        self.net = net
        self.ns = ns or net.pc
        self.extra_env = dict(env or {})
        self.procs = []

    @property
    def env(self):
        return dict(self.net.pc_env(), **self.extra_env)

    def _argv(self, exe, args):
        return ["ip", "netns", "exec", self.ns, *([WINE_RUN] if exe.lower().endswith(".exe") else []), exe, *args]

    def start(self, exe, *args, env=None, output=None):
        """Starts `exe` with `args`; `env` adds to the desktop's environment (LC_ALL, say);
        its output goes to the open file `output`, or nowhere."""
        out = output or subprocess.DEVNULL
        proc = subprocess.Popen(self._argv(exe, args), env=dict(self.env, **(env or {})), stdin=subprocess.DEVNULL,
                                stdout=out, stderr=out)
        self.procs.append(proc)
        return proc

    def run(self, exe, *args, timeout=60, text=True):
        """Runs `exe` to its end: the CompletedProcess, with its output in stdout."""
        # Output through a file, not a pipe: a Wine service process that this
        # program happens to start (the desktop, when no other program runs)
        # inherits the handles and would keep a pipe open long after the end.
        with tempfile.TemporaryFile() as out:
            r = subprocess.run(self._argv(exe, args), env=self.env, timeout=timeout, stdin=subprocess.DEVNULL,
                               stdout=out, stderr=subprocess.DEVNULL)
            out.seek(0)
            data = out.read()
        r.stdout = data.decode("utf-8", "replace") if text else data
        return r

    # --- the UI driver -----------------------------------------------------
    def ui(self, verb, *args, timeout=30):
        """One verb of the UI driver: (exit code, output)."""
        r = self.run(UIDRIVER, verb, *(str(a) for a in args), timeout=timeout, text=False)
        return r.returncode, r.stdout.decode("cp1252", "replace").replace("\r", "")

    def out(self, verb, *args, **kw):
        """The output of one verb of the UI driver, without its last line end."""
        return self.ui(verb, *args, **kw)[1].rstrip("\n")

    def find(self, text, timeout_ms=20000):
        """Handle of the visible top-level window one of whose children shows `text`, or None."""
        try:
            code, out = self.ui("find", text, timeout_ms, timeout=timeout_ms / 1000 + 30)
        except subprocess.TimeoutExpired:
            return None  # a window that was being made or destroyed did not answer
        return out.strip() if code == 0 else None

    def texts(self, hwnd):
        return self.out("texts", hwnd).splitlines()

    def click(self, hwnd, button):
        """Clicks the child of `hwnd` that shows `button`."""
        return self.ui("click", hwnd, button)[0] == 0

    def press(self, hwnd, control):
        """Clicks control `control` of `hwnd`, by its ID."""
        return self.ui("press", hwnd, control)[0] == 0

    def get(self, hwnd, control):
        return self.out("get", hwnd, control)

    def set(self, hwnd, control, text):
        return self.ui("set", hwnd, control, text)[0] == 0

    def post(self, hwnd, message, wparam=0, lparam=0):
        return self.ui("post", hwnd, message, wparam, lparam)[0] == 0

    def visible(self, hwnd, control=0):
        return self.out("visible", hwnd, control) == "1"

    def state(self, hwnd, control=0):
        """(enabled, visible) of the control, each 1 or 0."""
        return tuple(int(v) for v in self.out("state", hwnd, control).split())

    def tree(self, hwnd, control):
        """A tree view's items, one a line: two spaces a level, the text, "|" and 1 or 0 for
        its expand button."""
        return self.out("tree", hwnd, control).splitlines()

    def items(self, hwnd):
        """{id: (visible, enabled, text)} of a window's own controls."""
        out = {}
        for line in self.out("items", hwnd).splitlines():
            parts = line.split("\t", 3)
            if len(parts) == 4:
                out[int(parts[0])] = (parts[1] == "1", parts[2] == "1", parts[3])
        return out

    def answer(self, text, button="OK", timeout_ms=20000):
        """Finds a message box by its text and presses `button`; its handle once it has gone,
        or None when there was no such box."""
        box = self.find(text, timeout_ms)
        if box and self.click(box, button):
            until(lambda: not self.visible(box), 10)
        return box

    def shot(self, hwnd, name, folder=None):
        """A picture of the window, when pictures are asked for (support.screen)."""
        folder = folder or os.environ.get("QUARROW_SHOTS")
        if not folder:
            return
        time.sleep(0.5)  # let it paint
        screenshot(name, self.out("rect", hwnd).split(), folder)

    # --- the registry of the network's prefix -------------------------------
    def reg_query(self, key):
        """`reg query KEY /s` in the network's prefix, as a list of stripped lines (empty if absent)."""
        # A missing key and a passing failure of Wine's reg look alike: ask
        # again before taking the key as absent.
        for attempt in range(3):
            r = self.run(WINE64, "reg", "query", key, "/s")
            if r.returncode == 0:
                break
            time.sleep(0.3)
        else:
            return []
        return [line.strip() for line in r.stdout.replace("\r", "").splitlines() if line.strip()]

    def reg_add(self, key, value, data):
        # Wine's reg now and then fails while the prefix's services are still
        # starting; a second try finds them up.
        for attempt in range(3):
            r = self.run(WINE64, "reg", "add", key, "/v", value, "/d", data, "/f")
            if r.returncode == 0:
                return
            time.sleep(1)
        raise RuntimeError(f"reg add {key} {value} failed ({r.returncode}): {r.stdout.strip()}")

    def settings(self):
        return self.reg_query(SETTINGS)

    def remember_server(self, address, display_name, user=None, password=None):
        """Quarrow's remembered server, and the remembered login to it when given."""
        self.reg_add(SETTINGS, "DefaultServer", address)
        self.reg_add(SETTINGS, "DefaultServerDisplayName", display_name)
        for value, data in (("User", user), ("Password", password)):
            if data is not None:
                self.reg_add(SETTINGS + "\\" + address, value, data)

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()


def layout_faults(geometry):
    """What is wrong with a window's layout, from the lines of `uidriver
    geometry`: visible controls reaching out of the client area or
    overlapping one another (an empty list when nothing is)."""
    width, height = (int(v) for v in geometry[0].split()[1:3])
    boxes = [tuple(map(int, line.split())) for line in geometry[1:] if line.strip()]
    faults = [f"{box[0]} outside the client area {width}x{height}: {box[1:]}" for box in boxes
              if box[1] < 0 or box[2] < 0 or box[3] > width or box[4] > height]
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            if a[1] < b[3] and b[1] < a[3] and a[2] < b[4] and b[2] < a[4]:
                faults.append(f"{a[0]} {a[1:]} overlaps {b[0]} {b[1:]}")
    return faults


class NetworkCase(unittest.TestCase):
    """A test with its own test network, a Wine prefix whose wineserver lives in it, a
    desktop to drive programs on and the stand-in's log. serve() starts the stand-in that
    Quarrow remembers as its server."""

    def setUp(self):
        self.net = TestNetwork().__enter__()
        self.addCleanup(self.net.close)
        self.net.private_wine()
        self.desk = Desktop(self.net)
        self.addCleanup(self.desk.close)
        self.log = StandInLog(self.net)

    def serve(self):
        self.net.start_standin("--speed", "0", "--fail-rate", "0")
        self.desk.remember_server(NAS_ADDR, "NAS (%s)" % NAS_ADDR)

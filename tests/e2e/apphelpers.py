"""Helpers for tests that run Quarrow.exe itself under Wine in a private test network."""
import os
import subprocess
import tempfile
import time

import nsrun

BUILD = os.environ.get("QUARROW_BUILD_DIR", os.path.join(nsrun.ROOT, "build", "x86_64"))
QUARROW = os.path.join(BUILD, "app", "Quarrow.exe")
UIDRIVER = os.path.join(BUILD, "tests", "uidriver.exe")
WINE64 = "/usr/lib/wine/wine64"


class Desktop:
    """Starts and drives Windows programs on the PC side of a TestNetwork."""

    def __init__(self, net):
        self.net = net
        self.procs = []

    def start(self, exe, *args, env=None):
        """Starts `exe` with `args`; `env` adds to the network's environment (LC_ALL, say)."""
        proc = subprocess.Popen(["ip", "netns", "exec", self.net.pc, nsrun.WINE_RUN, exe, *args],
                                env=dict(self.net.pc_env(), **(env or {})), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(proc)
        return proc

    def run(self, exe, *args, timeout=60, text=True):
        # Output through a file, not a pipe: a Wine service process that this
        # program happens to start (the desktop, when no other program runs)
        # inherits the handles and would keep a pipe open long after the end.
        with tempfile.TemporaryFile() as out:
            r = self.net.run_pc([exe, *args], timeout=timeout, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.DEVNULL)
            out.seek(0)
            data = out.read()
        r.stdout = data.decode("utf-8", "replace") if text else data
        return r

    def find(self, text, timeout_ms=20000):
        """Handle of the visible top-level window one of whose children shows `text`, or None."""
        r = self.run(UIDRIVER, "find", text, str(timeout_ms), timeout=timeout_ms / 1000 + 30)
        return r.stdout.strip() if r.returncode == 0 else None

    def texts(self, hwnd):
        return self.run(UIDRIVER, "texts", hwnd).stdout.splitlines()

    def click(self, hwnd, button):
        return self.run(UIDRIVER, "click", hwnd, button).returncode == 0

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


def wait_exit(proc, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if proc.poll() is not None:
            return proc.returncode
        time.sleep(0.1)
    return None

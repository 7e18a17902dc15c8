"""Displays and pictures of them."""
import os
import subprocess

from .wait import until


def display():
    """The display the test's Windows programs draw on: the test's own, or the harness's."""
    if os.environ.get("DISPLAY"):
        return os.environ["DISPLAY"]
    from . import BUILD
    with open(os.path.join(BUILD, "harness", "display")) as f:
        return f.read().strip()


def screenshot(name, rect, folder=None):
    """Saves the part (left, top, width, height) of the screen as FOLDER/NAME.png, where
    FOLDER is `folder` or $QUARROW_SHOTS; does nothing when there is neither."""
    folder = folder or os.environ.get("QUARROW_SHOTS")
    if not folder:
        return
    os.makedirs(folder, exist_ok=True)
    left, top, width, height = (int(v) for v in rect)
    if not name.endswith(".png"):
        name += ".png"
    subprocess.run(["import", "-display", display(), "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
                    "+repage", os.path.join(folder, name)], check=True)


def own_display():
    """An Xvfb display for this test alone: (process, name). For tests that read
    colours off the screen, where a test running beside it on a shared display
    would cover the window."""
    for n in range(141, 200):
        lock, socket = f"/tmp/.X{n}-lock", f"/tmp/.X11-unix/X{n}"
        if os.path.exists(lock):
            if _server_alive(lock):
                continue
            # Left by a display that was killed: its socket would pass for ready.
            for stale in (lock, socket):
                try:
                    os.remove(stale)
                except FileNotFoundError:
                    pass
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if until(lambda: os.path.exists(socket), timeout=5) and proc.poll() is None:
            return proc, f":{n}"
        _end_display(proc)
    raise RuntimeError("no free display for Xvfb")


def _server_alive(lock):
    try:
        with open(lock) as f:
            os.kill(int(f.read().strip()), 0)
        return True
    except (ValueError, ProcessLookupError):
        return False
    except OSError:
        return True  # unreadable, or another user's: leave it alone


def _end_display(proc):
    """Terminated, not killed: Xvfb then removes its lock and socket itself."""
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def use_own_display(test):
    """Points DISPLAY at a display of the test's own until its clean-up, which
    ends that display and puts the old value back."""
    xvfb, name = own_display()
    saved = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = name

    def restore():
        _end_display(xvfb)
        if saved is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = saved
    test.addCleanup(restore)

"""What every test of the browser extension in a real browser needs: the
browser installed where it can be, the extension built, QuarrowHost.exe
registered as the browser's native messaging host, and Quarrow running
against the stand-in in a private test network."""
import json
import os
import shlex
import shutil
import subprocess
import unittest

from scripts import build_extension

from . import BUILD, QUARROW
from .desktop import NetworkCase
from .nsrun import NAS_ADDR
from .standinlog import DEFAULT_PATH, StandInLog, part
from .wait import until

HOST_NAME = "com.storageserver.quarrow"
HOST = os.path.join(BUILD, "app", "QuarrowHost.exe")


def ensure_installed(program, package):
    """The program's path, Debian's package installed first where it is missing; or None and
    the reason."""
    found = shutil.which(program)
    if found:
        return found, ""
    if os.geteuid() != 0 or not shutil.which("apt-get"):
        return None, "not installed, and apt-get cannot be run as root here"
    try:
        r = subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", package],
                           env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, timeout=1200)
    except (OSError, subprocess.TimeoutExpired) as e:
        return None, "apt-get install %s failed: %s" % (package, e)
    found = shutil.which(program)
    return (found, "") if found else (None, "apt-get install %s failed: %s" % (package, r.stderr.strip()[-300:]))


class HandOverCase(NetworkCase):
    """A test network with the stand-in and a Wine prefix of its own, the remembered server set,
    and the pieces every browser needs: the extension built, the host's manifest."""

    def setUp(self):
        super().setUp()
        self.serve()

    def added_links(self):
        return self.log.posts("goform/formNasDownloadAdd")

    def start_quarrow(self):
        self.desk.start(QUARROW)
        self.assertIsNotNone(self.desk.find("Refresh"), "no main window")
        self.assertTrue(until(self.log.requests, 30))

    def build_extension(self, browser):
        """The unpacked extension for "chromium" or "firefox", and its manifest."""
        folder = os.path.join(self.net.dir, "extension")
        build_extension.build(folder)
        with open(os.path.join(folder, browser, "manifest.json")) as f:
            return os.path.join(folder, browser), json.load(f)

    def install_host(self, shipped, folder):
        """Puts the shipped host manifest `shipped` into `folder` (where the browser looks for
        it) with a script in the Windows program's place: the script runs QuarrowHost.exe
        through Wine in this network's own prefix, inside its namespace (scripts/wine-run
        refuses anything else). Returns the manifest."""
        script = os.path.join(self.net.dir, "quarrow-host.sh")
        with open(script, "w") as f:
            f.write("#!/bin/sh\nexec env WINEPREFIX=%s QUARROW_BUILD_DIR=%s %s \"$@\"\n"
                    % (shlex.quote(self.net.wine_prefix), shlex.quote(BUILD),
                       shlex.join(self.net.command_in(self.net.pc, [HOST]))))
        os.chmod(script, 0o755)
        with open(os.path.join(BUILD, "app", shipped)) as f:
            manifest = json.load(f)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, HOST_NAME + ".json"), "w") as f:
            json.dump(dict(manifest, path=script), f)
        return manifest

    def assert_added(self, link, count):
        """The stand-in receives its `count`th link, `link`, from Quarrow, as a hand-over adds it."""
        self.assertTrue(until(lambda: len(self.added_links()) >= count, 60), "nothing reached the server")
        expected = (part("UrlEncoded", link) + part("UrlUtf8", link) + part("savePath", DEFAULT_PATH) +
                    part("user", "") + part("pwd", ""))
        self.assertTrue(self.added_links()[count - 1].startswith(expected), self.added_links()[count - 1][:300])

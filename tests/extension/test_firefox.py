"""The browser extension in Debian's Firefox ESR, headless, inside the test network: the
extension installed as a temporary add-on over Marionette, QuarrowHost.exe registered for it
(through Wine, in the network's own prefix). A right click on a link of a page served in
windows-1252 opens Firefox's own context menu, whose "Download with Quarrow" entry is chosen
there; the link, and then the page's own address, arrive at the stand-in server through the
running Quarrow.

Firefox is installed (apt-get) where it is missing; where that cannot be done the test is
skipped with the reason. Everything that would talk to the Internet is switched off, and the
network namespace it runs in reaches nothing but the stand-in anyway."""
import ctypes
import json
import os
import socket
import subprocess
import sys
import threading
import time
import unittest

from tests.support.browsers import HOST_NAME, HandOverCase, ensure_installed
from tests.support.wait import until

MARIONETTE_PORT = 2828
PAGE_PORT = 8000
PREFS = {
    "marionette.port": MARIONETTE_PORT,
    "app.update.disabledForTesting": True,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.enabled": False,
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "extensions.update.enabled": False,
}
MENU_TITLE = "Download with Quarrow"


def connect_in(ns, port, timeout=60):
    """A connection to 127.0.0.1:port inside network namespace `ns`: made on a thread of its own
    that joins the namespace (a socket stays in the namespace it was made in)."""
    libc = ctypes.CDLL(None, use_errno=True)
    out = {}

    def work():
        fd = os.open("/var/run/netns/" + ns, os.O_RDONLY)
        try:
            if libc.setns(fd, 0x40000000) != 0:  # CLONE_NEWNET
                out["error"] = OSError(ctypes.get_errno(), "setns")
                return
        finally:
            os.close(fd)
        deadline = time.time() + timeout
        while "sock" not in out:
            try:
                out["sock"] = socket.create_connection(("127.0.0.1", port), timeout=5)
            except OSError as e:
                if time.time() > deadline:
                    out["error"] = e
                    return
                time.sleep(0.5)

    worker = threading.Thread(target=work)
    worker.start()
    worker.join()
    if "error" in out:
        raise out["error"]
    return out["sock"]


class Marionette:
    """Firefox's remote control: each message is its length in decimal, ":" and a JSON array."""

    def __init__(self, sock):
        self.sock = sock
        self.sock.settimeout(60)
        self.buffer = b""
        self.last = 0
        self._read()  # the greeting

    def _read(self):
        while b":" not in self.buffer:
            self._receive()
        length, rest = self.buffer.split(b":", 1)
        self.buffer = rest
        while len(self.buffer) < int(length):
            self._receive()
        message, self.buffer = self.buffer[:int(length)], self.buffer[int(length):]
        return json.loads(message)

    def _receive(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise RuntimeError("Firefox closed its Marionette connection")
        self.buffer += chunk

    def call(self, command, params=None):
        self.last += 1
        data = json.dumps([0, self.last, command, params or {}]).encode()
        self.sock.sendall(str(len(data)).encode() + b":" + data)
        while True:
            kind, number, error, result = self._read()
            if kind == 1 and number == self.last:
                if error:
                    raise RuntimeError("%s: %s" % (command, error.get("message", error)))
                return result

    def script(self, text, *args):
        return self.call("WebDriver:ExecuteScript", {"script": text, "args": list(args)})["value"]


class FirefoxTests(HandOverCase):
    @classmethod
    def setUpClass(cls):
        cls.firefox, reason = ensure_installed("firefox-esr", "firefox-esr")
        if not cls.firefox:
            raise unittest.SkipTest("firefox is not available: " + reason)
        version = subprocess.run([cls.firefox, "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True).stdout.strip()
        print("browser:", version, file=sys.stderr)

    def start_firefox(self):
        home = os.path.join(self.net.dir, "home")
        profile = os.path.join(self.net.dir, "profile")
        unpacked, extension = self.build_extension("firefox")
        manifest = self.install_host(HOST_NAME + ".firefox.json",
                                     os.path.join(home, ".mozilla", "native-messaging-hosts"))
        self.assertEqual([extension["browser_specific_settings"]["gecko"]["id"]], manifest["allowed_extensions"])
        os.makedirs(profile)
        with open(os.path.join(profile, "user.js"), "w") as f:
            f.writelines("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v)) for k, v in PREFS.items())

        env = dict(self.net.pc_env(), HOME=home, MOZ_HEADLESS="1")
        firefox = subprocess.Popen(["ip", "netns", "exec", self.net.pc, self.firefox, "--headless", "--marionette",
                                    "-remote-allow-system-access", "--no-remote", "--profile", profile],
                                   env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)

        def stop():
            firefox.terminate()
            try:
                firefox.wait(20)
            except subprocess.TimeoutExpired:
                firefox.kill()
                firefox.wait()
        self.addCleanup(stop)
        remote = Marionette(connect_in(self.net.pc, MARIONETTE_PORT))
        self.addCleanup(remote.sock.close)
        remote.call("WebDriver:NewSession", {"capabilities": {}})
        self.assertEqual(extension["browser_specific_settings"]["gecko"]["id"],
                         remote.call("Addon:Install", {"path": unpacked, "temporary": True})["value"])
        return remote

    def choose_from_context_menu(self, remote, selector):
        """Right-clicks the element and chooses the entry in the context menu that opens."""
        element = remote.call("WebDriver:FindElement", {"using": "css selector", "value": selector})["value"]
        remote.call("WebDriver:PerformActions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "origin": element, "x": 0, "y": 0},
                        {"type": "pointerDown", "button": 2}, {"type": "pointerUp", "button": 2}]}]})
        remote.call("WebDriver:ReleaseActions")
        remote.call("Marionette:SetContext", {"value": "chrome"})
        try:
            menu = "document.getElementById('contentAreaContextMenu')"
            self.assertTrue(until(lambda: remote.script("return %s.state;" % menu) == "open", 20), "no context menu")
            chosen = remote.script(
                "const menu = %s;"
                " const item = [...menu.querySelectorAll('menuitem')].find(i => !i.hidden && i.label === arguments[0]);"
                " if (!item) return false;"
                " menu.activateItem(item);"
                " return true;" % menu, MENU_TITLE)
            self.assertTrue(chosen, "no entry %r in the context menu" % MENU_TITLE)
        finally:
            remote.call("Marionette:SetContext", {"value": "content"})

    def test_context_menu_hands_links_to_quarrow(self):
        # A page in windows-1252 whose link holds characters outside ASCII, served inside the
        # test network.
        site = os.path.join(self.net.dir, "site")
        os.makedirs(site)
        with open(os.path.join(site, "page.html"), "wb") as f:
            f.write(b"<!doctype html><meta charset='windows-1252'><title>Downloads</title>"
                    b"<body style='height: 600px'><p><a id='link' href='http://h/d\xe9j\xe0 vu.bin'>the file</a>"
                    b"<p id='text'>some text</body>")
        self.net.start_program(self.net.pc, [sys.executable, "-u", "-m", "http.server", "--bind", "127.0.0.1",
                                             str(PAGE_PORT), "--directory", site], ready="Serving")
        self.start_quarrow()
        remote = self.start_firefox()
        page = "http://127.0.0.1:%d/page.html" % PAGE_PORT
        remote.call("WebDriver:Navigate", {"url": page})

        # The link as Firefox resolves it: its path in UTF-8 escapes, whatever the page's code.
        self.choose_from_context_menu(remote, "#link")
        self.assert_added(b"http://h/d%C3%A9j%C3%A0%20vu.bin", 1)
        # Outside the link: the page's own address.
        self.choose_from_context_menu(remote, "#text")
        self.assert_added(page.encode(), 2)


if __name__ == "__main__":
    unittest.main()

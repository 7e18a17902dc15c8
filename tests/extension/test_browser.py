"""The browser extension in a real browser: Debian's Chromium, headless, with the unpacked
extension and QuarrowHost.exe registered as its native messaging host. The host runs through
Wine inside a private test network, where Quarrow runs against the stand-in server. The
extension's context-menu action is triggered through the DevTools protocol (a headless browser
draws no menu to click), and the link is seen arriving at the stand-in through the running
Quarrow; a link that Quarrow cannot take ends in the browser's notification instead.

Chromium is installed (apt-get) where it is missing; where that cannot be done the test is
skipped with the reason. Chromium runs inside the test network too, with everything that
would talk to the Internet switched off."""
import base64
import fcntl
import hashlib
import json
import os
import select
import subprocess
import sys
import time
import unittest

from tests.support.browsers import HOST_NAME, HandOverCase, ensure_installed
from tests.support.wait import until


def extension_id(key):
    """Chromium's ID of an extension with this public key: SHA-256, 32 hex digits as a-p."""
    digest = hashlib.sha256(base64.b64decode(key)).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


class Browser:
    """Chromium with the DevTools protocol on a pipe: commands on its fd 3, answers on fd 4,
    each a JSON object ended by a NUL byte."""

    def __init__(self, argv, env):
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def place_pipes():
            # Above 10 first, so that neither end is overwritten by the other's move.
            high = [fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (to_browser_r, from_browser_w)]
            os.dup2(high[0], 3)
            os.dup2(high[1], 4)

        self.proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, pass_fds=(3, 4), preexec_fn=place_pipes)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._buffer = b""
        self._next = 0

    def call(self, method, params=None, session=None, timeout=30):
        self._next += 1
        message = {"id": self._next, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            while b"\0" in self._buffer:
                text, self._buffer = self._buffer.split(b"\0", 1)
                answer = json.loads(text)
                if answer.get("id") == self._next:
                    if "error" in answer:
                        raise RuntimeError("%s: %s" % (method, answer["error"]))
                    return answer["result"]
            left = deadline - time.time()
            if left <= 0 or not select.select([self._from_browser], [], [], left)[0]:
                raise TimeoutError(method)
            chunk = os.read(self._from_browser, 65536)
            if not chunk:
                raise RuntimeError("the browser closed its DevTools pipe")
            self._buffer += chunk

    def evaluate(self, session, expression, timeout=60):
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, session, timeout)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except (OSError, RuntimeError, TimeoutError):
            pass
        try:
            self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)


class BrowserTests(HandOverCase):
    @classmethod
    def setUpClass(cls):
        cls.chromium, reason = ensure_installed("chromium", "chromium")
        if not cls.chromium:
            raise unittest.SkipTest("chromium is not available: " + reason)
        version = subprocess.run([cls.chromium, "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True).stdout.strip()
        print("browser:", version, file=sys.stderr)

    def start_browser(self):
        """Chromium in the test network with the extension and the host; the browser and a
        DevTools session in the extension's service worker."""
        profile = os.path.join(self.net.dir, "profile")
        unpacked, extension = self.build_extension("chromium")
        ext_id = extension_id(extension["key"])
        manifest = self.install_host(HOST_NAME + ".json", os.path.join(profile, "NativeMessagingHosts"))
        self.assertEqual(["chrome-extension://%s/" % ext_id], manifest["allowed_origins"])
        env = dict(self.net.pc_env(), HOME=self.net.dir)
        argv = ["ip", "netns", "exec", self.net.pc, self.chromium, "--headless=new", "--no-sandbox",
                "--disable-gpu", "--disable-quic", "--no-first-run", "--no-default-browser-check",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--user-data-dir=" + profile, "--load-extension=" + unpacked,
                "--disable-features=DisableLoadExtensionCommandLineSwitch", "--remote-debugging-pipe",
                "about:blank"]
        browser = Browser(argv, env)
        self.addCleanup(browser.close)

        worker_url = "chrome-extension://%s/background.js" % ext_id
        def worker():
            targets = browser.call("Target.getTargets")["targetInfos"]
            return next((t for t in targets if t["type"] == "service_worker" and t["url"] == worker_url), None)
        target = until(worker, 60, 0.5)
        self.assertIsNotNone(target, "the extension's service worker did not start")
        session = browser.call("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True})["sessionId"]
        # The extension's APIs may come a moment after the worker itself, `chrome` too.
        menus = "typeof globalThis.chrome === 'object' ? typeof chrome.contextMenus : 'not yet'"
        self.assertTrue(until(lambda: browser.evaluate(session, menus) == "object", 30))
        return browser, session

    def test_context_menu_hands_links_to_quarrow(self):
        self.start_quarrow()
        browser, session = self.start_browser()

        # Both entries exist (updating an entry that does not exist fails), once made at install.
        self.assertTrue(until(lambda: browser.evaluate(
            session, "Promise.all([chrome.contextMenus.update('quarrow-link', {}),"
                     " chrome.contextMenus.update('quarrow-page', {})]).then(() => true, () => false)"), 20))

        # A tab with a page for the clicks to come from.
        browser.call("Target.createTarget", {"url": "data:text/html;charset=windows-1252,<a href='x'>x</a>"})
        tab = until(lambda: browser.evaluate(
            session, "chrome.tabs.query({}).then(t => (t.find(x => x.active) || t[0] || {}).id)"), 20)
        self.assertIsNotNone(tab)

        # A link as the browser reports it (absolute, escaped), then the page's own address.
        clicks = [("quarrow-link", {"linkUrl": "http://h/d%C3%A9j%C3%A0%20vu.bin", "frameId": 0}),
                  ("quarrow-page", {"pageUrl": "ftp://h/pub/page.iso"})]
        for number, (menu, info) in enumerate(clicks, 1):
            info = dict(info, menuItemId=menu)
            shown = browser.evaluate(session, "onMenuClicked(%s, {id: %d})" % (json.dumps(info), tab))
            self.assertEqual("", shown, menu)
            self.assert_added((info.get("linkUrl") or info["pageUrl"]).encode(), number)

        # A link that Quarrow cannot take: the host's reason comes back as a notification, and
        # nothing is started.
        shown = browser.evaluate(session, "onMenuClicked(%s, {id: %d})" % (json.dumps(
            {"menuItemId": "quarrow-link", "linkUrl": "javascript:alert(1)", "frameId": 0}), tab))
        self.assertIn("http:// or ftp://", shown)
        notes = browser.evaluate(session, "chrome.notifications.getAll().then(n => Object.keys(n).length)")
        self.assertEqual(1, notes)
        time.sleep(3)
        self.assertEqual(len(clicks), len(self.added_links()))


if __name__ == "__main__":
    unittest.main()

"""QuarrowHost.exe driven as a browser drives it: frames of a 32-bit length in native byte order
and UTF-8 JSON on its standard input, answers read back the same way from its standard output.
A recording program stands in for Quarrow.exe beside the host and writes down every command
line it is started with, so each case shows exactly what was started (or that nothing was).

Nothing here touches a network: the host only starts the recorder."""
import base64
import hashlib
import json
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest

from tests.support import BUILD, ROOT, WINE_RUN
from tests.support.brevlet import link_hex

STAGE = os.path.join(BUILD, "tests", "browserhost", "stage")
HOST = os.path.join(STAGE, "QuarrowHost.exe")
QUARROW = os.path.join(STAGE, "Quarrow.exe")  # the recorder
IN_JOB = os.path.join(STAGE, "in_job.exe")


def frame(body):
    if isinstance(body, str):
        body = body.encode("utf-8")
    return struct.pack("<I", len(body)) + body


def request(url, charset="windows-1252"):
    return frame(json.dumps({"url": url, "charset": charset}))


def replies(data):
    """The answers in the host's output, and whatever bytes follow the last whole one."""
    answers = []
    while len(data) >= 4:
        (length,) = struct.unpack("<I", data[:4])
        if len(data) < 4 + length:
            break
        answers.append(json.loads(data[4:4 + length].decode("utf-8")))
        data = data[4 + length:]
    return answers, data


class HostTest(unittest.TestCase):
    def setUp(self):
        self.record = tempfile.NamedTemporaryFile(prefix="host-record-", suffix=".txt", dir=STAGE, delete=False)
        self.record.close()
        os.unlink(self.record.name)
        self.addCleanup(lambda: os.path.exists(self.record.name) and os.unlink(self.record.name))

    def talk(self, data, command=(HOST, "chrome-extension://hcdkiihngpbdcnbjdclhekgbgkcbmlbf/"), starts=0):
        """Runs the host once on `data`; (exit code, answers, trailing bytes, started command lines
        in the order they were written). The started programs run on their own: their lines are
        awaited until there are `starts` of them, and a moment longer for any that should not come."""
        env = dict(os.environ, BREVLET_RECORD="Z:" + self.record.name.replace("/", "\\"), BREVLET_RECORD_JOB="1")
        # A hang is a failure: the timeout raises.
        r = subprocess.run([WINE_RUN, *command], input=data, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           env=env, timeout=60)
        answers, rest = replies(r.stdout)
        deadline = time.time() + 30
        while len(self.started()) < starts and time.time() < deadline:
            time.sleep(0.1)
        time.sleep(1)
        started = self.started()
        if os.path.exists(self.record.name):
            os.unlink(self.record.name)
        return r.returncode, answers, rest, started

    def started(self):
        if not os.path.exists(self.record.name):
            return []
        with open(self.record.name, encoding="ascii") as f:
            return f.read().splitlines()

    def test_good_links_start_quarrow_as_the_add_in_does(self):
        cases = [
            ("http://h/a.bin", "windows-1252"),
            ("FTP://h/pub/x.iso", "utf-8"),
            ("http://h/d\u00e9j\u00e0 vu %25.bin", "iso-8859-1"),
            ("http://h/\u4e2d\u6587/\U0001F600.zip", "gb2312"),  # a pair of surrogates stays a pair
            ("http://h/q?a=1&b=\"x\"", "shift_jis"),
            # The name is made one safe word, as the add-in makes it; an empty one stays empty.
            ("http://h/n.bin", "x /r \"y\""),
            ("http://h/e.bin", ""),
        ]
        data = b"".join(request(url, charset) for url, charset in cases)
        # Escapes, a missing "charset", members the host does not know, and blanks around them.
        data += frame(' { "url" : "http:\\/\\/h\\/\\u00e9\\ud83d\\ude00.bin" , "extra": [1, {"a": null}] } ')
        code, answers, rest, started = self.talk(data, starts=len(cases) + 1)
        self.assertEqual((0, b""), (code, rest))
        self.assertEqual([{"ok": True}] * (len(cases) + 1), answers)
        safe = {"x /r \"y\"": "x__r__y_"}
        expected = ["/l %s %s" % (link_hex(url), safe.get(charset, charset)) for url, charset in cases]
        expected.append("/l %s " % link_hex("http://h/\u00e9\U0001F600.bin"))
        # Each started program writes its own line: in whatever order they get to it.
        self.assertEqual(sorted(expected), sorted(started))

    def test_bad_messages_start_nothing_and_are_answered(self):
        good = request("http://h/a.bin")
        # (what the browser sends, the answer's error text, or None for no answer at all, exit code)
        cases = {
            "empty stream": (b"", None, 0),
            "half a length": (b"\x05\x00", "ended early", 1),
            "truncated body": (struct.pack("<I", 40) + b'{"url": "http://h/a.bin"}', "ended early", 1),
            "huge length": (struct.pack("<I", 0xFFFFFFF0) + b"{}", "larger than", 1),
            "just above the limit": (struct.pack("<I", 64 * 1024 + 1) + b" " * (64 * 1024 + 1), "larger than", 1),
        }
        for name, (data, error, exit_code) in cases.items():
            with self.subTest(name):
                code, answers, rest, started = self.talk(data)
                self.assertEqual((exit_code, [], b""), (code, started, rest))
                if error is None:
                    self.assertEqual([], answers)
                else:
                    self.assertEqual(1, len(answers))
                    self.assertFalse(answers[0]["ok"])
                    self.assertIn(error, answers[0]["error"])

        # Well-framed but wrong: each one is refused with a reason, and the next message is
        # still read, so one good link at the end goes through.
        refused = {
            "empty body": (frame(b""), "not a JSON object"),
            "not JSON": (frame(b"url=http://h/a.bin"), "not a JSON object"),
            "a JSON text, not an object": (frame('"http://h/a.bin"'), "not a JSON object"),
            "an array": (frame('["http://h/a.bin"]'), "not a JSON object"),
            "trailing bytes": (frame('{"url": "http://h/a.bin"} x'), "not a JSON object"),
            "two objects": (frame('{"url": "http://h/a.bin"}{}'), "not a JSON object"),
            "trailing comma": (frame('{"url": "http://h/a.bin",}'), "not a JSON object"),
            "single quotes": (frame("{'url': 'http://h/a.bin'}"), "not a JSON object"),
            "raw line break in text": (frame('{"url": "http://h/a\n.bin"}'), "not a JSON object"),
            "bad escape": (frame('{"url": "http://h/\\x41"}'), "not a JSON object"),
            "lone surrogate": (frame('{"url": "http://h/\\ud800.bin"}'), "not a JSON object"),
            "not UTF-8": (frame(b'{"url": "http://h/\xe9.bin"}'), "not a JSON object"),
            "overlong UTF-8": (frame(b'{"url": "http://h/\xc0\xaf.bin"}'), "not a JSON object"),
            "NUL byte": (frame(b'{"url": "http://h/a.bin"}\x00'), "not a JSON object"),
            "deep nesting": (frame('{"x": ' + "[" * 5000 + "]" * 5000 + ', "url": "http://h/a"}'),
                             "not a JSON object"),
            "leading zero": (frame('{"n": 01, "url": "http://h/a.bin"}'), "not a JSON object"),
            "name twice": (frame('{"url": "http://h/a.bin", "url": "javascript:alert(1)"}'), "not a JSON object"),
            "no link": (frame('{"charset": "utf-8"}'), "no link"),
            "link is a number": (frame('{"url": 42}'), "not text"),
            "link is null": (frame('{"url": null}'), "not text"),
            "link is an array": (frame('{"url": ["http://h/a.bin"]}'), "not text"),
            "link is an object": (frame('{"url": {"href": "http://h/a.bin"}}'), "not text"),
            "charset is a number": (frame('{"url": "http://h/a.bin", "charset": 65001}'), "character set"),
            "charset is true": (frame('{"url": "http://h/a.bin", "charset": true}'), "character set"),
            "javascript: link": (request("javascript:alert(document.cookie)"), "http:// or ftp://"),
            "file: link": (request("file:///C:/Windows/System32/calc.exe"), "http:// or ftp://"),
            "data: link": (request("data:text/html,<b>x</b>"), "http:// or ftp://"),
            "https: link": (request("https://h/a.bin"), "http:// or ftp://"),
            "relative link": (request("/a.bin"), "http:// or ftp://"),
            "empty link": (request(""), "http:// or ftp://"),
            "scheme look-alike": (request("http\uff1a//h/a.bin"), "http:// or ftp://"),
            "blank before the scheme": (request(" http://h/a.bin"), "http:// or ftp://"),
            "NUL in link": (frame('{"url": "http://h/a\\u0000 /r"}'), "control characters"),
            "line break in link": (frame('{"url": "http://h/a\\r\\n.bin"}'), "control characters"),
            # HEX takes four characters per UTF-16 unit; this cannot fit on a command line.
            "too long for the command line": (request("http://h/" + "a" * 9000), "too long"),
        }
        data = b"".join(message for message, _ in refused.values()) + good
        code, answers, rest, started = self.talk(data, starts=1)
        self.assertEqual((0, b""), (code, rest))
        self.assertEqual(len(refused) + 1, len(answers))
        for (name, (_, error)), answer in zip(refused.items(), answers):
            self.assertFalse(answer["ok"], name)
            self.assertIn(error, answer["error"], name)
        self.assertEqual({"ok": True}, answers[-1])
        self.assertEqual(["/l %s windows-1252" % link_hex("http://h/a.bin")], started)

    def test_quarrow_leaves_the_browsers_job(self):
        # A browser that runs the host in a job and ends the job with the conversation would
        # end a waiting hand-over, or the main window it started, along with it.
        code, answers, rest, started = self.talk(request("http://h/a.bin"), (IN_JOB, HOST, "quarrow@storageserver.com"),
                                                 starts=1)
        self.assertEqual((0, [{"ok": True}], b""), (code, answers, rest))
        self.assertEqual(["/l %s windows-1252" % link_hex("http://h/a.bin")], started)
        # What the recorder says of a program that does stay in the job.
        self.assertEqual((0, ["/l x (in a job)"]), self.talk(b"", (IN_JOB, QUARROW, "/l", "x"), starts=1)[0::3])

    def test_missing_quarrow_is_reported(self):
        lone = tempfile.mkdtemp(prefix="host-alone-", dir=STAGE)
        self.addCleanup(shutil.rmtree, lone, True)
        with open(HOST, "rb") as src, open(os.path.join(lone, "QuarrowHost.exe"), "wb") as dst:
            dst.write(src.read())
        r = subprocess.run([WINE_RUN, os.path.join(lone, "QuarrowHost.exe")], input=request("http://h/a.bin"),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
        answers, rest = replies(r.stdout)
        self.assertEqual((0, b""), (r.returncode, rest))
        self.assertEqual(1, len(answers))
        self.assertFalse(answers[0]["ok"])
        self.assertIn("Quarrow.exe was not found", answers[0]["error"])

    def test_manifests_allow_exactly_our_extension(self):
        with open(os.path.join(ROOT, "extension", "manifest.json")) as f:
            extension = json.load(f)
        with open(os.path.join(ROOT, "extension", "manifest.firefox.json")) as f:
            firefox = json.load(f)
        # The Chromium ID: the first 32 hexadecimal digits of the key's SHA-256, 0-f as a-p.
        digest = hashlib.sha256(base64.b64decode(extension["key"])).hexdigest()[:32]
        extension_id = "".join(chr(ord("a") + int(c, 16)) for c in digest)
        for name, allowed in (("com.storageserver.quarrow.json", {"allowed_origins": [
                                  "chrome-extension://%s/" % extension_id]}),
                              ("com.storageserver.quarrow.firefox.json", {"allowed_extensions": [
                                  firefox["browser_specific_settings"]["gecko"]["id"]]})):
            with self.subTest(name), open(os.path.join(STAGE, name)) as f:
                manifest = json.load(f)
                self.assertEqual("com.storageserver.quarrow", manifest["name"])
                self.assertEqual(("QuarrowHost.exe", "stdio"), (manifest["path"], manifest["type"]))
                self.assertTrue(os.path.isfile(os.path.join(STAGE, manifest["path"])))
                for key, value in allowed.items():
                    self.assertEqual(value, manifest[key])


if __name__ == "__main__":
    unittest.main()

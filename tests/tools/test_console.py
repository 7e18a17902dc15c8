"""quarrowctl against the stand-in server in a private network: what a script
sees (tables, messages, exit codes) and what reaches the server (bytes)."""
import base64
import json
import os
import re
import sys
import tempfile
import unittest

from standin import bencode
from tests.support import CTL as EXE, NAS_ADDR, WINE_RUN, TestNetwork, windows_path
from tests.support.mgmt import STANDIN as MGMT_STANDIN
from tests.support.standinlog import BOUNDARY, CLOSING, StandInLog, part

USER, PASSWORD = "admin", "s3cret"
# The console's ANSI code page under Wine with a C or en_US locale.
ANSI = "cp1252"

BT_HEADERS = ["#", "Item ID", "Name", "Size", "Progress", "Speed", "Status", "Priority"]
WEB_HEADERS = ["#", "File name", "Size", "Loaded", "Status", "Save path", "URL"]


# ---------------------------------------------------------------- helpers

def torrent_bytes(name, length):
    return bencode.encode({"announce": "http://tracker.example.org/announce",
                    "info": {"name": name, "length": length, "piece length": 262144,
                             "pieces": b"\x00" * 20 * ((length + 262143) // 262144)}})


def parse_table(lines, headers):
    """Rows of an aligned table as dicts, cut at the header's column starts."""
    header, starts, pos = lines[0], [], 0
    for name in headers:
        pos = header.index(name, pos)
        starts.append(pos)
    rows = []
    for line in lines[1:]:
        cells = [line[a:b].strip() for a, b in zip(starts, starts[1:] + [None])]
        rows.append(dict(zip(headers, cells)))
    return rows


def parse_status(text):
    lines = text.splitlines()
    status = {"bt_on": "BT service: on" in lines, "web_on": "Web/FTP service: on" in lines}
    assert ("BT service: off" in lines) != status["bt_on"], text
    for key, title, headers in (("bt", "BT jobs: ", BT_HEADERS), ("web", "Web/FTP jobs: ", WEB_HEADERS)):
        at = next(i for i, l in enumerate(lines) if l.startswith(title))
        count = int(lines[at][len(title):])
        status[key] = parse_table(lines[at + 1:at + 2 + count], headers) if count else []
        assert len(status[key]) == count, text
    return status


class ConsoleCase(unittest.TestCase):
    """One private network and stand-in per class; tests in a class keep to their own jobs."""
    STANDIN_ARGS = ()

    @classmethod
    def setUpClass(cls):
        os.environ["LC_ALL"] = "C.UTF-8"
        cls.net = TestNetwork().__enter__()
        try:
            cls.net.private_wine()
            cls.net.start_standin("--speed", "0", "--fail-rate", "0", "--trying-seconds", "0",
                                  "--user", USER, "--password", PASSWORD, *cls.STANDIN_ARGS)
        except Exception:
            cls.net.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.net.close()

    def ctl(self, *args, login=True, env=None, raw=False):
        argv = [EXE, *(["-u", USER, "-p", PASSWORD] if login else []), *args]
        if env is not None:
            argv = ["env", *env, WINE_RUN, *argv]
        r = self.net.run_pc(argv, capture_output=True, timeout=120)
        return r.returncode, r.stdout if raw else r.stdout.decode(ANSI), r.stderr.decode(ANSI)

    def ok(self, *args):
        code, out, err = self.ctl(*args)
        self.assertEqual((code, err), (0, ""), args)
        return out

    def fails(self, args, message, number, exit_code=1, **kw):
        code, out, err = self.ctl(*args, **kw)
        self.assertEqual(code, exit_code, (args, out, err))
        self.assertEqual(err, "quarrowctl: %s (%d)\n" % (message, number))
        self.assertEqual(out, "")

    def status(self):
        return parse_status(self.ok("status"))

    def requests(self):
        return StandInLog(self.net).requests()

    def last_raw(self, path):
        """The last request for `path` exactly as it arrived (from the dump files)."""
        seq = [r["seq"] for r in self.requests() if r["path"].lstrip("/") == path.lstrip("/")][-1]
        with open(os.path.join(self.net.dump_dir, "%06d.bin" % seq), "rb") as f:
            raw = f.read()
        head, _, body = raw.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        headers = {k.lower(): v.strip() for k, _, v in (l.partition(":") for l in lines[1:])}
        self.assertEqual(len(headers), len(lines) - 1, "a header travelled twice: %r" % head)
        self.assertEqual(int(headers["content-length"]), len(body))
        return lines[0], headers, body


# ---------------------------------------------------------------- BT jobs

class BtJobsTest(ConsoleCase):
    def write_torrent(self, file_name, name, length):
        path = os.path.join(self.net.dir, file_name)
        with open(path, "wb") as f:
            f.write(torrent_bytes(name, length))
        return path

    def bt_row(self, item_id):
        return next((r for r in self.status()["bt"] if r["Item ID"] == item_id), None)

    def test_torrent_from_file_through_its_whole_life(self):
        path = self.write_torrent("first show.torrent", "First Show S01", 5 * 1048576)
        self.ok("add-torrent", windows_path(path), "--save", "[HDD2]Video\\", "--priority", "low")
        rows = [r for r in self.status()["bt"] if r["Name"] == "First Show S01"]
        self.assertEqual(len(rows), 1)
        item = rows[0]["Item ID"]
        self.assertEqual((rows[0]["Size"], rows[0]["Priority"], rows[0]["Status"]), ("5.0 MB", "Low", "downloading"))

        # The upload: head, the file's bytes, tail; no zero byte after the closing delimiter.
        line, headers, body = self.last_raw("/goform/formAddBtItem")
        self.assertEqual(line, "POST /goform/formAddBtItem HTTP/1.0")
        self.assertEqual(headers["content-type"], "multipart/form-data; boundary=" + "/" * 17)
        caret = windows_path(path).replace(" ", "^20")
        with open(path, "rb") as f:
            expected = (part("btItemPriority", "-1") + part("torrentType", "1") + b"--" + BOUNDARY +
                        b"\r\nContent-Disposition: form-data; name=\"file\"; filename=\"\"\r\n"
                        b"Content-Type: application/octet-stream\r\n\r\n" + f.read() + b"\r\n" +
                        part("savePath", "[HDD2]Video\\") + part("pcLocationEncoded", caret) + CLOSING)
        self.assertEqual(body, expected)

        self.ok("pause", "bt", item)
        self.assertEqual(self.bt_row(item)["Status"], "paused")
        self.assertEqual(self.last_raw("/goform/formBtListTable")[2], b"selectItem=%s&Pause=Pause\0" % item.encode())
        self.fails(["pause", "bt", item], "The item has been paused before!", 5011)
        self.assertEqual(self.bt_row(item)["Status"], "paused")

        self.ok("resume", "bt", item)
        self.assertIn(self.bt_row(item)["Status"], ("downloading", "waiting"))
        self.fails(["resume", "bt", item], "The item is been downloading!", 5013)

        self.ok("priority", item, "HIGH")
        self.assertEqual(self.bt_row(item)["Priority"], "High")
        self.assertEqual(self.last_raw("/goform/formBtListTable")[2], b"selectOrder=1&number=%s\0" % item.encode())
        self.ok("priority", item, "-1")
        self.assertEqual(self.bt_row(item)["Priority"], "Low")

        self.ok("remove", "bt", item)
        self.assertIsNone(self.bt_row(item))
        self.assertEqual(self.last_raw("/goform/formBtListTable")[2],
                         b"selectItem=%s&RemoveSel=Remove+Selected\0" % item.encode())
        self.fails(["remove", "bt", item], "There is no item in BT download list.", 5022)
        # Under a German Windows the message is German; what is sent stays the same.
        # (The Wine runner's shell may first warn that Linux lacks that locale.)
        code, out, err = self.ctl("remove", "bt", item, env=["LC_ALL=de_DE.UTF-8"])
        self.assertEqual((1, "", "quarrowctl: Die BT-Downloadliste ist leer. (5022)\n"),
                         (code, out, err.splitlines(True)[-1]))
        self.assertEqual(self.last_raw("/goform/formBtListTable")[2],
                         b"selectItem=%s&RemoveSel=Remove+Selected\0" % item.encode())

    def test_add_torrent_without_save_path_asks_the_server(self):
        path = self.write_torrent("defaults.torrent", "Defaults", 1000)
        before = len(self.requests())
        self.ok("add-torrent", windows_path(path))
        # WinINet first tries each request without credentials; count the answered ones.
        paths = [r["path"].lstrip("/") for r in self.requests()[before:]
                 if any(name.lower() == "authorization" for name, _ in r["headers"])]
        self.assertEqual(paths, ["Quarrow.asp", "goform/formSetDefaultPath", "goform/formAddBtItem"])
        body = self.last_raw("/goform/formAddBtItem")[2]
        self.assertIn(part("btItemPriority", "0") + part("torrentType", "1"), body)
        self.assertIn(part("savePath", "[HDD1]download\\"), body)
        self.fails(["add-torrent", windows_path(path)], "The torrent has been added already.", 5017)

    def test_missing_torrent_file_sends_nothing(self):
        before = len(self.requests())
        self.fails(["add-torrent", windows_path(os.path.join(self.net.dir, "nope.torrent"))],
                   "Can not open file!", 5505)
        self.assertNotIn("/goform/formAddBtItem", [r["path"] for r in self.requests()[before:]])

    def test_torrent_from_url(self):
        url = "http://torrents.example.org/pub/Night%20Sky.torrent"
        self.ok("add-torrent-url", url, "--priority", "high", "--save", "[HDD1]Movies\\")
        row = next(r for r in self.status()["bt"] if r["Name"] == "Night Sky")
        self.assertEqual(row["Priority"], "High")
        line, _, body = self.last_raw("/goform/formAddBtItem")
        # Sent with its exact length: no terminating zero.
        self.assertEqual(body, part("btItemPriority", "1") + part("torrentType", "0") +
                         part("savePath", "[HDD1]Movies\\") + part("UrlEncoded", url) + part("UrlUtf8", url) + CLOSING)
        self.fails(["add-torrent-url", "gopher://x.example/a.torrent"], "Please select a valid url torrent.", 5020)

    def test_bt_service_switch(self):
        try:
            self.ok("bt", "off")
            self.assertEqual(self.last_raw("/goform/formSetBtFlashState")[2], b"setBtState=0\0")
            self.assertFalse(self.status()["bt_on"])
            self.fails(["pause", "bt", "1001"], "BT Quarrow is disabled.", 5023)
        finally:
            self.ok("bt", "on")
        self.assertEqual(self.last_raw("/goform/formSetBtFlashState")[2], b"setBtState=1\0")
        self.assertTrue(self.status()["bt_on"])


# ---------------------------------------------------------------- Web/FTP jobs

class WebJobsTest(ConsoleCase):
    # A name with a space, a percent sign and a letter outside ASCII.
    NAME = "caf\u00e9 a%b.bin"
    URL = "http://files.example.com/dl/caf\u00e9%20a%25b.bin"
    URL_UTF8 = "http://files.example.com/dl/caf%C3%A9%20a%25b.bin"

    def web_row(self, name):
        return next((r for r in self.status()["web"] if r["File name"] == name), None)

    def test_link_through_its_whole_life(self):
        self.ok("add-url", self.URL, "--save", "[HDD1]download\\", "--user", "ftp", "--password", "pw")
        _, headers, body = self.last_raw("goform/formNasDownloadAdd")
        self.assertEqual(body, part("UrlEncoded", self.URL_UTF8) + part("UrlUtf8", self.URL_UTF8) +
                         part("savePath", "[HDD1]download\\") + part("user", "ftp") + part("pwd", "pw") +
                         CLOSING + b"\0")
        self.assertEqual(headers["content-length"], str(len(body)))
        row = self.web_row(self.NAME)
        self.assertEqual((row["Save path"], row["URL"]), ("[HDD1]download\\", "http://files.example.com/dl/" + self.NAME))
        self.assertIn(row["Status"], ("Downloading", "Waiting"))

        self.ok("pause", "web", "[HDD1]download\\", self.NAME)
        self.assertEqual(self.web_row(self.NAME)["Status"], "Paused")
        key = b"[USB5]download/caf%C3%A9%2520a%2525b.bin"
        self.assertEqual(self.last_raw("goform/formNasDownloadTable")[2],
                         part("selectItem", key) + part("Pause", "Pause") + CLOSING + b"\0")
        self.fails(["pause", "web", "[HDD1]download\\", self.NAME], "The item has been paused before!", 5011)

        self.ok("resume", "web", "[HDD1]download\\", self.NAME)
        self.assertIn(self.web_row(self.NAME)["Status"], ("Downloading", "Waiting"))
        self.assertEqual(self.last_raw("goform/formNasDownloadTable")[2],
                         part("selectItem", key) + part("Resume", "Resume") + CLOSING + b"\0")

        self.fails(["add-url", self.URL, "--save", "[HDD1]download\\"], "Download file name overlap.", 5006)
        # The key is the save path and the name exactly: a near miss names no job.
        self.fails(["remove", "web", "[HDD1]download", self.NAME], "There is no item in BT download list.", 5022)
        self.ok("remove", "web", "[HDD1]download\\", self.NAME)
        self.assertIsNone(self.web_row(self.NAME))
        self.assertEqual(self.last_raw("goform/formNasDownloadTable")[2],
                         part("selectItem", key) + part("delSel", "Remove Selected") + CLOSING + b"\0")

    def test_chosen_character_set_and_default_path(self):
        self.ok("add-url", "http://files.example.com/dl/r\u00e9sum\u00e9.txt", "--charset", "windows-1252")
        body = self.last_raw("goform/formNasDownloadAdd")[2]
        # One byte in the chosen code page stays one byte; UTF-8 gets escapes.
        self.assertIn(part("UrlEncoded", "http://files.example.com/dl/r\u00e9sum\u00e9.txt"), body)
        self.assertIn(part("UrlUtf8", "http://files.example.com/dl/r%C3%A9sum%C3%A9.txt"), body)
        self.assertIn(part("savePath", "[HDD1]download\\") + part("user", "") + part("pwd", ""), body)
        self.assertEqual(self.web_row("r\u00e9sum\u00e9.txt")["Save path"], "[HDD1]download\\")
        # The Default rule: path in UTF-8, query in the ANSI code page.
        self.ok("add-url", "http://files.example.com/get/\u00e9t\u00e9.zip?q=\u00e9", "--charset", "Default")
        body = self.last_raw("goform/formNasDownloadAdd")[2]
        self.assertIn(part("UrlEncoded", "http://files.example.com/get/%C3%A9t%C3%A9.zip?q=\u00e9"), body)

    def test_web_service_switch(self):
        try:
            self.ok("web", "off")
            _, headers, body = self.last_raw("/goform/formDownFlashState")
            self.assertEqual((body, headers["content-length"]), (b"downSwitch=0\0", "13"))
            self.assertNotIn("content-type", headers)
            self.assertFalse(self.status()["web_on"])
        finally:
            self.ok("web", "ON")
        self.assertTrue(self.status()["web_on"])

    def test_hostile_job_name_is_cut_and_cleaned(self):
        # A C1 control (the 8-bit command introducer) and a name of 1200 letters.
        name = "\u009d" + "long" * 300 + ".bin"
        self.ok("add-url", "http://files.example.com/dl/%C2%9D" + "long" * 300 + ".bin", "--save", "[HDD1]download\\")
        raw = self.net.run_pc([EXE, "-u", USER, "-p", PASSWORD, "status"], capture_output=True, timeout=120).stdout
        self.assertNotIn(b"\x9d", raw)
        self.assertLessEqual(max(len(line) for line in raw.splitlines()), 7 * 102)
        def cells():
            return [r["File name"] for r in self.status()["web"] if r["File name"].startswith("long")]
        self.assertEqual(cells(), ["long" * 24 + "l..."])
        self.ok("remove", "web", "[HDD1]download\\", name)
        self.assertEqual(cells(), [])

    def test_invalid_link(self):
        self.fails(["add-url", "mailto:someone@example.com"], "Invalid URL address.", 5036)
        self.fails(["add-url", "http://x.example/a.bin", "--save", "[HDD4]x\\"], "The save path does not exist.", 5007)


# ---------------------------------------------------------------- paths, login, usage

class PathsAndLoginTest(ConsoleCase):
    def test_default_path(self):
        self.assertEqual(self.ok("get-path"), "[HDD1]download\\\n")
        self.ok("set-path", "[HDD2]Shared Files\\")
        self.assertEqual(self.last_raw("/goform/formSetDefaultPath")[2],
                         part("DefaultPath", "[HDD2]Shared Files\\") + CLOSING + b"\0")
        self.assertEqual(self.ok("get-path"), "[HDD2]Shared Files\\\n")
        self.fails(["set-path", "[HDD3]x\\"], "The save path does not exist.", 5007)
        self.ok("set-path", "[HDD1]download\\")

    def test_disks_and_folders(self):
        self.assertEqual(self.ok("disks"), "[HDD1]\n[HDD2]\n")
        self.assertEqual(self.ok("folders", "[HDD1]Movies\\"), "New\nClassics\n")
        self.assertEqual(self.ok("folders", "[HDD2]"), "backup\nVideo\nBooks\nShared Files\n")
        self.assertEqual(self.ok("folders", "[HDD1]Software\\"), "")
        self.assertEqual(self.last_raw("/goform/formNasOpenSubCatalog")[2],
                         part("prePath", "[HDD1]Software\\") + part("fileType", "folder") + CLOSING + b"\0")
        self.fails(["folders", "[HDD1]NoSuch\\"], "The save path does not exist.", 5007)

    def test_refused_login(self):
        before = len(self.requests())
        self.fails(["-u", USER, "-p", "wrong", "status"], "Not connected to the server.", 5501, login=False)
        self.fails(["status"], "Not connected to the server.", 5501, login=False)
        # Nothing but the probe was sent.
        self.assertEqual({r["path"] for r in self.requests()[before:]}, {"/Quarrow.asp"})

    def test_login_from_environment(self):
        code, out, err = self.ctl("get-path", login=False,
                                  env=["QUARROW_USER=" + USER, "QUARROW_PASSWORD=" + PASSWORD])
        self.assertEqual((code, out, err), (0, "[HDD1]download\\\n", ""))

    def test_server_answers(self):
        try:
            self.net.set_faults(json.dumps({"reply_code": "ERR_SYSTEM_BUSY", "paths": ["/goform/formSetBtFlashState"]}))
            self.fails(["bt", "on"], "System is busy now, Please test later.", 5004)
            self.net.set_faults(json.dumps({"no_marker": True, "paths": ["/goform/formSetBtFlashState"]}))
            self.fails(["bt", "on"], "Server error!", 5503)
        finally:
            self.net.set_faults("")
        # The PC's own address: nothing listens on port 80 there.
        self.fails(["-s", "10.77.0.10", "status"], "Connect error!", 5502)

    def test_usage_errors_send_nothing(self):
        before = len(self.requests())
        cases = [
            (["frobnicate"], 'unknown command "frobnicate"'),
            (["bt"], "bt: expected on or off"),
            (["web", "maybe"], 'web: expected on or off, not "maybe"'),
            (["priority", "1001", "urgent"], 'bad priority "urgent"'),
            (["priority", "1001"], "priority: expected ITEMID high|normal|low"),
            (["pause", "disk", "1"], 'pause: expected bt or web, not "disk"'),
            (["remove", "web", "[HDD1]download\\"], "remove: expected web SAVEPATH FILENAME"),
            (["add-torrent"], "add-torrent: expected FILE"),
            (["add-torrent", "a.torrent", "--speed", "1"], "add-torrent: unknown option --speed"),
            (["add-url", "http://x.example/a", "--save"], "add-url: --save needs a value"),
            (["add-url", "http://x.example/a", "--charset", "klingon"], 'unknown character set "klingon"'),
            (["status", "now"], "status: expected no arguments"),
            (["--bogus", "status"], "unknown option --bogus"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                code, out, err = self.ctl(*args)
                self.assertEqual(code, 2)
                self.assertEqual(out, "")
                self.assertTrue(err.startswith("quarrowctl: " + message), err)
                self.assertIn("usage: quarrowctl", err)
        # Under a German Windows the same mistake is told in German.
        code, out, err = self.ctl("web", "maybe", env=["LC_ALL=de_DE.UTF-8"])
        self.assertEqual((2, ""), (code, out))
        self.assertIn('quarrowctl: web: erwartet on oder off, nicht "maybe"\nAufruf: quarrowctl ', err)
        code, _, err = self.ctl("status", login=False, env=["QUARROW_TEST_SERVER="])
        self.assertEqual(code, 2)
        self.assertIn("no server", err)
        self.assertEqual(len(self.requests()), before)

    def test_character_set_the_system_lacks_sends_nothing(self):
        # The table lies beside the program: a copy of it with its own table.
        exe = os.path.join(self.net.dir, "quarrowctl.exe")
        with open(EXE, "rb") as src, open(exe, "wb") as dst:
            dst.write(src.read())
        with open(os.path.join(self.net.dir, "charset.csv"), "w") as f:
            f.write("Unicode (UTF-8),utf-8,65001\nNowhere,x-nowhere,12345\n")
        before = len(self.requests())
        r = self.net.run_pc([exe, "-u", USER, "-p", PASSWORD, "add-url", "http://x.example/a.bin", "--charset",
                             "x-nowhere"], capture_output=True, timeout=120)
        self.assertEqual(r.returncode, 2, r)
        self.assertTrue(r.stderr.decode(ANSI).startswith(
            'quarrowctl: character set "x-nowhere" (code page 12345) cannot be converted to on this system\n'), r)
        self.assertEqual(len(self.requests()), before)

    def test_discover_needs_no_login(self):
        before = len(self.requests())
        code, out, err = self.ctl("discover", "--wait", "200")
        # No management stand-in runs in this network: nobody answers.
        self.assertEqual(code, 1, (out, err))
        self.assertEqual(len(self.requests()), before)

    def test_measuring_options(self):
        before = len(self.requests())
        code, out, err = self.ctl("--repeat", "3", "--report-memory", "web", "on")
        self.assertEqual((code, err), (0, ""))
        lines = out.splitlines()
        self.assertEqual(len(lines), 4, out)
        self.assertTrue(all(re.fullmatch(r"time_us: \d+", l) for l in lines[:3]), out)
        self.assertRegex(lines[3], r"^memory: peak_working_set=[1-9]\d+ peak_pagefile=[1-9]\d+$")
        answered = [r["path"] for r in self.requests()[before:]
                    if any(name.lower() == "authorization" for name, _ in r["headers"])]
        self.assertEqual(answered, ["/Quarrow.asp"] + ["/goform/formDownFlashState"] * 3)

    def test_help(self):
        code, out, err = self.ctl("help", login=False)
        self.assertEqual((code, err), (0, ""))
        for command in ("status", "add-torrent-url", "folders", "discover"):
            self.assertIn("  " + command, out)
        self.assertIn("--json after status, get-path, disks, folders or discover", out)


# ---------------------------------------------------------------- JSON for scripts

def ansi(text):
    """A text after its trip through the PC's code page (1252), as the client keeps it:
    what the code page lacks becomes "?"; the five bytes Python leaves undefined map to C1 controls."""
    def one(c):
        try:
            c.encode(ANSI)
            return c
        except UnicodeEncodeError:
            return c if c in "\x81\x8d\x8f\x90\x9d" else "?"
    return "".join(one(c) for c in text)


class JsonTest(ConsoleCase):
    """Each document parsed with a real JSON parser and held against what the stand-in serves;
    exit codes and stderr as without --json."""
    # Quotes, a backslash, a tab, a C1 control, letters of the code page and one outside it.
    BT_NAME = 'say "hi" \\ a\tb \x9d caf\u00e9 \u4e2d'
    # Served in Latin-1 as raw bytes: a control character, and bytes that end in the lead
    # byte of a double-byte character (0xE9, 0xD6) when the PC's code page is 936.
    FOLDERS = ['say "hi" \x01 caf\u00e9', "x\u00d6"]

    @classmethod
    def setUpClass(cls):
        fd, tree = tempfile.mkstemp(suffix=".json")
        with os.fdopen(fd, "w") as f:
            json.dump({"[HDD1]": {"download": {}, "Odd": {n: {} for n in cls.FOLDERS}}, "[HDD2]": {}}, f)
        cls.STANDIN_ARGS = ("--demo", "--tree", tree, "--page-encoding", "latin-1")
        try:
            super().setUpClass()
        finally:
            os.unlink(tree)

    def served(self):
        """The stand-in's job model, read inside the test network."""
        script = ("import sys, urllib.request as u\n"
                  "r = u.Request('http://%s/standin/state.json', headers={'Authorization': 'Basic %s'})\n"
                  "sys.stdout.write(u.build_opener(u.ProxyHandler({})).open(r, timeout=30).read().decode())"
                  % (NAS_ADDR, base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()))
        return json.loads(self.net.run_pc([sys.executable, "-c", script], capture_output=True, check=True,
                                          timeout=60).stdout)

    def json_ctl(self, *args, env=None, login=True):
        """Runs the command with and without --json: the document (None when stdout is empty),
        after checking that exit code and stderr are the same both ways."""
        code, out, err = self.ctl(*args, "--json", env=env, login=login, raw=True)
        plain = self.ctl(*args, env=env, login=login)
        self.assertEqual((code, err), (plain[0], plain[2]), args)
        return code, (json.loads(out.decode("utf-8")) if out else None)

    def test_status(self):
        path = os.path.join(self.net.dir, "odd.torrent")
        with open(path, "wb") as f:
            f.write(torrent_bytes(self.BT_NAME, 3 * 1048576))
        self.ok("add-torrent", windows_path(path))
        # A demo job leaves "trying" on a timer: take a document between two equal models.
        for _ in range(3):
            before = self.served()
            code, doc = self.json_ctl("status")
            if self.served() == before:
                break
        self.assertEqual(code, 0)

        def texts(item):
            return {k: int(v) if k == "BTPriority" else ansi(v) for k, v in item.items()}
        want = {"version": before["version"],
                "BTEnable": bool(before["bt_enabled"]), "BTItemCount": len(before["bt"]),
                "BTItems": [texts(i) for i in before["bt"]],
                "WebFTPEnable": bool(before["web_enabled"]), "WebFTPItemCount": len(before["web"]),
                "WebFTPItems": [texts(i) for i in before["web"]]}
        self.assertEqual(doc, want)
        self.assertIn('say "hi" \\ a\tb \x9d caf\u00e9 ?', [i["BTName"] for i in doc["BTItems"]])
        self.assertGreater(doc["WebFTPItemCount"], 0)

        # A refused login: nothing on stdout, the message and exit code as without --json.
        self.assertEqual(self.json_ctl("-u", USER, "-p", "wrong", "status", login=False), (1, None))

    def test_paths_and_folders(self):
        served = self.served()
        self.assertEqual(self.json_ctl("get-path"), (0, {"DefaultPath": served["default_path"]}))
        self.assertEqual(self.json_ctl("disks"), (0, {"disks": served["disks"]}))
        self.assertEqual(self.json_ctl("folders", "[HDD1]"), (0, {"folders": ["download", "Odd"]}))
        self.assertEqual(self.json_ctl("folders", "[HDD1]download\\"), (0, {"folders": []}))
        self.assertEqual(self.json_ctl("folders", "[HDD1]Odd\\"), (0, {"folders": self.FOLDERS}))
        # Under a double-byte code page the same bytes end in a lead byte with nothing after it.
        self.assertEqual(self.json_ctl("folders", "[HDD1]Odd\\", env=["LC_ALL=zh_CN.UTF-8"]),
                         (0, {"folders": ['say "hi" \x01 caf\ufffd', "x\ufffd"]}))
        self.assertEqual(self.json_ctl("folders", "[HDD1]NoSuch\\"), (1, None))
        code, out, err = self.ctl("set-path", "[HDD1]download\\", "--json")
        self.assertEqual((code, out), (2, ""))
        self.assertIn("set-path: unknown option --json", err)

    def test_discover(self):
        name = b'NAS "1" \\ \x01\x9d\xe9'
        host = self.net.add_host("10.77.0.101", "00:11:22:33:44:55")
        server = self.net.start_program(host, [
            sys.executable, MGMT_STANDIN, "--mac", "00:11:22:33:44:55",
            "--address", "10.77.0.101", "--status", "1",
            "--scenario-json", json.dumps({"discovery": {"name_hex": name.hex()}})])
        try:
            found = self.json_ctl("discover", "--wait", "1500", login=False)
        finally:
            server.terminate()
            server.wait(5)
        self.assertEqual(found, (0, {"servers": [{"name": 'NAS "1" \\ \x01\x9d\u00e9', "address": "10.77.0.101",
                                                  "mac": "00:11:22:33:44:55", "status": "configured"}]}))
        # Nobody answers: exit status 1 as without --json, and an empty list.
        self.assertEqual(self.json_ctl("discover", "--wait", "300", login=False), (1, {"servers": []}))


if __name__ == "__main__":
    unittest.main()

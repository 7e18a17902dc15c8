import socket
import time
import unittest
import xml.etree.ElementTree as ET

from tests.standin.helpers import MARKER, Running, reply_code
from tests.standin.test_wire import xml_of_status


class Faults(unittest.TestCase):
    def setUp(self):
        self.s = Running(faults=True)

    def tearDown(self):
        self.s.stop()

    def switch_off(self):
        return self.s.form("/goform/formDownFlashState", "downSwitch=0")

    def test_no_file_or_empty_file_means_no_fault(self):
        self.assertEqual(self.s.code(self.switch_off()), "Success")
        open(self.s.faults_path, "w").close()
        self.assertEqual(self.s.code(self.s.request("GET", "/Quarrow.asp")), "Success")

    def test_status(self):
        self.s.set_faults({"status": 401})
        status, headers, page = self.s.request("GET", "/Quarrow.asp")
        self.assertEqual((status, reply_code(page)), (401, "Success"))
        self.assertIn("WWW-Authenticate", headers)
        self.s.set_faults({"status": 404, "reply_code": "ERR_NO_USB"})
        status, _, page = self.s.request("GET", "nasopenroot.asp")
        self.assertEqual((status, reply_code(page)), (404, "ERR_NO_USB"))

    def test_reply_code_answers_without_acting(self):
        self.s.set_faults({"reply_code": "ERR_SYSTEM_BUSY"})
        self.assertEqual(self.s.code(self.switch_off()), "ERR_SYSTEM_BUSY")
        self.assertTrue(self.s.model.web_enabled)
        _, _, page = self.s.request("GET", "/Quarrow.asp")
        self.assertEqual(reply_code(page), "ERR_SYSTEM_BUSY")
        ET.fromstring(xml_of_status(page)[1])

    def test_delay(self):
        self.s.set_faults({"delay": 0.4})
        start = time.monotonic()
        self.switch_off()
        self.assertGreaterEqual(time.monotonic() - start, 0.4)

    def test_marker_variants(self):
        self.s.set_faults({"no_marker": True})
        page = self.s.request("GET", "/Quarrow.asp")[2]
        self.assertNotIn(MARKER, page)
        self.assertTrue(page.endswith(b"</body></html>"))
        self.s.set_faults({"marker_cr": True})
        self.assertIn(MARKER + b"Success\r\n", self.switch_off()[2])
        self.s.set_faults({"marker_at_end": True})
        page = self.switch_off()[2]
        self.assertTrue(page.endswith(MARKER + b"Success"))
        self.assertEqual(page.count(MARKER), 1)

    def test_truncate(self):
        self.s.set_faults({"truncate": 10})
        _, headers, page = self.s.request("GET", "/Quarrow.asp")
        self.assertEqual(len(page), 10)
        self.assertGreater(int(headers["Content-Length"]), 10)

    def test_reset(self):
        self.s.set_faults({"reset": True})
        with self.assertRaises(ConnectionResetError):
            self.switch_off()
        self.assertEqual(len(self.s.log()), 1)     # the request was read and logged

    def test_big_body_keeps_status_page_usable(self):
        self.s.set_faults({"big_body": 1048576})
        _, headers, page = self.s.request("GET", "/Quarrow.asp")
        self.assertGreater(len(page), 1048576)
        self.assertEqual(int(headers["Content-Length"]), len(page))
        self.assertLess(page.index(MARKER), 200)
        self.assertEqual(reply_code(page), "Success")
        self.assertEqual(ET.fromstring(xml_of_status(page)[1]).tag, "Quarrow")

    def test_split_marker_across_chunk_boundary(self):
        self.s.set_faults({"split_marker_at": 1000})
        page = self.switch_off()[2]
        at = page.index(MARKER)
        self.assertTrue(at < 1000 < at + len(MARKER), at)
        self.assertEqual(reply_code(page), "Success")
        self.assertNotIn(MARKER, page[:1000])

    def test_paths_and_times(self):
        self.s.set_faults({"no_marker": True, "paths": ["/goform/formDownFlashState"], "times": 2})
        self.assertEqual(self.s.code(self.s.request("GET", "/Quarrow.asp")), "Success")
        self.assertIsNone(self.s.code(self.switch_off()))
        self.assertIsNone(self.s.code(self.s.form("goform/formDownFlashState", "downSwitch=1")))
        self.assertEqual(self.s.code(self.switch_off()), "Success")
        self.s.set_faults({"no_marker": True, "paths": ["/goform/formDownFlashState"], "times": 2})
        self.assertEqual(self.s.code(self.switch_off()), "Success")   # same content: spent
        self.s.set_faults({"no_marker": True, "times": 1, "id": 2})
        self.assertIsNone(self.s.code(self.switch_off()))

    def test_finish_and_fail_jobs_once_per_content(self):
        self.s.model.add_web("http://h/a.bin", "[HDD1]download\\")
        self.s.model.add_web("http://h/b.bin", "[HDD1]download\\")
        self.s.model.add_bt_url("http://h/c.torrent", "[HDD1]download\\", 0)

        def states():
            root = ET.fromstring(xml_of_status(self.s.request("GET", "/Quarrow.asp")[2])[1])
            return [e.text for e in root.iter() if e.tag in ("BTStatus", "WebFTPStatus")]

        self.assertEqual(["trying", "Downloading", "Downloading"], states())
        # Applied whatever "paths" says, and only once per content.
        self.s.set_faults({"finish": ["a.bin", "c"], "fail": "b.bin", "paths": ["nasopenroot.asp"]})
        self.assertEqual(["finished", "Finished", "Failed"], states())
        self.s.model.web_action("[USB5]download/b.bin", "resume")
        self.s.set_faults({"finish": ["a.bin", "c"], "fail": "b.bin", "paths": ["nasopenroot.asp"]})
        self.assertEqual(["finished", "Finished", "Downloading"], states())
        self.s.set_faults({"fail": [3, "nobody"], "id": 2})
        self.assertEqual(["finished", "Finished", "Downloading"], states())


class Cli(unittest.TestCase):
    def test_runs_logs_and_stops_on_sigterm(self):
        import os
        import subprocess
        import sys
        import tempfile
        root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        with tempfile.TemporaryDirectory() as d:
            proc = subprocess.Popen(
                [sys.executable, os.path.join(root, "standin", "nas_standin.py"), "--port", "0",
                 "--bind", "127.0.0.1", "--demo", "--user", "u", "--password", "p",
                 "--log", os.path.join(d, "log"), "--dump-dir", os.path.join(d, "dump")],
                stdout=subprocess.PIPE, text=True)
            try:
                line = proc.stdout.readline()
                self.assertRegex(line, r"^standin listening on 127\.0\.0\.1:\d+\n$")
                port = int(line.rsplit(":", 1)[1])
                with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
                    s.sendall(b"GET /Quarrow.asp HTTP/1.0\r\nAuthorization: Basic dTpw\r\n\r\n")
                    answer = s.makefile("rb").read()
                self.assertTrue(answer.startswith(b"HTTP/1.0 200 "))
                self.assertIn(b"<BTItemCount>", answer)
                proc.terminate()
                self.assertEqual(proc.wait(timeout=5), 0)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
                proc.stdout.close()
            self.assertEqual(os.listdir(os.path.join(d, "dump")), ["000001.bin"])

import base64
import hashlib
import os
import unittest
import xml.etree.ElementTree as ET

from standin import bencode
from standin.forms import FormError, parse_multipart
from tests.standin.helpers import Running, multipart_body, reply_code


def xml_of_status(page):
    """Cut the XML out of a status page exactly as the PC program does."""
    text = page.decode("utf-8")
    start = text.index("<body>") + len("<body>")
    cut = text[:text.rindex("<")]
    cut = cut[:cut.rindex("<")]
    return text[:start], cut[start:]


class AuthAndRouting(unittest.TestCase):
    def setUp(self):
        self.s = Running(user="admin", password="pa:ss")

    def tearDown(self):
        self.s.stop()

    def auth(self, user, password):
        token = base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
        return [("Authorization", "Basic " + token)]

    def test_credentials_are_required_and_checked(self):
        status, headers, page = self.s.request("GET", "/Quarrow.asp")
        self.assertEqual(status, 401)
        self.assertTrue(headers["WWW-Authenticate"].startswith('Basic realm="'))
        self.assertIsNotNone(reply_code(page))
        self.assertEqual(self.s.request("GET", "/Quarrow.asp",
                                        headers=self.auth("admin", "wrong"))[0], 401)
        status, _, page = self.s.request("GET", "/Quarrow.asp", headers=self.auth("admin", "pa:ss"))
        self.assertEqual((status, reply_code(page)), (200, "Success"))

    def test_both_path_forms_and_query_are_routed(self):
        auth = self.auth("admin", "pa:ss")
        for path in ("goform/formDownFlashState", "/goform/formDownFlashState?x=1"):
            status, _, page = self.s.form(path, "downSwitch=0", headers=auth)
            self.assertEqual((status, reply_code(page)), (200, "Success"), path)
        self.assertFalse(self.s.model.web_enabled)
        self.assertEqual(self.s.request("GET", "Quarrow.asp", headers=auth)[0], 200)
        status, _, page = self.s.request("GET", "/nosuch.asp", headers=auth)
        self.assertEqual(status, 404)
        self.assertIsNone(reply_code(page))


class Pages(unittest.TestCase):
    def setUp(self):
        self.s = Running()

    def tearDown(self):
        self.s.stop()

    def test_status_page_shape(self):
        self.s.model.add_web("http://h.example/a%20%3C%26%3E%C3%A9.bin", "[HDD1]download\\")
        self.s.model.add_bt_url("http://h.example/x.torrent", "[HDD2]", 1)
        status, headers, page = self.s.request("GET", "Quarrow.asp")
        self.assertTrue(page.endswith(b"</body></html>"))
        head, xml = xml_of_status(page)
        self.assertIn("QuarrowReturnValue:Success\n", head)
        self.assertTrue(xml.startswith("<Quarrow version="))
        root = ET.fromstring(xml)
        self.assertEqual(root.find("WebFTPDownload/WebFTPItem1/WebFTPFileName").text, "a <&>é.bin")
        self.assertEqual(root.find("BTDownload/BTItemCount").text, "1")
        item = root.find("BTDownload/BTItem1")
        self.assertEqual(sorted(c.tag for c in item), sorted(
            ["BTName", "BTContents", "BTRemainingTime", "BTTotalSize", "BTSchedule",
             "BTThroughput", "BTStatus", "BTPriority", "BTItemId"]))
        self.assertEqual((item.find("BTStatus").text, item.find("BTPriority").text), ("trying", "1"))

    def test_default_path_get_and_set(self):
        _, _, page = self.s.multipart("/goform/formSetDefaultPath", [("DefaultPath", "")])
        self.assertEqual(reply_code(page), "Success")
        text = page.decode()
        xml = text[text.index("<body>") + 6:text.rindex("<")]
        xml = xml[:xml.rindex("<")]
        self.assertEqual(ET.fromstring(xml).text, "[HDD1]download\\")
        for path, code in (("[HDD2]Books\\", "Success"), ("[RAID]x\\", "ERR_DIR_NOT_EXIST")):
            _, _, page = self.s.multipart("/goform/formSetDefaultPath", [("DefaultPath", path)])
            self.assertEqual(reply_code(page), code)
        self.assertEqual(self.s.model.default_path, "[HDD2]Books\\")

    def test_disks_and_folders(self):
        _, _, page = self.s.request("GET", "nasopenroot.asp")
        self.assertEqual(page.count(b'<input type="hidden"'), 2)
        self.assertIn(b'value="[HDD1]"', page)
        _, _, page = self.s.multipart("/goform/formNasOpenSubCatalog",
                                      [("prePath", "[HDD2]"), ("fileType", "folder")])
        self.assertIn(b'<div class="f"> Shared Files <img src="folder.gif"></div>', page)
        _, _, page = self.s.multipart("/goform/formNasOpenSubCatalog",
                                      [("prePath", "[HDD1]Movies\\New\\"), ("fileType", "folder")])
        self.assertEqual((reply_code(page), page.count(b"<div")), ("Success", 0))
        _, _, page = self.s.multipart("/goform/formNasOpenSubCatalog",
                                      [("prePath", "[HDD1]Nope\\"), ("fileType", "folder")])
        self.assertEqual(reply_code(page), "ERR_DIR_NOT_EXIST")

    def test_log_and_dump_hold_the_exact_bytes(self):
        body = multipart_body([("DefaultPath", "[HDD1]\u00e9\\")])
        raw = (b"POST /goform/formSetDefaultPath HTTP/1.0\r\nX-Odd:  two  spaces \r\n"
               b"Content-Type: multipart/form-data; boundary=/////////////////\r\n"
               b"Content-Length: %d\r\n\r\n" % len(body)) + body
        self.s.raw(raw)
        self.s.request("GET", "/Quarrow.asp?a=b")
        first, second = self.s.log()
        self.assertEqual(base64.b64decode(first["raw_b64"]), raw)
        self.assertEqual(base64.b64decode(first["body_b64"]), body)
        self.assertTrue(body.endswith(b"--\0"))
        self.assertEqual((first["seq"], first["method"], first["client"]), (1, "POST", "127.0.0.1"))
        self.assertIn(["X-Odd", "two  spaces"], first["headers"])
        self.assertEqual((second["seq"], second["path"]), (2, "/Quarrow.asp?a=b"))
        with open(os.path.join(self.s.dump_dir, "000001.bin"), "rb") as f:
            self.assertEqual(f.read(), raw)


class Multipart(unittest.TestCase):
    def test_trailing_nul_and_binary_file_part(self):
        blob = bytes(range(256)) + b"\r\n--//x\r\n\0"
        parts = parse_multipart(multipart_body([("a", "1"), ("file", blob), ("b", "")]))
        self.assertEqual([(p.name, p.filename, p.data) for p in parts],
                         [("a", None, b"1"), ("file", "", blob), ("b", None, b"")])
        self.assertEqual(len(parse_multipart(multipart_body([("a", "1")], nul=False))), 1)

    def test_garbage_after_closing_delimiter_is_refused(self):
        with self.assertRaises(FormError):
            parse_multipart(multipart_body([("a", "1")], nul=False) + b"junk")
        with self.assertRaises(FormError):
            parse_multipart(b"--/////////////////\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1")


class Bencode(unittest.TestCase):
    def test_torrent_reading_and_info_hash_over_original_bytes(self):
        # Keys deliberately out of canonical order: the hash must not re-encode.
        info = b"d4:name3:abc5:filesld6:lengthi5eed6:lengthi7eeee"
        data = b"d8:announce3:url4:info" + info + b"e"
        t = bencode.read_torrent(data)
        self.assertEqual((t.name, t.size, t.file_count, t.info_hash),
                         ("abc", 12, 2, hashlib.sha1(info).hexdigest()))
        for bad in (b"", b"d4:infoi1ee", b"d4:infod4:name1:xee", b"i1e", data + b"x",
                    b"d4:infod6:lengthi-0e4:name1:xee", b"d4:infod6:lengthi01e4:name1:xee"):
            with self.assertRaises(bencode.BencodeError, msg=bad):
                bencode.read_torrent(bad)

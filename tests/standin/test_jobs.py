import unittest

from standin import bencode
from standin.model import key_to_text, webftp_key
from tests.standin.helpers import Running, reply_code

BT = "/goform/formBtListTable"


def torrent(name, size=1000):
    return bencode.encode({"announce": "http://t.example/a",
                           "info": {"name": name, "length": size, "piece length": 16384,
                                    "pieces": b"\0" * 20}})


class BtJobs(unittest.TestCase):
    def setUp(self):
        self.s = Running(speed=100, trying_seconds=2, bt_slots=1)

    def tearDown(self):
        self.s.stop()

    def upload(self, data, path="[HDD1]download\\", prio="0"):
        return self.s.code(self.s.multipart("/goform/formAddBtItem", [
            ("btItemPriority", prio), ("torrentType", "1"), ("file", data),
            ("savePath", path), ("pcLocationEncoded", "C:\\t^20x.torrent")], nul=False))

    def ids(self):
        return [j.item_id for j in self.s.model.bt_jobs]

    def statuses(self):
        return [i["BTStatus"] for i in self.s.model.snapshot()["bt"]]

    def test_upload_duplicate_bad_and_limit(self):
        self.assertEqual(self.upload(torrent("one")), "Success")
        job = self.s.model.bt_jobs[0]
        self.assertEqual((job.name, job.size, job.save_path), ("one", 1000, "[HDD1]download\\"))
        self.assertEqual(self.upload(torrent("one")), "ERR_TORRENT_ADDED")
        self.assertEqual(self.upload(b"not a torrent"), "ERR_NOT_VALID_TORRENT")
        self.assertEqual(self.upload(b""), "ERR_READ_TORRENT")
        self.assertEqual(self.upload(torrent("two"), path="[HDD3]x\\"), "ERR_DIR_NOT_EXIST")
        for n in range(2, 33):
            self.assertEqual(self.upload(torrent("t%d" % n)), "Success")
        self.assertEqual(self.upload(torrent("t33")), "ERR_MAX_BT_DOWNLOAD")
        self.assertEqual(len(self.ids()), 32)
        self.assertEqual(len(set(self.ids())), 32)

    def test_url_form(self):
        def add(url, prio="-1"):
            return self.s.code(self.s.multipart("/goform/formAddBtItem", [
                ("btItemPriority", prio), ("torrentType", "0"), ("savePath", "[HDD2]"),
                ("UrlEncoded", url), ("UrlUtf8", url)], nul=False))
        self.assertEqual(add("http://t.example/dl/Caf%C3%A9.torrent"), "Success")
        self.assertEqual(add("http://t.example/dl/Caf%C3%A9.torrent"), "ERR_TORRENT_ADDED")
        self.assertEqual(add("mailto:someone"), "ERR_NOT_VALID_URL")
        job = self.s.model.bt_jobs[0]
        self.assertEqual((job.name, job.priority, job.size), ("Café", -1, None))
        self.s.form("/goform/formSetBtFlashState", "setBtState=0")
        self.assertEqual(add("http://t.example/other.torrent"), "ERR_BT_DISABLED")
        self.assertEqual(self.s.code(self.s.form(BT, "selectItem=%s&Pause=Pause" % job.item_id)),
                         "ERR_BT_DISABLED")

    def test_pause_resume_remove_priority_codes(self):
        self.upload(torrent("a"))
        self.upload(torrent("b"))
        a, b = self.ids()
        act = lambda text: self.s.code(self.s.form(BT, text))
        self.assertEqual(act("selectItem=%s&Pause=Pause" % a), "Success")
        self.assertEqual(act("selectItem=%s&Pause=Pause" % a), "ERR_PAUSED_BEFORE")
        self.assertEqual(act("selectItem=&Pause=Pause"), "ERR_NOT_SELECT")
        self.assertEqual(act("selectItem=999999&Resume=Resume"), "ERR_NULL_ITEM")
        self.s.clock.now += 3          # b leaves "trying" and takes the only slot
        self.assertEqual(self.statuses()[1], "downloading")
        self.assertEqual(act("selectItem=%s&Resume=Resume" % b), "ERR_ITEM_DOWNLOADING")
        self.assertEqual(act("selectOrder=1&number=%s" % a), "Success")
        self.assertEqual(act("selectItem=%s&Resume=Resume" % a), "Success")
        self.s.clock.now += 1          # the high-priority job now gets the slot
        self.assertEqual(self.statuses(), ["downloading", "waiting"])
        self.s.clock.now += 20         # 1000 bytes at 100 B/s
        self.assertEqual(self.statuses()[0], "finished")
        self.assertEqual(act("selectItem=%s&Pause=Pause" % a), "ERR_PAUSED_FINISHED")
        self.assertEqual(act("selectItem=%s&RemoveSel=Remove+Selected" % a), "Success")
        self.assertEqual(self.ids(), [b])

    def test_failures_happen(self):
        self.s.model.fail_rate = 1.0
        self.upload(torrent("x"))
        self.s.clock.now += 100
        self.assertIn(self.statuses()[0], ("torrent error", "connect error"))


class WebJobs(unittest.TestCase):
    def setUp(self):
        self.s = Running()

    def tearDown(self):
        self.s.stop()

    def add(self, url, path="[HDD1]\\movies\\"):
        return self.s.code(self.s.multipart("goform/formNasDownloadAdd", [
            ("UrlEncoded", url), ("UrlUtf8", url), ("savePath", path), ("user", ""), ("pwd", "")]))

    def act(self, key, action):
        field = {"Pause": ("Pause", "Pause"), "Resume": ("Resume", "Resume"),
                 "delSel": ("delSel", "Remove Selected")}[action]
        return self.s.code(self.s.multipart("goform/formNasDownloadTable",
                                            [("selectItem", key), field]))

    def test_key_forms(self):
        self.assertEqual(webftp_key("[HDD1]\\movies\\", "a b%.avi"), "[USB5]/movies/a%2520b%2525.avi")
        self.assertEqual(webftp_key("[eSATA]x\\[RAID]\\", "caf\u00e9"), "[USB3]x/[USB4]/caf%C3%A9")
        self.assertEqual(key_to_text("[USB5]/movies/a%2520b%2525%C3%A9"), "[HDD1]/movies/a b%é")

    def test_add_and_address_by_key(self):
        self.assertEqual(self.add("http://h.example/a%20b%25.avi"), "Success")
        self.assertEqual(self.add("ftp://h.example/d/caf%C3%A9.mp3"), "Success")
        self.assertEqual(self.add("http://other.example/a%20b%25.avi"), "ERR_FILENAME_OVERLAP")
        self.assertEqual(self.add("file:///etc/passwd"), "ERR_INVALID_URL")
        self.assertEqual(self.add("http://h.example/z", path="[HDD4]"), "ERR_DIR_NOT_EXIST")
        self.assertEqual([j.name for j in self.s.model.web_jobs], ["a b%.avi", "café.mp3"])
        self.assertEqual(self.act("[USB5]/movies/a%2520b%2525.avi", "Pause"), "Success")
        self.assertEqual(self.act("[USB5]/movies/a%2520b%2525.avi", "Pause"), "ERR_PAUSED_BEFORE")
        self.assertEqual(self.act("[USB5]/movies/a b%.avi", "Pause"), "ERR_NULL_ITEM")
        self.assertEqual(self.act("[USB5]/movies/caf%C3%A9.mp3", "Resume"), "ERR_ITEM_DOWNLOADING")
        self.assertEqual(self.act("", "Resume"), "ERR_NOT_SELECT")
        self.assertEqual(self.act("[USB5]/movies/caf%C3%A9.mp3", "delSel"), "Success")
        self.assertEqual([j.status_text() for j in self.s.model.web_jobs], ["Paused"])

    def test_progress_to_finished(self):
        self.s.model.speed = 1e9
        self.add("http://h.example/f.iso")
        self.s.clock.now += 5
        self.assertEqual(self.s.model.snapshot()["web"][0]["WebFTPStatus"], "Finished")
        self.assertEqual(self.act("[USB5]/movies/f.iso", "Pause"), "ERR_PAUSED_FINISHED")

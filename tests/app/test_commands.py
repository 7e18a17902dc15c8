"""The main window's commands and the hand-over as a user meets them: Quarrow
under Wine in a private test network with the stand-in server. Each step
checks the screen and what reached the server, body for body.

With QUARROW_SHOTS=DIR set, the add dialogs and the hand-over window are also
saved there as PNG pictures."""
import json
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

from standin import bencode
from tests.support import NAS_ADDR, QUARROW, windows_path
from tests.support.desktop import (IDOK, VK_F5, WM_CLOSE, WM_COMMAND, WM_DROPFILES, WM_KEYDOWN,
                             WM_LBUTTONDBLCLK, WM_USER, NetworkCase)
from tests.support.ids import APP
from tests.support.brevlet import link_hex
from tests.support.standinlog import CLOSING, DEFAULT_PATH, part
from tests.support.wait import until, wait_exit

# The notification icon's callback message.
TRAY_MESSAGE = WM_USER + 5
# The file name box of the system's Open dialog: a combo box in some forms of
# the dialog, an edit field in others.
FILE_NAME_BOXES = (0x47C, 0x480)
# The first row's controls; row r's are r further on.
BT_PRIORITY, BT_ACTION, BT_REMOVE = APP.IDC_BT_PRIORITY_FIRST, APP.IDC_BT_ACTION_FIRST, APP.IDC_BT_REMOVE_FIRST
WEB_ACTION = APP.IDC_WEB_ACTION_FIRST


class CommandTests(NetworkCase):
    def setUp(self):
        super().setUp()
        self.serve()
        torrent = bencode.encode({"info": {"name": "sample", "length": 1234, "piece length": 16384,
                                           "pieces": b"\x01" * 20}})
        self.torrent_bytes = torrent
        # A blank in the name makes Wine quote the path on the command line, as the shell does.
        self.torrent = os.path.join(self.net.dir, "my sample.torrent")
        with open(self.torrent, "wb") as f:
            f.write(torrent)

    # --- what reached the stand-in ---------------------------------------
    def server_bt(self):
        """The stand-in's BT jobs in list order, as (item ID, name), read past the window."""
        script = ("import json, urllib.request as u; print(json.dumps([(j['BTItemId'], j['BTName']) for j in "
                  "json.load(u.urlopen('http://%s/standin/state.json'))['bt']]))" % NAS_ADDR)
        out = self.net.run_pc([sys.executable, "-c", script], capture_output=True, check=True, timeout=30).stdout
        return [tuple(job) for job in json.loads(out)]

    def remove_elsewhere(self, item):
        """Another client removes a BT job."""
        script = ("import urllib.request as u; u.urlopen('http://%s/goform/formBtListTable', "
                  "data=b'selectItem=%s&RemoveSel=Remove+Selected').read()" % (NAS_ADDR, item))
        self.net.run_pc([sys.executable, "-c", script], check=True, timeout=30, stdout=subprocess.DEVNULL)

    def bt_removals(self):
        return [b for b in self.log.posts("goform/formBtListTable") if b"RemoveSel" in b]

    # --- the screen -------------------------------------------------------
    def ui(self, *args):
        return self.desk.ui(*args)

    def start_main(self):
        proc = self.desk.start(QUARROW)
        main = self.desk.find("Refresh")
        self.assertIsNotNone(main, "no main window")
        self.assertTrue(until(lambda: self.log.status_fetches() >= 1, 30))
        self.log.settled()
        return proc, main

    def message(self, text, button="OK"):
        box = self.desk.answer(text, button, 15000)
        self.assertIsNotNone(box, f"no message {text!r}")
        return box

    def focus(self, hwnd):
        """The ID of the control with the focus, as text."""
        return self.desk.out("focus", hwnd)

    def visible(self, hwnd, control=0):
        return self.desk.visible(hwnd, control)

    def tray_shown(self):
        """Wine's notification area is shown only while it holds an icon."""
        code, out = self.ui("tray", "-")
        return code == 0 and out.split()[0] == "1"

    def test_add_dialogs_rows_and_window_commands(self):
        self.assertFalse(self.tray_shown())
        proc, main = self.start_main()
        self.assertTrue(until(self.tray_shown))

        # Web/FTP: the checks in their order, each with its message and focus.
        self.ui("press", main, APP.IDC_MAIN_WEB_ADD)
        dialog = self.desk.find("Internet Address:")
        self.assertIsNotNone(dialog)
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == DEFAULT_PATH))
        code, out = self.ui("combo-get", dialog, APP.IDC_ADD_CHARSET)
        self.assertEqual("sel 0", out.splitlines()[0])
        self.assertEqual("Default", out.splitlines()[1])
        self.desk.shot(dialog, "add-webftp")
        self.ui("set", dialog, APP.IDC_ADD_SAVE_PATH, "")
        for url, text in (("", "Internet address can not be empty!"), ("www.example.com/f", "Save path can not be empty!")):
            self.ui("set", dialog, APP.IDC_ADD_URL, url)
            self.ui("press", dialog, IDOK)
            self.message(text)
        self.ui("set", dialog, APP.IDC_ADD_SAVE_PATH, DEFAULT_PATH)
        self.ui("press", dialog, IDOK)
        self.message('The url should be "http://" or "ftp://" at the head.')
        self.assertTrue(until(lambda: self.focus(dialog) == str(APP.IDC_ADD_URL)))
        before = len(self.log.requests())
        self.ui("set", dialog, APP.IDC_ADD_URL, "http://h/a%25b.bin")
        self.ui("set", dialog, APP.IDC_ADDFTP_USER, "me")
        self.ui("set", dialog, APP.IDC_ADDFTP_PASSWORD, "pw")
        self.ui("press", dialog, IDOK)
        self.assertTrue(until(lambda: self.log.posts("goform/formNasDownloadAdd")))
        body = self.log.posts("goform/formNasDownloadAdd")[0]
        expected = (part("UrlEncoded", "http://h/a%2525b.bin") + part("UrlUtf8", "http://h/a%2525b.bin") +
                    part("savePath", DEFAULT_PATH) + part("user", "me") + part("pwd", "pw"))
        self.assertTrue(body.startswith(expected), body)
        self.assertTrue(until(lambda: self.visible(main, WEB_ACTION)))  # the job's row
        self.assertGreater(self.log.status_fetches(), 1)

        # BT from a URL with priority Low; the URL source checks the URL first.
        self.log.settled()
        self.ui("press", main, APP.IDC_MAIN_BT_ADD)
        dialog = self.desk.find("Torrent Location on PC")
        self.assertIsNotNone(dialog)
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == DEFAULT_PATH))
        self.desk.shot(dialog, "add-bt")
        self.ui("press", dialog, IDOK)
        self.message("File name can not be empty!")
        self.ui("press", dialog, APP.IDC_ADDBT_FROM_URL)
        time.sleep(0.5)
        self.ui("press", dialog, IDOK)
        self.message("Internet address can not be empty!")
        self.assertTrue(until(lambda: self.focus(dialog) == str(APP.IDC_ADD_URL)))
        self.ui("set", dialog, APP.IDC_ADD_URL, "http://h/x 5%.torrent")  # a raw "%": every "%" doubles
        self.ui("combo", dialog, APP.IDC_ADDBT_PRIORITY, "2")
        self.ui("press", dialog, IDOK)
        self.assertTrue(until(lambda: self.log.posts("goform/formAddBtItem")))
        expected = (part("btItemPriority", "-1") + part("torrentType", "0") + part("savePath", DEFAULT_PATH) +
                    part("UrlEncoded", "http://h/x 5%2525.torrent") + part("UrlUtf8", "http://h/x 5%2525.torrent"))
        self.assertTrue(self.log.posts("goform/formAddBtItem")[0].startswith(expected))

        # BT from a torrent file on the PC.
        self.log.settled()
        self.ui("press", main, APP.IDC_MAIN_BT_ADD)
        dialog = self.desk.find("Torrent Location on PC")
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == DEFAULT_PATH))
        # Chosen in the system's Open dialog, whose library the program loads only now.
        self.ui("press", dialog, APP.IDC_ADDBT_BROWSE_FILE)
        chooser = self.desk.find("Look &in:")
        self.assertIsNotNone(chooser, "no Open dialog")
        for box in FILE_NAME_BOXES:
            self.ui("set", chooser, box, windows_path(self.torrent))
        self.ui("press", chooser, IDOK)
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADDBT_FILE) == windows_path(self.torrent)))
        self.ui("press", dialog, IDOK)
        self.assertTrue(until(lambda: len(self.log.posts("goform/formAddBtItem")) == 2))
        upload = self.log.posts("goform/formAddBtItem")[1]
        self.assertIn(part("torrentType", "1"), upload)
        self.assertIn(self.torrent_bytes, upload)
        self.assertTrue(until(lambda: self.visible(main, BT_ACTION + 1)))  # a second BT row

        # "Low" in a row's priority box sends -1 for that job.
        self.log.settled()
        self.ui("combo", main, BT_PRIORITY, "2")
        self.assertTrue(until(lambda: any(b.startswith(b"selectOrder=-1&number=")
                                          for b in self.log.posts("goform/formBtListTable"))))

        # Remove asks; Cancel sends nothing.
        self.log.settled()
        count = len(self.log.requests())
        self.ui("press", main, BT_REMOVE)
        self.message("Remove this item?", "Cancel")
        self.assertEqual(count, self.log.settled())
        # While the question is up, another client removes the job and a
        # refresh shows the list without it: OK then sends nothing (not the
        # removal of the job that moved into its row).
        (gone, _), (kept, kept_name) = self.server_bt()
        self.ui("press", main, BT_REMOVE)
        self.assertIsNotNone(self.desk.find("Remove this item?"))
        self.remove_elsewhere(gone)
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_REFRESH, 0)  # as the minute's timer would
        self.assertTrue(until(lambda: self.ui("cells", main, APP.IDC_MAIN_BT_LIST)[1].startswith(kept_name + "|")))
        self.message("Remove this item?", "OK")
        self.log.settled()
        self.assertEqual(1, len(self.bt_removals()))  # the other client's
        self.assertEqual([(kept, kept_name)], self.server_bt())
        # OK removes the job asked about, by its item ID.
        self.ui("press", main, BT_REMOVE)
        self.message("Remove this item?", "OK")
        self.assertTrue(until(lambda: len(self.bt_removals()) == 2))
        self.assertEqual(b"selectItem=%s&RemoveSel=Remove+Selected\0" % kept.encode(), self.bt_removals()[1])

        # F5 refreshes while idle, and does nothing while the wait dialog is up.
        count = self.log.settled()
        fetches = self.log.status_fetches()
        self.ui("post", main, WM_KEYDOWN, VK_F5, 0)
        self.assertTrue(until(lambda: self.log.status_fetches() == fetches + 1))
        self.net.set_faults(json.dumps({"delay": 4, "paths": ["Quarrow.asp"], "times": 1}))
        self.ui("press", main, APP.IDC_MAIN_REFRESH)
        self.assertIsNotNone(self.desk.find("Refreshing download list...", 5000))
        for _ in range(3):
            self.ui("post", main, WM_KEYDOWN, VK_F5, 0)
        # A command posted by another program meanwhile is ignored too: no
        # message, and the window stays connected.
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_REFRESH, 0)
        self.assertIsNone(self.desk.find("System is busy now, Please test later.", 3000))
        self.log.settled(quiet=3)
        self.assertEqual(fetches + 2, self.log.status_fetches())
        self.assertEqual("1", self.ui("state", main, APP.IDC_MAIN_BT_ADD)[1].split()[0])

        # The close box hides; the icon's double-click shows; "Exit" ends.
        self.ui("post", main, WM_CLOSE, 0, 0)
        self.assertTrue(until(lambda: not self.visible(main)))
        self.assertIsNone(proc.poll())
        self.assertTrue(self.tray_shown())
        self.ui("post", main, TRAY_MESSAGE, "0", WM_LBUTTONDBLCLK)
        self.assertTrue(until(lambda: self.visible(main)))
        # A second start is refused; while its message is up the program's
        # shared state lives on after the window's end.
        refused = self.desk.start(QUARROW)
        self.assertIsNotNone(self.desk.find("Quarrow is running!"))
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_EXIT, 0)
        self.assertEqual(0, wait_exit(proc, 20))
        self.assertTrue(until(lambda: not self.tray_shown()))
        # A hand-over then finds no window to send to and waits for one
        # (instead of sending to the handle of the window that has gone).
        handing = self.desk.start(QUARROW, "/f", windows_path(self.torrent))
        window = self.desk.find("Add torrent file to Quarrow")
        self.assertIsNotNone(window)
        time.sleep(2)
        self.assertIsNone(handing.poll(), "the hand-over was sent to the ended window")
        self.ui("press", window, APP.IDC_CMDADD_CANCEL)
        self.assertEqual(0, wait_exit(handing, 20))
        self.message("Quarrow is running!")
        self.assertEqual(0, wait_exit(refused, 20))

    def test_in_german(self):
        """Under a German Windows the window, its dialogs and messages speak
        German; what goes to the server stays byte for byte the same."""
        proc = self.desk.start(QUARROW, env={"LC_ALL": "de_DE.UTF-8"})
        main = self.desk.find("Aktualisieren")
        self.assertIsNotNone(main, "no German main window")
        self.assertTrue(until(lambda: self.desk.get(main, APP.IDC_MAIN_STATE) == "Bereit"))
        self.assertEqual(["BT-Download", "Hinzuf\xfcgen", "Web/FTP-Download", "NAS (%s) - Quarrow" % NAS_ADDR],
                         [self.desk.get(main, c) for c in (APP.IDC_MAIN_BT_HEADING, APP.IDC_MAIN_BT_ADD, APP.IDC_MAIN_WEB_HEADING, 0)])
        self.log.settled()

        self.ui("press", main, APP.IDC_MAIN_WEB_ADD)
        dialog = self.desk.find("Internetadresse:")
        self.assertIsNotNone(dialog, "no German Web/FTP dialog")
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == DEFAULT_PATH))
        self.assertEqual(["sel 0", "Standard"], self.ui("combo-get", dialog, APP.IDC_ADD_CHARSET)[1].splitlines()[:2])
        self.desk.shot(dialog, "add-webftp-de")
        self.ui("press", dialog, IDOK)
        self.message("Die Internetadresse darf nicht leer sein!")
        self.ui("set", dialog, APP.IDC_ADD_URL, "http://h/w.bin")
        self.ui("press", dialog, IDOK)
        self.assertTrue(until(lambda: self.log.posts("goform/formNasDownloadAdd")))
        self.assertTrue(self.log.posts("goform/formNasDownloadAdd")[0].startswith(
            part("UrlEncoded", "http://h/w.bin") + part("UrlUtf8", "http://h/w.bin") + part("savePath", DEFAULT_PATH)))

        # The row's button reads "Anhalten"; the form still says "Pause".
        self.assertTrue(until(lambda: self.desk.get(main, WEB_ACTION) == "Anhalten"))
        self.log.settled()
        self.ui("press", main, WEB_ACTION)
        self.assertTrue(until(lambda: self.log.posts("goform/formNasDownloadTable")))
        self.assertTrue(self.log.posts("goform/formNasDownloadTable")[0].endswith(part("Pause", "Pause") + CLOSING + b"\0"))
        self.assertTrue(until(lambda: self.desk.get(main, WEB_ACTION) == "Fortsetzen"))
        self.log.settled()
        self.desk.shot(main, "main-window-de")

        self.ui("press", main, APP.IDC_MAIN_BT_ADD)
        dialog = self.desk.find("Torrent-Datei auf diesem PC")
        self.assertIsNotNone(dialog, "no German BT dialog")
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == DEFAULT_PATH))
        self.desk.shot(dialog, "add-bt-de")
        self.assertTrue(self.desk.click(dialog, "Abbrechen"))
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_EXIT, 0)
        self.assertEqual(0, wait_exit(proc, 20))

    def test_hand_over(self):
        # Not running: "/f" starts Quarrow, which adds the torrent after its first list.
        handing = self.desk.start(QUARROW, "/f", windows_path(self.torrent))
        self.assertEqual(0, wait_exit(handing, 60))
        self.assertTrue(until(lambda: self.log.posts("goform/formAddBtItem"), 30))
        uploads = self.log.posts("goform/formAddBtItem")
        self.assertIn(part("btItemPriority", "0"), uploads[0])
        self.assertIn(self.torrent_bytes, uploads[0])
        paths = [r["path"].lstrip("/") for r in self.log.requests()]
        self.assertLess(paths.index("Quarrow.asp"), paths.index("goform/formAddBtItem"))
        main = self.desk.find("Refresh")
        self.assertIsNotNone(main)
        self.log.settled()

        # Running: a link in HEX with its page's character set; "%25" arrives as "%2525".
        link = "http://h/d\u00e9j\u00e0 %25.bin"
        run = self.desk.run(QUARROW, "/l", link_hex(link), "windows-1252")
        self.assertEqual(0, run.returncode)
        self.assertTrue(until(lambda: self.log.posts("goform/formNasDownloadAdd")))
        expected = (part("UrlEncoded", b"http://h/d\xe9j\xe0 %2525.bin") +
                    part("UrlUtf8", "http://h/d%C3%A9j%C3%A0 %2525.bin") + part("savePath", DEFAULT_PATH) +
                    part("user", "") + part("pwd", ""))
        self.assertTrue(self.log.posts("goform/formNasDownloadAdd")[0].startswith(expected))

        # A character set that the system cannot convert to: said as the
        # console says it, and nothing is handed over. (A copy of the program
        # beside a table of its own.)
        lacking = os.path.join(self.net.dir, "lacking")
        os.makedirs(lacking)
        shutil.copy(QUARROW, lacking)
        with open(os.path.join(lacking, "charset.csv"), "w") as f:
            f.write("Unicode (UTF-8),utf-8,65001\nNowhere,x-nowhere,12345\n")
        count = self.log.settled()
        handing = self.desk.start(os.path.join(lacking, "Quarrow.exe"), "/l", link_hex("http://h/n.bin"), "x-nowhere")
        self.message('Character set "x-nowhere" (code page 12345) cannot be converted to on this system.')
        self.assertEqual(1, wait_exit(handing, 20))
        self.assertEqual(count, self.log.settled())

        # Hostile payloads change nothing, and the window keeps working.
        count = self.log.settled()
        for case in ("short", "unterminated", "kind", "huge", "second-missing"):
            code, out = self.ui("copydata", main, case)
            self.assertEqual((0, "0"), (code, out.strip()), case)
        self.assertEqual(count, self.log.settled())
        fetches = self.log.status_fetches()
        self.ui("press", main, APP.IDC_MAIN_REFRESH)
        self.assertTrue(until(lambda: self.log.status_fetches() == fetches + 1))

        # While the window is busy the hand-over waits; its button ends it and nothing arrives.
        self.log.settled()
        self.ui("press", main, APP.IDC_MAIN_WEB_ADD)
        dialog = self.desk.find("Internet Address:")
        self.assertIsNotNone(dialog)
        handing = self.desk.start(QUARROW, "/f", windows_path(self.torrent))
        window = self.desk.find("Add torrent file to Quarrow")
        self.assertIsNotNone(window)
        self.desk.shot(window, "handover")
        self.ui("post", window, WM_CLOSE, 0, 0)    # the close box: nothing
        self.ui("post", window, WM_COMMAND, IDOK, 0)  # Enter: nothing
        time.sleep(1.5)
        self.assertIsNone(handing.poll(), "the close box ended the hand-over")
        self.ui("press", window, APP.IDC_CMDADD_CANCEL)
        self.assertEqual(0, wait_exit(handing, 20))
        adds = len(self.log.posts("goform/formAddBtItem"))
        self.desk.click(dialog, "Cancel")
        time.sleep(3)
        self.assertEqual(adds, len(self.log.posts("goform/formAddBtItem")))

    def test_running_window_takes_a_hand_over_pauses_resumes_and_switches(self):
        proc, main = self.start_main()

        # "/f" to the running window: the torrent arrives and the window shows it.
        handing = self.desk.start(QUARROW, "/f", windows_path(self.torrent))
        self.assertEqual(0, wait_exit(handing, 60))
        self.assertTrue(until(lambda: self.log.posts("goform/formAddBtItem"), 30))
        self.assertIn(self.torrent_bytes, self.log.posts("goform/formAddBtItem")[0])
        self.assertTrue(until(lambda: self.visible(main, BT_ACTION)))
        self.assertTrue(until(lambda: self.ui("cells", main, APP.IDC_MAIN_BT_LIST)[1].startswith("sample|")))
        paths = [r["path"].lstrip("/") for r in self.log.requests()]
        self.assertIn("Quarrow.asp", paths[paths.index("goform/formAddBtItem"):])  # refreshed after the add
        self.assertEqual(0, self.desk.run(QUARROW, "/l", link_hex("http://h/w.bin"), "windows-1252").returncode)
        self.assertTrue(until(lambda: self.visible(main, WEB_ACTION)))

        # Pause and Resume follow the job, and each press sends its form.
        self.log.settled()
        item = None  # the stand-in's item ID, as the first press sends it
        web_key = b"[USB5]download/w.bin"
        for button, path in ((BT_ACTION, "goform/formBtListTable"), (WEB_ACTION, "goform/formNasDownloadTable")):
            for now, then in (("Pause", "Resume"), ("Resume", "Pause")):
                self.assertTrue(until(lambda: self.desk.get(main, button) == now), (button, now))
                sent = len(self.log.posts(path))
                self.ui("press", main, button)
                self.assertTrue(until(lambda: len(self.log.posts(path)) == sent + 1), (button, now))
                body = self.log.posts(path)[-1]
                if button == BT_ACTION:
                    item = item or re.match(rb"selectItem=(\d+)&", body)
                    self.assertEqual(b"selectItem=%s&%s=%s\0" % (item.group(1), now.encode(), now.encode()), body)
                else:
                    self.assertEqual(part("selectItem", web_key) + part(now, now) + CLOSING + b"\0", body)
                self.assertTrue(until(lambda: self.desk.get(main, button) == then), (button, then))
                self.log.settled()

        # Each service switch turns off and on again; the row buttons follow.
        for command, path, field, button in ((APP.ID_MENU_TOGGLE_BT, "goform/formSetBtFlashState", b"setBtState", BT_ACTION),
                                             (APP.ID_MENU_TOGGLE_WEBFTP, "goform/formDownFlashState", b"downSwitch", WEB_ACTION)):
            for value, state in ((b"0", "0 1"), (b"1", "1 1")):
                sent = len(self.log.posts(path))
                self.ui("post", main, WM_COMMAND, command, 0)
                self.assertTrue(until(lambda: len(self.log.posts(path)) == sent + 1), (path, value))
                self.assertEqual(field + b"=" + value + b"\0", self.log.posts(path)[-1])
                self.assertTrue(until(lambda: self.ui("state", main, button)[1].strip() == state), (path, value))
                self.log.settled()
        self.assertEqual(13, len(self.log.posts("goform/formDownFlashState")[0]))

        # "Default Path": the folder dialog, then the chosen folder alone; the lists are not fetched.
        fetches, sent = self.log.status_fetches(), len(self.log.posts("goform/formSetDefaultPath"))
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_DEFAULT_PATH, 0)
        dialog = self.desk.find("Folder:")
        self.assertIsNotNone(dialog, "no folder dialog")
        self.assertTrue(until(lambda: "[HDD2]|1" in self.desk.tree(dialog, APP.IDC_PATH_TREE)))
        self.ui("tree-expand", dialog, APP.IDC_PATH_TREE, "[HDD2]")
        self.assertTrue(until(lambda: any(line.startswith("  Video|") for line in self.desk.tree(dialog, APP.IDC_PATH_TREE))))
        self.ui("tree-select", dialog, APP.IDC_PATH_TREE, "[HDD2]/Video")
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_PATH_FOLDER) == "[HDD2]Video\\"))
        self.desk.click(dialog, "OK")
        self.assertTrue(until(lambda: len(self.log.posts("goform/formSetDefaultPath")) == sent + 1))
        self.assertEqual(part("DefaultPath", "[HDD2]Video\\") + CLOSING + b"\0",
                         self.log.posts("goform/formSetDefaultPath")[-1])
        self.log.settled()
        self.assertEqual(fetches, self.log.status_fetches())
        self.ui("press", main, APP.IDC_MAIN_WEB_ADD)
        dialog = self.desk.find("Internet Address:")
        self.assertIsNotNone(dialog)
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == "[HDD2]Video\\"))
        self.desk.click(dialog, "Cancel")
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_EXIT, 0)
        self.assertEqual(0, wait_exit(proc, 20))

    def test_dropped_files(self):
        proc, main = self.start_main()
        second = os.path.join(self.net.dir, "Second.TORRENT")
        second_bytes = bencode.encode({"info": {"name": "second", "length": 99, "piece length": 16384,
                                                "pieces": b"\x02" * 20}})
        with open(second, "wb") as f:
            f.write(second_bytes)
        notes = os.path.join(self.net.dir, "notes.txt")
        with open(notes, "w") as f:
            f.write("not a torrent")
        first, second, notes = (windows_path(p) for p in (self.torrent, second, notes))
        ignored = "Only torrent files can be added by dropping them here. The other files were ignored."

        # Two torrents and another file: one message, then the dialog for each torrent in turn.
        self.assertEqual(0, self.ui("drop", main, first, notes, second)[0])
        self.message(ignored)
        dialogs = []
        for path in (first, second):
            dialog = self.desk.find("Torrent Location on PC")
            self.assertIsNotNone(dialog, path)
            self.assertNotIn(dialog, dialogs)
            dialogs.append(dialog)
            self.assertTrue(until(lambda: (self.desk.get(dialog, APP.IDC_ADDBT_FILE), self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH)) ==
                                  (path, DEFAULT_PATH)), path)
            if path == first:
                self.desk.shot(main, "drop-main")
                self.desk.shot(dialog, "drop-add-bt")
            sent, fetches = len(self.log.posts("goform/formAddBtItem")), self.log.status_fetches()
            self.ui("press", dialog, IDOK)
            self.assertTrue(until(lambda: len(self.log.posts("goform/formAddBtItem")) == sent + 1), path)
            self.assertTrue(until(lambda: self.log.status_fetches() > fetches), path)  # refreshed after the add
            self.assertTrue(until(lambda: not self.visible(dialog)))
        self.assertTrue(until(lambda: self.visible(main, BT_ACTION + 1)))  # both jobs on screen
        self.log.settled()
        self.assertEqual(2, len(self.log.posts("goform/formAddBtItem")))
        self.assertIsNone(self.desk.find(ignored, 1000))  # told once

        # The same file through the Add button sends the same bytes (and the server has it already).
        self.ui("press", main, APP.IDC_MAIN_BT_ADD)
        dialog = self.desk.find("Torrent Location on PC")
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADD_SAVE_PATH) == DEFAULT_PATH))
        self.ui("set", dialog, APP.IDC_ADDBT_FILE, first)
        self.ui("press", dialog, IDOK)
        self.assertTrue(until(lambda: len(self.log.posts("goform/formAddBtItem")) == 3))
        # A drop while the window is busy (its message is up) is refused.
        self.assertIsNotNone(self.desk.find("The torrent has been added already."))
        self.assertEqual(0, self.ui("drop", main, second)[0])
        self.message("The torrent has been added already.")
        self.assertIsNone(self.desk.find("Torrent Location on PC", 2000))
        uploads = self.log.posts("goform/formAddBtItem")
        self.assertEqual(uploads[2], uploads[0])
        self.assertIn(self.torrent_bytes, uploads[0])
        self.assertIn(second_bytes, uploads[1])
        self.assertIn(part("torrentType", "1"), uploads[1])

        # Cancel leaves out the rest of the drop; nothing is sent.
        self.log.settled()
        self.assertEqual(0, self.ui("drop", main, second, first)[0])
        dialog = self.desk.find("Torrent Location on PC")
        self.assertTrue(until(lambda: self.desk.get(dialog, APP.IDC_ADDBT_FILE) == second))
        self.desk.click(dialog, "Cancel")
        self.assertTrue(until(lambda: not self.visible(dialog)))
        self.assertIsNone(self.desk.find("Torrent Location on PC", 3000))
        self.assertEqual(3, len(self.log.posts("goform/formAddBtItem")))

        # Handles posted from another process are nothing of the window's: no dialog, no crash.
        for handle in ("0", "0x830008", "0xdeadbeef"):
            self.ui("post", main, WM_DROPFILES, handle, 0)
        self.assertIsNone(self.desk.find("Torrent Location on PC", 2000))
        self.ui("post", main, WM_COMMAND, APP.ID_MENU_EXIT, 0)
        self.assertEqual(0, wait_exit(proc, 20))


if __name__ == "__main__":
    unittest.main()

"""The main window as a user meets it, with the stand-in server behind it in a
private test network: the job lists in the colours of their statuses, paging
through 25 BT jobs, a long name whole in its tip, the window disabled while an
operation runs, and the fall back to "Disconnected" when the server stops
answering. Each step checks the screen and what reached the server.

Quarrow runs here from its test entry point (QuarrowSeams.exe), which only
shortens the refresh period."""
import json
import subprocess
import time
import unittest

from tests.support import CTL, NAS_ADDR, SEAMS, TestNetwork
from tests.support.desktop import SB_PAGEDOWN, Desktop, layout_faults
from tests.support.ids import APP
from tests.support.screen import use_own_display
from tests.support.standinlog import StandInLog
from tests.support.wait import until

USER, PASSWORD = "admin", "admin"
REFRESH_MS = 4000
BT_LIST, BT_SCROLL, WEB_LIST = APP.IDC_MAIN_BT_LIST, APP.IDC_MAIN_BT_SCROLL, APP.IDC_MAIN_WEB_LIST
# The first row's controls; row r's are r further on.
BT_PRIORITY, BT_ACTION, BT_REMOVE = APP.IDC_BT_PRIORITY_FIRST, APP.IDC_BT_ACTION_FIRST, APP.IDC_BT_REMOVE_FIRST
WEB_ACTION, WEB_REMOVE = APP.IDC_WEB_ACTION_FIRST, APP.IDC_WEB_REMOVE_FIRST
# A name longer than the 512 characters a tip shows.
LONG_NAME = "Long-" + "".join(chr(ord("a") + i % 26) for i in range(600)) + ".iso"

# Tests that run at another display scale than 100 %: their LogPixels.
SCALED = {"test_at_150_percent": 144}

WHITE, GREY = "FFFFFF", "C0C0C0"
BT_COLOURS = {"paused": ("000000", GREY), "connect error": ("000000", GREY), "torrent error": ("000000", GREY),
              "downloading": ("C00000", WHITE), "trying": ("C00000", WHITE), "waiting": ("0000C0", WHITE)}
WEB_COLOURS = {"Paused": ("000000", GREY), "Failed": ("000000", GREY), "Finished": ("00C000", WHITE)}


def bt_colours(status):
    return BT_COLOURS.get(status, ("00C000", WHITE))


def web_colours(status):
    return WEB_COLOURS.get(status, ("C00000", WHITE))


class MainWindow(unittest.TestCase):
    def setUp(self):
        use_own_display(self)  # for the test network's Wine and everything it runs
        # Xvfb starts with the pointer in the middle of the screen, over the
        # lists: a cell tip popping up there would cover the colours read.
        subprocess.run(["xdotool", "mousemove", "0", "0"], check=False)
        self.net = TestNetwork().__enter__()
        # Nine demo jobs in mixed states and sixteen plain ones: 25 BT jobs.
        self.net.start_standin("--demo", "--fill-bt", "16", "--user", USER, "--password", PASSWORD,
                               "--speed", "4096")
        self.net.private_wine(dpi=SCALED.get(self._testMethodName))
        self.desk = Desktop(self.net)
        self.log = StandInLog(self.net)

    def tearDown(self):
        self.desk.close()
        self.net.close()

    def ui(self, *args):
        return self.desk.ui(*args)[1]

    def cells(self, control):
        return [line.split("|") for line in self.ui("cells", self.main, control).splitlines()]

    def state(self, control):
        return self.desk.state(self.main, control)

    def fetches(self):
        return self.log.status_fetches(authorized=True)

    def colours_match(self, control, rule, status_column):
        """Every shown row is drawn in the colours of the status it shows (None),
        or what differs. The texts and colours come from one picture of the list."""
        lines = self.ui("colors", self.main, control, "all", status_column).splitlines()
        if not any(line.split("|")[0] for line in lines):
            return f"no row with a status: {lines}"
        for row, line in enumerate(lines):
            status, drawn = line.rsplit("|", 1)
            drawn = drawn.split()
            if not status:  # a row without a job
                continue
            expected = rule(status)
            if (drawn[3], drawn[1]) != expected:
                return f"row {row} ({status!r}) drawn {drawn}, expected {expected}"
        return None

    def start_connected(self):
        """Quarrow connected to the stand-in, the long Web/FTP job added, the
        first BT job on screen."""
        self.desk.remember_server(NAS_ADDR, "STORAGE_SERVER", USER, PASSWORD)
        added = self.desk.run(CTL, "-s", NAS_ADDR, "-u", USER, "-p", PASSWORD, "add-url",
                              "http://files.example.com/" + LONG_NAME, timeout=120)
        self.assertEqual(0, added.returncode, added.stdout)

        self.desk.start(SEAMS, env={"QUARROW_REFRESH_MS": str(REFRESH_MS)})
        self.main = self.desk.find("Refresh", 60000)
        self.assertIsNotNone(self.main, "no main window")
        self.assertTrue(until(lambda: self.ui("get", self.main, 0).strip() == "STORAGE_SERVER - Quarrow"),
                        self.ui("get", self.main, 0) + self.ui("texts", self.main))
        self.assertTrue(until(lambda: self.cells(BT_LIST)[0][0]), "no BT job shown")

    def test_lists_scrolling_tips_busy_state_and_disconnection(self):
        self.start_connected()

        # The lists: ten rows each, drawn in their statuses' colours; rows
        # without a job are white on white and their panel controls hidden.
        bt = self.cells(BT_LIST)
        self.assertEqual(10, len(bt))
        self.assertEqual(7, len(bt[0]))
        for control, rule, column in ((BT_LIST, bt_colours, 6), (WEB_LIST, web_colours, 3)):
            # The screen may lag a refresh that has just changed a status.
            mismatches = []
            if not until(lambda: mismatches.append(self.colours_match(control, rule, column)) or
                         mismatches[-1] is None, timeout=30):
                self.fail(mismatches[-1])
        web = self.cells(WEB_LIST)
        jobs = sum(1 for cells in web if cells[0])
        self.assertEqual(7, jobs)  # six demo jobs and the long one
        self.assertEqual(("back", WHITE, "text", WHITE), tuple(self.ui("colors", self.main, WEB_LIST, "9").split()))
        self.assertEqual((1, 1), self.state(WEB_ACTION + jobs - 1))
        self.assertEqual((1, 0), self.state(WEB_ACTION + jobs))

        # 25 BT jobs: range 0 to 15; page down goes 10 rows, then to the end.
        # Paging sends nothing to the server.
        self.assertEqual("0 15 0", self.ui("scroll", self.main, BT_SCROLL).strip())
        before, started = self.fetches(), time.time()
        self.ui("vscroll", self.main, BT_SCROLL, SB_PAGEDOWN)
        self.assertTrue(until(lambda: self.ui("scroll", self.main, BT_SCROLL).strip() == "0 15 10"))
        self.assertTrue(until(lambda: self.cells(BT_LIST)[0][0] == "fill-bt-002"))
        self.ui("vscroll", self.main, BT_SCROLL, SB_PAGEDOWN)
        self.assertTrue(until(lambda: self.ui("scroll", self.main, BT_SCROLL).strip() == "0 15 15"))
        rows = self.cells(BT_LIST)
        self.assertEqual(["fill-bt-007", "fill-bt-016"], [rows[0][0], rows[9][0]])
        timer_ticks = int((time.time() - started) * 1000 // REFRESH_MS) + 1
        self.assertLessEqual(self.fetches() - before, timer_ticks)  # the timer's own refreshes only

        # The long name: the cell holds it whole, the tip its first 512
        # characters and "...", over the cell's inner rectangle.
        row = next(i for i, cells in enumerate(self.cells(WEB_LIST)) if cells[0] == LONG_NAME)
        tip = self.ui("tip", self.main, WEB_LIST, 100 * row + 10).splitlines()
        self.assertEqual(LONG_NAME[:512] + "...", tip[0])
        left, top, right, bottom = map(int, tip[1].split()[1:])
        self.assertEqual((20 * row + 22, 20 * row + 40), (top, bottom))
        self.assertGreater(right, left)

        # The timer refreshes while idle; an operation that takes a while shows
        # the wait dialog and keeps the main window disabled until it ends.
        self.net.set_faults(json.dumps({"delay": 5, "paths": ["Quarrow.asp"], "id": 1}))
        wait = self.desk.find("Refreshing download list...", 20000)
        self.assertIsNotNone(wait, "no wait dialog at the timer's refresh")
        self.assertEqual(0, self.state(0)[0], "main window enabled during the operation")
        self.assertTrue(until(lambda: self.state(0)[0] == 1, timeout=20))

        # The server stops answering: at the next refresh the window says so
        # and falls back to the disconnected state; the timer then stays quiet.
        self.net.set_faults(json.dumps({"reset": True, "id": 2}))
        box = self.desk.find("OK", 30000)
        self.assertIsNotNone(box, "no message after the failed refresh")
        # A reset connection reads as a reply without a status line under Wine.
        self.assertTrue({"Connect error!", "Server error!"} & set(self.desk.texts(box)), self.desk.texts(box))
        self.assertEqual("Quarrow", self.ui("get", self.main, 0).strip())
        self.desk.click(box, "OK")
        self.assertTrue(until(lambda: self.ui("get", self.main, APP.IDC_MAIN_STATE).strip() == "Disconnected"))
        self.assertTrue(until(lambda: not any(cells[0] for cells in self.cells(BT_LIST))))
        self.assertEqual("0 0 0", self.ui("scroll", self.main, BT_SCROLL).strip())
        self.assertEqual((0, 0), self.state(BT_ACTION))
        self.assertEqual(0, self.state(APP.IDC_MAIN_BT_ADD)[0])
        quiet = self.log.status_fetches()
        time.sleep(2.5 * REFRESH_MS / 1000)
        self.assertEqual(quiet, self.log.status_fetches(), "the timer refreshed without a connection")

    def test_at_150_percent(self):
        """One pass at 150 %: the lists and their row panels scaled together,
        nothing overlapping, every row control level with its row, every text
        inside its row, and the rows still in their statuses' colours."""
        self.start_connected()
        # The pointer away from the lists: a tip would cover what is measured.
        subprocess.run(["xdotool", "mousemove", "0", "0"], check=False)
        self.assertTrue(until(lambda: sum(1 for cells in self.cells(WEB_LIST) if cells[0]) == 7))
        self.assertIsNone(self.colours_match(BT_LIST, bt_colours, 6))
        lines = self.ui("geometry", self.main).splitlines()
        self.assertEqual("144", lines[0].split()[4], lines[0])  # the window really runs at 150 %
        controls = {int(f[0]): tuple(map(int, f[1:])) for f in (line.split() for line in lines[1:])}
        self.assertEqual([], layout_faults(lines), "\n".join(lines))
        for list_id, firsts in ((BT_LIST, (BT_PRIORITY, BT_ACTION, BT_REMOVE)), (WEB_LIST, (WEB_ACTION, WEB_REMOVE))):
            rows = [tuple(map(int, line.split())) for line in self.ui("rows", self.main, list_id).splitlines()]
            self.assertEqual(10, len(rows))
            for r, (_, top, _, bottom, ink_top, ink_bottom) in enumerate(rows):
                height = bottom - top
                # Drawn text keeps off the edges of the cell's inner rectangle.
                if ink_top >= 0:
                    self.assertTrue(1 < ink_top and ink_bottom < height - 2, (list_id, r, rows[r]))
                for first in firsts:
                    control = controls.get(first + r)
                    if control is None:  # a row without a job
                        continue
                    self.assertEqual(top, control[1], (list_id, r, first + r, rows[r], control))
                    # Buttons fill the row; a drop-down's field is as high as its font makes it.
                    self.assertTrue(bottom - height // 4 <= control[3] <= bottom, (list_id, r, first + r, control))
        self.shot("main-window-150.png")

    def shot(self, name):
        self.desk.shot(self.main, name)


if __name__ == "__main__":
    unittest.main()

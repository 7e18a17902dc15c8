"""Balloons from the notification icon for downloads that finished or failed,
as a user meets them: Quarrow (its test entry point, QuarrowSeams.exe, for a
short refresh period and a report of every balloon's title, which Wine's
balloon window does not give away) against the stand-in server with its demo
jobs, in a private test network. The server asks for a password, which the
user types at every start without having it remembered. The stand-in ends
jobs between two refreshes; the balloons are read off Wine's notification area, the
remembered lists and the switch out of the registry, and the wire must carry
nothing but the status fetches.

With QUARROW_SHOTS=DIR set, the first balloon is also saved there as notify.png."""
import json
import os
import unittest

from tests.support import NAS_ADDR, SEAMS, SETTINGS, TestNetwork, windows_path
from tests.support.desktop import WM_COMMAND, Desktop
from tests.support.ids import APP
from tests.support.screen import screenshot, use_own_display
from tests.support.standinlog import StandInLog
from tests.support.wait import until, wait_exit

SERVER = SETTINGS + "\\" + NAS_ADDR
REFRESH_MS = 3000
FINISHED, FAILED, SUMMARY = "Download finished", "Download failed", "Quarrow"
# The demo's jobs that ended before Quarrow first sees the server.
OLD_ENDS = 5


class Notifications(unittest.TestCase):
    def setUp(self):
        use_own_display(self)  # a clean screen for the picture
        self.net = TestNetwork().__enter__()
        self.addCleanup(self.net.close)
        # Nothing moves on its own: jobs end only when the test says so.
        self.net.start_standin("--demo", "--speed", "0", "--fail-rate", "0", "--user", "admin", "--password", "secret")
        self.net.private_wine()
        self.desk = Desktop(self.net)
        self.addCleanup(self.desk.close)
        self.log = StandInLog(self.net)
        self.desk.remember_server(NAS_ADDR, "NAS")
        self.report = os.path.join(self.net.dir, "balloons.txt")
        self.reported = 0
        self.ends = 0

    # --- the stand-in and the wire -----------------------------------------
    def fetches(self):
        """Status fetches that got past the password (each is tried without one first)."""
        return self.log.status_fetches(authorized=True)

    def end_jobs(self, finish=(), fail=()):
        """The named jobs end at the server's next request."""
        self.ends += 1
        self.net.set_faults(json.dumps({"finish": list(finish), "fail": list(fail), "id": self.ends}))

    # --- Quarrow, the screen and the registry ------------------------------
    def start(self):
        before = self.fetches()
        proc = self.desk.start(SEAMS, env={"QUARROW_REFRESH_MS": str(REFRESH_MS),
                                           "QUARROW_BALLOONS": windows_path(self.report)})
        # The login prompt, left as it comes: the password is not remembered.
        login = self.desk.find("Remember my password", 60000)
        self.assertIsNotNone(login, "no login prompt")
        for control, text in ((APP.IDC_LOGIN_USER, "admin"), (APP.IDC_LOGIN_PASSWORD, "secret")):
            self.desk.set(login, control, text)
        self.desk.click(login, "OK")
        main = self.desk.find("Refresh", 60000)
        self.assertIsNotNone(main, "no main window")
        self.assertTrue(until(lambda: self.fetches() > before, 30), "no status fetch")
        return proc, main

    def exit(self, proc, main):
        self.desk.post(main, WM_COMMAND, APP.ID_MENU_EXIT)
        self.assertEqual(0, wait_exit(proc, 30), "Quarrow did not end")

    def balloons(self, seconds, count=0, new=True):
        """(text, rect) of the balloons that appear on screen within `seconds`,
        or until `count` did; `new`: not the one that was up already."""
        code, out = self.desk.ui("balloons", "-", int(seconds * 1000), count, timeout=seconds + 30)
        self.assertEqual(0, code, out)
        seen = [line.split("|") for line in out.splitlines() if line.count("|") == 2]
        return [(text, rect) for ms, text, rect in seen if ms != "0" or not new]

    def told(self, count=1):
        """The next `count` balloons, on screen and as Quarrow reported them: (title, text, icon)."""
        shown = self.balloons(12 * count, count)
        news = self.news()
        self.assertEqual([n[1] for n in news], [s[0] for s in shown], "screen and report differ")
        return news

    def quiet(self, new=True):
        """Balloons over two refreshes and the time one takes to show: none, we hope."""
        shown = [text for text, _ in self.balloons(2 * REFRESH_MS / 1000 + 3, new=new)]
        return shown + self.news()

    def news(self):
        """What Quarrow reported since the last look."""
        if not os.path.exists(self.report):
            return []
        with open(self.report, encoding="utf-8") as f:
            lines = [tuple(line.split("|")) for line in f.read().splitlines()]
        news, self.reported = lines[self.reported:], len(lines)
        return news

    def remembered(self):
        for line in self.desk.reg_query(SERVER):
            name, _, data = line.partition("    REG_MULTI_SZ    ")
            if name == "NotifiedJobs":
                return data.split("\\0")
        return None

    def setting(self):
        for line in self.desk.settings():
            if line.startswith("Notify    REG_SZ"):
                return line.split()[-1]
        return None

    def shot(self, rect):
        left, top, right, bottom = (int(v) for v in rect.split())
        # The balloon and, below it, the icon it points at.
        left, top = max(left - 40, 0), max(top - 40, 0)
        screenshot("notify", (left, top, right + 40 - left, bottom + 64 - top))

    def test_balloons_for_jobs_that_end_now_or_while_quarrow_was_not_running(self):
        # The first list of a server: the jobs that ended before are old news.
        proc, main = self.start()
        self.assertEqual([], self.quiet(new=False))
        self.assertEqual(OLD_ENDS, len(self.remembered()), self.remembered())
        self.assertIn("finished web [USB5]download/manual%2520v2.pdf", self.remembered())

        # One job finishes and one fails between two refreshes: a balloon each, in list order.
        self.end_jobs(finish=["ubuntu-24.04-desktop-amd64.iso"], fail=["linux-6.6.tar.xz"])
        first = self.balloons(20, 1)
        self.assertTrue(first, "no balloon")
        self.shot(first[0][1])
        second = self.balloons(20, 1)
        self.assertEqual(["ubuntu-24.04-desktop-amd64.iso", "linux-6.6.tar.xz"], [text for text, _ in first + second])
        self.assertEqual([(FINISHED, "ubuntu-24.04-desktop-amd64.iso", "info"),
                          (FAILED, "linux-6.6.tar.xz", "warning")], self.news())
        self.assertEqual(OLD_ENDS + 2, len(self.remembered()))
        self.assertEqual([], self.quiet())  # told once

        # Four jobs end while Quarrow is not running: one summary at the first list after the start,
        # although the login forgot the (never remembered) password in the server's settings.
        self.exit(proc, main)
        self.end_jobs(finish=["Cosmos Laundromat (2015)", "Conf\u00e9rences \u00e9t\u00e9 2023", "debian-12-dvd-set"],
                      fail=["caf\u00e9 del mar.mp3"])
        proc, main = self.start()
        self.assertEqual([(SUMMARY, "3 downloads finished, 1 failed", "warning")], self.told())
        self.assertEqual(OLD_ENDS + 6, len(self.remembered()))
        self.assertEqual(["NotifiedJobs"], [line.split()[0] for line in self.desk.reg_query(SERVER) if "REG_" in line])

        # Switched off in the main menu: remembered, and a job that ends now is only listed.
        self.desk.ui("post", main, WM_COMMAND, APP.ID_MENU_NOTIFY, 0)
        self.assertTrue(until(lambda: self.setting() == "0"))
        self.end_jobs(finish=["Sintel.2010.720p.mkv"])
        self.assertEqual([], self.quiet())
        self.assertEqual(OLD_ENDS + 7, len(self.remembered()))

        # Still off after a restart; switched on again from the tray menu, the next end is told.
        self.exit(proc, main)
        self.end_jobs(finish=["Tears.of.Steel.4k"])
        proc, main = self.start()
        self.assertEqual([], self.quiet())
        self.desk.ui("post", main, WM_COMMAND, APP.ID_TRAY_NOTIFY, 0)
        self.assertTrue(until(lambda: self.setting() == "1"))
        self.end_jobs(fail=["100% pure.ogg"])
        self.assertEqual([(FAILED, "100% pure.ogg", "warning")], self.told())
        self.assertEqual(OLD_ENDS + 9, len(self.remembered()))

        # Nothing of this reached the server: status fetches only.
        self.assertEqual({"GET /Quarrow.asp HTTP/1.0"}, {r["request_line"] for r in self.log.requests()})
        self.exit(proc, main)


if __name__ == "__main__":
    unittest.main()

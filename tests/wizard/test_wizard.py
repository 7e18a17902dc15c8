"""The set-up wizard end to end: Kestane (its test build, whose long timers can
be shortened) under Wine on the harness display, in the pc namespace of a
private network, against simulated servers (standin/mgmt_standin.py) and ICMP
stand-ins; each walk checks the screen and the datagrams together.

KESTANE_SCREENSHOT_DIR=<dir> keeps pictures of the first, the network and the
success page."""
import configparser
import os
import shutil
import time
import unittest

from tests.support import BUILD, UIDRIVER
from tests.support.desktop import Desktop, layout_faults
from tests.support.ids import KESTANE as IDS
from tests.support.mgmt import MgmtNetwork, start_icmp
from tests.support.screen import screenshot
from tests.support.wait import wait_exit

KESTANE = os.path.join(BUILD, "wizard", "KestaneSeams.exe")
SHOTS = os.environ.get("KESTANE_SCREENSHOT_DIR")

NEW = "00:11:22:33:44:55"
# What the address page may say about the search (string.ini).
NOT_FOUND = "No free address was found on your network. Please enter an address for the server."
NO_PING = ("The wizard cannot check which addresses are free on your network."
           " Please enter a free address for the server.")
TOO_LONG = "The search for a free address took too long. Please check the proposed address."
# Tests that run at another display scale than 100 %: their LogPixels.
SCALED = {"test_home_page_at_200_percent": 192}


class WizardNetwork(MgmtNetwork):
    """The wizard runs on a LAN host of its own, 10.77.0.20/24, its only
    adapter (the pc namespace's bridge ports would supply empty values).
    `dpi` is the display scale of its Wine prefix."""

    def __init__(self, dpi=None):
        super().__init__()
        self.dpi = dpi

    def place_pc(self):
        return self.net.add_host("10.77.0.20", "02:00:00:00:00:20")

    def wine_options(self):
        return {"dpi": self.dpi}


class Wizard:
    """One Kestane process and the desktop it runs on."""

    def __init__(self, env, exit_text="Exit", **extra_env):
        self.env, self.net = env, env.net
        exe = extra_env.pop("exe", KESTANE)
        self.desk = Desktop(self.net, env.pc, dict(TZ="Asia/Shanghai", **extra_env))
        self.output = os.path.join(self.net.dir, f"kestane-{time.time():.3f}.out")
        with open(self.output, "wb") as out:
            self.proc = self.desk.start(exe, output=out)
        deadline = time.time() + 40
        self.hwnd = None
        if exit_text is None:
            return
        while not self.hwnd and time.time() < deadline:
            self.hwnd = self.desk.find(exit_text, 3000)
        assert self.hwnd, f"the wizard did not show: {self.tail()}"

    def items(self):
        return self.desk.items(self.hwnd)

    def wait_visible(self, control, timeout=30, text=None):
        deadline = time.time() + timeout
        while time.time() < deadline:
            item = self.items().get(control)
            if item and item[0] and (text is None or text in item[2]):
                return item[2]
            time.sleep(0.2)
        raise AssertionError(f"control {control} not shown{' with ' + text if text else ''}: {self.items()}"
                             f" {self.proc.poll()} {self.tail()}")

    def tail(self):
        with open(self.output, "rb") as f:
            return f.read()[-1500:].decode(errors="replace")

    def press(self, control):
        code, out = self.desk.ui("command", self.hwnd, control)
        assert code == 0, (control, code, out[-500:], self.proc.poll())

    def type(self, control, text):
        code, out = self.desk.ui("set", self.hwnd, control, text)
        assert code == 0, (control, code, out[-500:], self.proc.poll())

    def answer_box(self, text, button="OK"):
        box = self.desk.find(text, 20000)
        assert box, f"no message box showing {text!r}"
        assert self.desk.click(box, button)
        return box

    def rows(self):
        return [line.split("\t") for line in self.desk.out("lv-rows", self.hwnd, IDS.IDC_SERVER_LIST).splitlines()]

    def select_row(self, row):
        self.desk.ui("lv-select", self.hwnd, IDS.IDC_SERVER_LIST, row)

    def shot(self, name):
        if SHOTS:
            time.sleep(0.5)
            screenshot(name, (310, 292, 660, 440), SHOTS)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)


class WizardTestCase(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        if not os.path.exists(KESTANE) or not os.path.exists(UIDRIVER):
            self.skipTest("KestaneSeams.exe or uidriver.exe not built")
        self.env = WizardNetwork(SCALED.get(self._testMethodName)).__enter__()
        self.addCleanup(self.env.__exit__, None, None, None)

    def start(self, exit_text="Exit", **extra_env):
        w = Wizard(self.env, exit_text, **extra_env)
        self.addCleanup(w.close)
        return w

    def login(self, w, name, password="7315"):
        deadline = time.time() + 20
        while time.time() < deadline and not any(r and r[0] == name for r in w.rows()):
            time.sleep(0.3)
        row = [r[0] for r in w.rows()].index(name)
        w.select_row(row)
        w.press(IDS.IDC_HOME_NEXT)
        w.wait_visible(IDS.IDC_LOGIN_PWD)
        w.type(IDS.IDC_LOGIN_PWD, password)
        w.press(IDS.IDC_LOGIN_NEXT)

    def echo_times(self, mode):
        return [r["t"] for r in self.env.records("echo") if r["server"] == f"icmp-{mode}"]


class WalkTest(WizardTestCase):
    def test_new_server_with_unformatted_disks_to_the_success_page(self):
        net = self.env.net
        # The server wants a new address: the wizard looks for a free one from
        # the top of the /24 down; .253 and .252 answer pings, .251 is silent.
        self.env.server(NEW, name="NEWBOX", status=0, address="10.77.0.101", disk1=[1, 0], disk2=[1, 0],
                        address_flag=1, password="7315", pace=0.05)
        self.env.server("00:11:22:33:44:66", name="OLDBOX", status=1, address="10.77.0.150")
        for address, mode in (("10.77.0.253", "reply"), ("10.77.0.252", "reply"), ("10.77.0.251", "silent")):
            start_icmp(net, address, mode, self.env.log)

        w = self.start(KESTANE_TIMER_MS="6=1500", KESTANE_PC_DHCP="0")
        # The list: both servers with their status icons' rows, the first selected.
        deadline = time.time() + 20
        while time.time() < deadline and len(w.rows()) < 2:
            time.sleep(0.3)
        rows = w.rows()
        self.assertEqual("selected", rows[0][-1])  # the first row is selected as it comes in
        self.assertEqual([["NEWBOX", "10.77.0.101", NEW], ["OLDBOX", "10.77.0.150", "00:11:22:33:44:66"]],
                         sorted(r[:3] for r in rows))
        w.select_row([r[0] for r in rows].index("OLDBOX"))
        self.assertEqual("This server has been set up already. You can set it up again.", w.items()[IDS.IDC_NAS_STATUS][2])
        w.select_row([r[0] for r in rows].index("NEWBOX"))
        self.assertEqual("This server has not been set up yet.", w.items()[IDS.IDC_NAS_STATUS][2])
        w.shot("kestane-servers.png")

        # A second copy refuses to run.
        second = w.desk.start(KESTANE)
        w.answer_box("The Storage Server Wizard is running!")
        self.assertIsNotNone(wait_exit(second, 30))

        # A wrong password: the state and info queries go out, the password is refused.
        self.login(w, "NEWBOX", password="wrong1")
        w.answer_box("The password is not correct. Please enter the administrator password of this server.")
        queries = [r for r in self.env.records() if r["kind"] in ("state_query", "info_query") and r["server"] == "NEWBOX"]
        self.assertEqual(["state_query", "info_query"], [r["kind"] for r in queries[:2]])
        self.assertTrue(all(r["dest"] == NEW and r["len"] == 26 for r in queries))
        pc_mac = queries[0]["pc_mac"]
        self.assertNotEqual("00:00:00:00:00:00", pc_mac)

        # The right one: both disks are new, so the format page warns in red.
        w.type(IDS.IDC_LOGIN_PWD, "7315")
        search_started = time.time()
        w.press(IDS.IDC_LOGIN_NEXT)
        w.wait_visible(IDS.IDC_ERASED, text="ERASED")
        w.shot("kestane-format.png")
        self.assertIn("HDD1 and HDD2 will be partitioned and formatted.", w.items()[IDS.IDC_FORMAT_TEXT][2])
        w.press(IDS.IDC_FORMAT_NEXT)
        w.wait_visible(IDS.IDC_NEWPWD)
        w.type(IDS.IDC_NEWPWD, "Secret9")
        w.type(IDS.IDC_CONFIRMPWD, "Secret9")
        w.press(IDS.IDC_SETPWD_NEXT)
        # The free-address search decides when the network page comes.
        w.wait_visible(IDS.IDC_SETIP_NEXT, timeout=60)
        reply, silent = self.echo_times("reply"), self.echo_times("silent")
        self.assertEqual((8, 4), (len(reply), len(silent)))
        for ping in (reply[:4], reply[4:], silent):
            gaps = [b - a for a, b in zip(ping, ping[1:])]
            self.assertTrue(all(0.8 < g < 1.6 for g in gaps), gaps)  # four attempts one second apart
        self.assertTrue(3.5 < reply[4] - reply[0] < 6, reply)  # an answered ping lasts four seconds
        self.assertTrue(3.5 < silent[0] - reply[4] < 6)
        self.assertLess(silent[0] - search_started, 20)
        w.desk.ui("ip-set", w.hwnd, IDS.IDC_DNS, "10.77.0.1")
        w.shot("kestane-network.png")
        # Back to the password page and on again: the new password stays the
        # one shown and the one sent (see the configuration record below).
        w.press(IDS.IDC_SETIP_PREV)
        w.wait_visible(IDS.IDC_NEWPWD)
        self.assertEqual(("Secret9", "Secret9"), (w.items()[IDS.IDC_NEWPWD][2], w.items()[IDS.IDC_CONFIRMPWD][2]))
        w.press(IDS.IDC_SETPWD_NEXT)
        self.assertEqual("10.77.0.251", w.wait_visible(IDS.IDC_IP))
        w.press(IDS.IDC_SETIP_NEXT)

        w.wait_visible(IDS.IDC_NAME)
        w.type(IDS.IDC_NAME, "MY-NAS")
        w.press(IDS.IDC_NAME_NEXT)
        w.answer_box('The server name may contain only letters, digits and "_".')
        w.type(IDS.IDC_NAME, "MYNAS_01")
        w.press(IDS.IDC_NAME_NEXT)
        w.wait_visible(IDS.IDC_FUNCTION_NEXT)
        w.shot("kestane-services.png")
        w.press(IDS.IDC_FUNCTION_NEXT)
        w.wait_visible(IDS.IDC_TIME_NEXT)
        w.shot("kestane-time.png")
        w.press(IDS.IDC_TIME_NEXT)
        summary = w.wait_visible(IDS.IDC_SUMMARY, text="Server name")
        w.shot("kestane-confirm.png")
        for line in ("HDD1 and HDD2 will be partitioned and formatted.", "Administrator password: *******",
                     "IP address: 10.77.0.251", "Subnet mask: 255.255.255.0", "DNS server: 10.77.0.1",
                     "Server name: MYNAS_01", "BitTorrent downloads: on",
                     "Time zone: (GMT+08:00) Beijing, Chongqing, Hong Kong, Urumqi"):
            self.assertIn(line, summary)

        w.press(IDS.IDC_CONFIRM_NEXT)
        w.answer_box("The data on the disk(s) WILL BE ERASED, please confirm!")
        w.wait_visible(IDS.IDC_HANDLING, text="restarting")
        w.shot("kestane-wait.png")
        success = w.wait_visible(IDS.IDC_SUCCESS, text="has been set up", timeout=30)
        self.assertIn("has restarted", success)
        self.assertEqual("Finish", w.items()[IDS.IDC_EXIT][2])
        w.shot("kestane-success.png")

        configs = [r for r in self.env.records("config") if r["server"] == "NEWBOX"]
        self.assertEqual(1, len(configs))
        c = configs[0]
        self.assertEqual((162, NEW, pc_mac), (c["len"], c["dest"], c["pc_mac"]))
        f = c["fields"]
        self.assertEqual({"password": "Secret9", "name": "MYNAS_01", "auto": 0, "address": "10.77.0.251",
                          "mask": "255.255.255.0", "dns": "10.77.0.1", "disk1": [1, 0], "disk2": [1, 0],
                          "bt": 1, "itunes": 1, "media": 1, "timesync": 1, "dst": 0, "print": 2},
                         {k: f[k] for k in ("password", "name", "auto", "address", "mask", "dns", "disk1",
                                            "disk2", "bt", "itunes", "media", "timesync", "dst", "print")})
        tz = int.from_bytes(bytes.fromhex(c["hex"])[26 + 124:26 + 128], "little")
        self.assertEqual(48, tz)  # preselected from the PC's bias of -480 minutes

        w.press(IDS.IDC_EXIT)
        self.assertEqual(1, wait_exit(w.proc, 30))


class TroubleTest(WizardTestCase):
    def configure(self, name, timers="1=3000", **scenario):
        """Walks a server whose disks are ready and whose address is kept to
        the wait page; returns the wizard."""
        self.env.server(NEW, name=name, address="10.77.0.101", disk1=[1, 1], disk2=[1, 1], **scenario)
        w = self.start(KESTANE_PC_DHCP="0", KESTANE_TIMER_MS=timers)
        self.login(w, name)
        w.wait_visible(IDS.IDC_NEWPWD)  # disks ready, no format page
        w.press(IDS.IDC_SETPWD_NEXT)     # the server keeps its address: no search
        w.wait_visible(IDS.IDC_SETIP_NEXT)
        w.desk.ui("ip-set", w.hwnd, IDS.IDC_DNS, "10.77.0.1")
        w.press(IDS.IDC_SETIP_NEXT)
        w.wait_visible(IDS.IDC_NAME)
        w.type(IDS.IDC_NAME, name)
        w.press(IDS.IDC_NAME_NEXT)
        w.wait_visible(IDS.IDC_FUNCTION_NEXT)
        w.press(IDS.IDC_FUNCTION_NEXT)
        w.wait_visible(IDS.IDC_TIME_NEXT)
        w.press(IDS.IDC_TIME_NEXT)
        w.wait_visible(IDS.IDC_CONFIRM_NEXT)
        w.press(IDS.IDC_CONFIRM_NEXT)  # nothing to erase: no question
        return w

    def test_configuration_failures(self):
        # Failing to create the folders on disk 2. The reports come 1.2 s
        # apart against a progress time-out shortened to 3 s: each known step
        # (5) restarts it, an unknown one (13) is only not shown.
        w = self.configure("FAILBOX", fail_at=4, failure=31, pace=1.2, extra_progress=[5, 5, 13])
        text = w.wait_visible(IDS.IDC_FAIL, text="failed", timeout=40)
        self.assertEqual("Formatting HDD2 failed.  The configuration of the storage server is not complete.", text)
        self.assertEqual("10.77.0.101", self.env.records("config")[0]["fields"]["address"])
        self.assertEqual([5, 5, 13, 1], [r["sub"] for r in self.env.records("progress", "tx")])
        w.close()
        self.env.stop_servers()

        # The board is busy: the failure page says so at once, and stays
        # although the board goes on reporting steps and a restart (which
        # would show the success page after the 1.5 s restart wait).
        w = self.configure("BOARDBOX", timers="1=3000,6=1500", board_busy=True, board_busy_then_work=True, pace=0.3)
        busy = w.wait_visible(IDS.IDC_FAIL, text="busy")
        deadline = time.time() + 30
        while not self.env.records("restart", "tx") and time.time() < deadline:
            time.sleep(0.2)
        self.assertTrue(self.env.records("restart", "tx"))
        time.sleep(4)
        items = w.items()
        self.assertEqual((True, busy), (items[IDS.IDC_FAIL][0], items[IDS.IDC_FAIL][2]))
        self.assertFalse(items[IDS.IDC_SUCCESS][0])
        w.close()
        self.env.stop_servers()

        # No report at all: the progress time-out.
        w = self.configure("MUTEBOX", silent=["config"])
        begin = time.time()
        text = w.wait_visible(IDS.IDC_FAIL, text="does not answer", timeout=30)
        self.assertTrue(1.5 < time.time() - begin < 20)
        self.assertIn("The configuration of the storage server is not complete.", text)

    def test_busy_and_silent_server_at_login(self):
        # A busy server answers the state query with a progress report; in German.
        self.env.server(NEW, name="BUSYBOX", address="10.77.0.101", busy=True)
        w = self.start("Beenden", LC_ALL="de_DE.UTF-8")
        self.assertEqual("Neu suchen", w.wait_visible(IDS.IDC_RESCAN, text="Neu suchen", timeout=10))
        begin = time.time()
        self.login(w, "BUSYBOX")
        w.wait_visible(IDS.IDC_FAIL, text="Der Speicherserver ist")
        self.assertLess(time.time() - begin, 15)
        w.close()
        self.env.stop_servers()

        # A server that never answers the state query: the (shortened) time-out.
        self.env.server(NEW, name="MUTEBOX", address="10.77.0.101", silent=["state"])
        w = self.start(KESTANE_TIMER_MS="4=3000")
        self.login(w, "MUTEBOX")
        begin = time.time()
        text = w.wait_visible(IDS.IDC_FAIL, text="does not answer")
        self.assertTrue(1.5 < time.time() - begin < 20)
        self.assertIn("check that the server is switched on", text)


    def test_address_proposal_belongs_to_the_selected_server(self):
        net = self.env.net
        # SEARCHBOX wants a new address. .253 and .252 answer pings, four
        # seconds each, so every search runs past its time limit (6 s here)
        # and ends after .252 without a proposal. KEEPBOX keeps its address.
        self.env.server(NEW, name="SEARCHBOX", address="10.77.0.101", disk1=[1, 1], disk2=[1, 1], address_flag=1)
        self.env.server("00:11:22:33:44:66", name="KEEPBOX", address="10.77.0.150", disk1=[1, 1], disk2=[1, 1])
        for address in ("10.77.0.253", "10.77.0.252"):
            start_icmp(net, address, "reply", self.env.log)

        def search_ended(searches):
            deadline = time.time() + 40
            while len(self.echo_times("reply")) < 8 * searches and time.time() < deadline:
                time.sleep(0.2)
            time.sleep(2)  # the last attempt's second, then the answer reaching the dialog

        def address_page(ip, notice=None):
            if notice:
                w.answer_box(notice)
            self.assertEqual(ip, w.wait_visible(IDS.IDC_IP))
            for text in (NOT_FOUND, NO_PING, TOO_LONG):  # no (further) word about the search
                self.assertIsNone(w.desk.find(text, 300), text)

        w = self.start(KESTANE_PC_DHCP="0", KESTANE_TIMER_MS="5=6000")
        # The time limit ends before the password page is passed: no address,
        # and the same words as when nothing was found.
        self.login(w, "SEARCHBOX")
        w.wait_visible(IDS.IDC_NEWPWD)
        search_ended(1)
        w.press(IDS.IDC_SETPWD_NEXT)
        address_page("0.0.0.0", NOT_FOUND)

        # A search for SEARCHBOX is still running when KEEPBOX is chosen; its
        # end must not replace KEEPBOX's own address. (The Home command, which
        # this layout keeps hidden, is the quickest way back to the list.)
        w.press(IDS.IDC_HOME)
        w.wait_visible(IDS.IDC_SERVER_LIST)
        self.login(w, "SEARCHBOX")
        w.wait_visible(IDS.IDC_NEWPWD)
        w.press(IDS.IDC_HOME)
        w.wait_visible(IDS.IDC_SERVER_LIST)
        self.login(w, "KEEPBOX")
        w.wait_visible(IDS.IDC_NEWPWD)
        self.assertLess(len(self.echo_times("reply")), 16, "the second search ended before KEEPBOX was chosen")
        search_ended(2)
        w.press(IDS.IDC_SETPWD_NEXT)
        address_page("10.77.0.150")
        w.close()

        # No way to ping (no rights for a raw socket, no echo call): no
        # candidate is taken for free unheard, and the wizard says so.
        echoes = len(self.echo_times("reply"))
        w = self.start(KESTANE_PC_DHCP="0", KESTANE_PING="none")
        self.login(w, "SEARCHBOX")
        w.wait_visible(IDS.IDC_NEWPWD)
        w.press(IDS.IDC_SETPWD_NEXT)
        address_page("0.0.0.0", NO_PING)
        self.assertEqual(echoes, len(self.echo_times("reply")))


class ScaledTest(WizardTestCase):
    def test_home_page_at_200_percent(self):
        """At 200 % the page keeps the ini's layout, every rectangle twice as
        large, with nothing overlapping or outside the window."""
        self.env.server(NEW, name="NEWBOX", status=0, address="10.77.0.101")
        w = self.start()
        deadline = time.time() + 20
        while time.time() < deadline and not w.rows():
            time.sleep(0.3)
        w.shot("kestane-200.png")
        lines = w.desk.out("geometry", w.hwnd).splitlines()
        self.assertEqual("192", lines[0].split()[4], lines[0])
        self.assertEqual([], layout_faults(lines), "\n".join(lines))
        shown = {int(f[0]): tuple(map(int, f[1:])) for f in (line.split() for line in lines[1:])}
        ini = configparser.ConfigParser(interpolation=None)
        ini.optionxform = str
        ini.read(os.path.join(os.path.dirname(KESTANE), "image", "en", "Config.ini"), encoding="cp1252")
        page = ini["Home_Page"]
        ids = {"STATIC_SelectNAS_Position": IDS.IDC_SELECT_NAS, "LIST_HomeNASIP_Position": IDS.IDC_SERVER_LIST,
               "STATIC_NASStatus_Position": IDS.IDC_NAS_STATUS, "Home_Rescan_Position": IDS.IDC_RESCAN,
               "Home_Next_Position": IDS.IDC_HOME_NEXT, "Exit_Position": IDS.IDC_EXIT}
        for key, control in ids.items():
            x, y, width, height = (int(v) for v in page[key].replace("(", "").replace(")", "").split(","))
            self.assertEqual((2 * x, 2 * y, 2 * (x + width), 2 * (y + height)), shown[control], key)


class BrokenFilesTest(WizardTestCase):
    def install(self, name, edit=None, languages=("en",)):
        """A copy of the program whose language folders are `languages`, with
        `edit` applied to the English Config.ini text."""
        folder = os.path.join(self.env.net.dir, name)
        os.makedirs(os.path.join(folder, "image"))
        shutil.copy(KESTANE, folder)
        for language in languages:
            shutil.copytree(os.path.join(os.path.dirname(KESTANE), "image", "en"),
                            os.path.join(folder, "image", language))
        if edit:
            path = os.path.join(folder, "image", "en", "Config.ini")
            with open(path, "rb") as f:
                text = f.read().decode("cp1252")
            with open(path, "wb") as f:
                f.write(edit(text).encode("cp1252"))
        return os.path.join(folder, os.path.basename(KESTANE))

    def test_bad_rectangle_and_missing_language_folder_end_with_a_message(self):
        # A zero coordinate in the first page's layout.
        exe = self.install("badrect", lambda t: t.replace("STATIC_SelectNAS_Position=(20,52)",
                                                          "STATIC_SelectNAS_Position=(0,52)"))
        w = self.start(None, exe=exe)
        w.answer_box("The wizard's page layout could not be read. Please install the wizard again.")
        self.assertEqual(0, wait_exit(w.proc, 30))
        # Only a French folder: neither the locale's language nor English.
        w = self.start(None, exe=self.install("nolang", languages=("fr",)))
        w.answer_box("Failed to open ini file.")
        self.assertEqual(0, wait_exit(w.proc, 30))
        # A Chinese system without a Chinese folder falls back to English.
        w = self.start(LC_ALL="zh_CN.UTF-8")
        # The rescan button is busy for the first scan's four seconds.
        began = time.time()
        while time.time() - began < 15 and w.items()[IDS.IDC_RESCAN] != (True, True, "Rescan"):
            time.sleep(0.3)
        self.assertEqual((True, True, "Rescan"), w.items()[IDS.IDC_RESCAN])


if __name__ == "__main__":
    unittest.main()

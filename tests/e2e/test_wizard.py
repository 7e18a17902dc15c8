"""The set-up wizard end to end: Kestane (its test build, whose long timers can
be shortened) under Wine on the harness display, in the pc namespace of a
private network, against simulated servers (standin/mgmt_standin.py) and ICMP
stand-ins; each walk checks the screen and the datagrams together.

KESTANE_SCREENSHOT_DIR=<dir> keeps pictures of the first, the network and the
success page."""
import configparser
import os
import shutil
import subprocess
import sys
import time
import unittest

import nsrun
from apphelpers import UIDRIVER, layout_faults, wait_exit
from test_protocol import STANDIN, MgmtNetwork

BUILD = os.environ.get("QUARROW_BUILD_DIR", os.path.join(nsrun.ROOT, "build", "x86_64"))
KESTANE = os.path.join(BUILD, "wizard", "KestaneSeam.exe")
SHOTS = os.environ.get("KESTANE_SCREENSHOT_DIR")

NEW = "00:11:22:33:44:55"
# Control identifiers of the wizard dialog.
HOME, HOME_NEXT, SERVER_LIST, STATUS_LINE, RESCAN, EXIT = 1000, 1002, 1004, 1077, 1006, 1001
LOGIN_PWD, LOGIN_NEXT = 1009, 1010
FORMAT_TEXT, FORMAT_NEXT, ERASED = 1012, 1013, 1069
NEW_PWD, CONFIRM_PWD, SETPWD_NEXT = 1017, 1018, 1019
IP, DNS, SETIP_NEXT, SETIP_PREV = 1028, 1031, 1027, 1003
NAME, NAME_NEXT, FUNCTION_NEXT, TIME_NEXT = 1033, 1036, 1041, 1048
SUMMARY, CONFIRM_NEXT = 1080, 1052
HANDLING, SUCCESS, FAIL = 1053, 1054, 1055
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

    def __enter__(self):
        self.net.__enter__()
        try:
            self.pc = self.net.add_host("10.77.0.20", "02:00:00:00:00:20")
            self.net.private_wine(self.pc, dpi=self.dpi)
        except Exception:
            self.net.close()
            raise
        self.log = os.path.join(self.net.dir, "mgmt.jsonl")
        return self


class Wizard:
    """One Kestane process and the driver commands that look at it."""

    def __init__(self, env, exit_text="Exit", **extra_env):
        self.env, self.net = env, env.net
        exe = extra_env.pop("exe", KESTANE)
        self.pc_env = dict(self.net.pc_env(), TZ="Asia/Shanghai", **extra_env)
        self.output = os.path.join(self.net.dir, f"kestane-{time.time():.3f}.out")
        with open(self.output, "wb") as out:
            self.proc = subprocess.Popen(["ip", "netns", "exec", env.pc, nsrun.WINE_RUN, exe],
                                         env=self.pc_env, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        deadline = time.time() + 40
        self.hwnd = None
        if exit_text is None:
            return
        while not self.hwnd and time.time() < deadline:
            self.hwnd = self.find(exit_text, 3000)
        assert self.hwnd, f"the wizard did not show: {self.tail()}"

    def driver(self, *args, timeout=60):
        cmd = ["ip", "netns", "exec", self.env.pc, nsrun.WINE_RUN, UIDRIVER, *args]
        return subprocess.run(cmd, env=self.pc_env, capture_output=True, text=True, errors="replace",
                              timeout=timeout)

    def find(self, text, timeout_ms=20000):
        try:
            r = self.driver("find", text, str(timeout_ms), timeout=timeout_ms / 1000 + 10)
        except subprocess.TimeoutExpired:
            return None  # a window that was being made or destroyed did not answer
        return r.stdout.strip() if r.returncode == 0 else None

    def items(self):
        """{id: (visible, enabled, text)} of the dialog's controls."""
        out = {}
        for line in self.driver("items", self.hwnd).stdout.splitlines():
            parts = line.split("\t", 3)
            if len(parts) == 4:
                out[int(parts[0])] = (parts[1] == "1", parts[2] == "1", parts[3])
        return out

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
        r = self.driver("command", self.hwnd, str(control))
        assert r.returncode == 0, (control, r.returncode, r.stderr[-500:], self.proc.poll())

    def type(self, control, text):
        r = self.driver("set-text", self.hwnd, str(control), text)
        assert r.returncode == 0, (control, r.returncode, r.stderr[-500:], self.proc.poll())

    def answer_box(self, text, button="OK"):
        box = self.find(text, 20000)
        assert box, f"no message box showing {text!r}"
        assert self.driver("click", box, button).returncode == 0
        return box

    def rows(self):
        return [l.split("\t") for l in self.driver("lv-rows", self.hwnd, str(SERVER_LIST)).stdout.splitlines()]

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            with open(os.path.join(BUILD, "harness", "display")) as f:
                display = f.read().strip()
            time.sleep(0.5)
            subprocess.run(["import", "-display", display, "-window", "root", "-crop", "660x440+310+292",
                            "+repage", os.path.join(SHOTS, name)], check=False)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)


class WizardTestCase(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        if not os.path.exists(KESTANE) or not os.path.exists(UIDRIVER):
            self.skipTest("KestaneSeam.exe or uidriver.exe not built")
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
        w.driver("lv-select", w.hwnd, str(SERVER_LIST), str(row))
        w.press(HOME_NEXT)
        w.wait_visible(LOGIN_PWD)
        w.type(LOGIN_PWD, password)
        w.press(LOGIN_NEXT)

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
            net.start_program(net.add_host(address), [sys.executable, STANDIN, "--icmp", mode, "--log", self.env.log])

        w = self.start(KESTANE_TIMER_MS="6=1500", KESTANE_PC_DHCP="0")
        # The list: both servers with their status icons' rows, the first selected.
        deadline = time.time() + 20
        while time.time() < deadline and len(w.rows()) < 2:
            time.sleep(0.3)
        rows = w.rows()
        self.assertEqual("selected", rows[0][-1])  # the first row is selected as it comes in
        self.assertEqual([["NEWBOX", "10.77.0.101", NEW], ["OLDBOX", "10.77.0.150", "00:11:22:33:44:66"]],
                         sorted(r[:3] for r in rows))
        w.driver("lv-select", w.hwnd, str(SERVER_LIST), str([r[0] for r in rows].index("OLDBOX")))
        self.assertEqual("This server has been set up already. You can set it up again.", w.items()[STATUS_LINE][2])
        w.driver("lv-select", w.hwnd, str(SERVER_LIST), str([r[0] for r in rows].index("NEWBOX")))
        self.assertEqual("This server has not been set up yet.", w.items()[STATUS_LINE][2])
        w.shot("kestane-servers.png")

        # A second copy refuses to run.
        second = subprocess.Popen(["ip", "netns", "exec", self.env.pc, nsrun.WINE_RUN, KESTANE], env=w.pc_env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
        w.type(LOGIN_PWD, "7315")
        search_started = time.time()
        w.press(LOGIN_NEXT)
        w.wait_visible(ERASED, text="ERASED")
        w.shot("kestane-format.png")
        self.assertIn("HDD1 and HDD2 will be partitioned and formatted.", w.items()[FORMAT_TEXT][2])
        w.press(FORMAT_NEXT)
        w.wait_visible(NEW_PWD)
        w.type(NEW_PWD, "Secret9")
        w.type(CONFIRM_PWD, "Secret9")
        w.press(SETPWD_NEXT)
        # The free-address search decides when the network page comes.
        w.wait_visible(SETIP_NEXT, timeout=60)
        reply, silent = self.echo_times("reply"), self.echo_times("silent")
        self.assertEqual((8, 4), (len(reply), len(silent)))
        for ping in (reply[:4], reply[4:], silent):
            gaps = [b - a for a, b in zip(ping, ping[1:])]
            self.assertTrue(all(0.8 < g < 1.6 for g in gaps), gaps)  # four attempts one second apart
        self.assertTrue(3.5 < reply[4] - reply[0] < 6, reply)  # an answered ping lasts four seconds
        self.assertTrue(3.5 < silent[0] - reply[4] < 6)
        self.assertLess(silent[0] - search_started, 20)
        w.driver("ip-set", w.hwnd, str(DNS), "10.77.0.1")
        w.shot("kestane-network.png")
        # Back to the password page and on again: the new password stays the
        # one shown and the one sent (see the configuration record below).
        w.press(SETIP_PREV)
        w.wait_visible(NEW_PWD)
        self.assertEqual(("Secret9", "Secret9"), (w.items()[NEW_PWD][2], w.items()[CONFIRM_PWD][2]))
        w.press(SETPWD_NEXT)
        self.assertEqual("10.77.0.251", w.wait_visible(IP))
        w.press(SETIP_NEXT)

        w.wait_visible(NAME)
        w.type(NAME, "MY-NAS")
        w.press(NAME_NEXT)
        w.answer_box('The server name may contain only letters, digits and "_".')
        w.type(NAME, "MYNAS_01")
        w.press(NAME_NEXT)
        w.wait_visible(FUNCTION_NEXT)
        w.shot("kestane-services.png")
        w.press(FUNCTION_NEXT)
        w.wait_visible(TIME_NEXT)
        w.shot("kestane-time.png")
        w.press(TIME_NEXT)
        summary = w.wait_visible(SUMMARY, text="Server name")
        w.shot("kestane-confirm.png")
        for line in ("HDD1 and HDD2 will be partitioned and formatted.", "Administrator password: *******",
                     "IP address: 10.77.0.251", "Subnet mask: 255.255.255.0", "DNS server: 10.77.0.1",
                     "Server name: MYNAS_01", "BitTorrent downloads: on",
                     "Time zone: (GMT+08:00) Beijing, Chongqing, Hong Kong, Urumqi"):
            self.assertIn(line, summary)

        w.press(CONFIRM_NEXT)
        w.answer_box("The data on the disk(s) WILL BE ERASED, please confirm!")
        w.wait_visible(HANDLING, text="restarting")
        w.shot("kestane-wait.png")
        success = w.wait_visible(SUCCESS, text="has been set up", timeout=30)
        self.assertIn("has restarted", success)
        self.assertEqual("Finish", w.items()[EXIT][2])
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

        w.press(EXIT)
        self.assertEqual(1, wait_exit(w.proc, 30))


class TroubleTest(WizardTestCase):
    def configure(self, name, timers="1=3000", **scenario):
        """Walks a server whose disks are ready and whose address is kept to
        the wait page; returns the wizard."""
        self.env.server(NEW, name=name, address="10.77.0.101", disk1=[1, 1], disk2=[1, 1], **scenario)
        w = self.start(KESTANE_PC_DHCP="0", KESTANE_TIMER_MS=timers)
        self.login(w, name)
        w.wait_visible(NEW_PWD)  # disks ready, no format page
        w.press(SETPWD_NEXT)     # the server keeps its address: no search
        w.wait_visible(SETIP_NEXT)
        w.driver("ip-set", w.hwnd, str(DNS), "10.77.0.1")
        w.press(SETIP_NEXT)
        w.wait_visible(NAME)
        w.type(NAME, name)
        w.press(NAME_NEXT)
        w.wait_visible(FUNCTION_NEXT)
        w.press(FUNCTION_NEXT)
        w.wait_visible(TIME_NEXT)
        w.press(TIME_NEXT)
        w.wait_visible(CONFIRM_NEXT)
        w.press(CONFIRM_NEXT)  # nothing to erase: no question
        return w

    def test_configuration_failures(self):
        # Failing to create the folders on disk 2. The reports come 1.2 s
        # apart against a progress time-out shortened to 3 s: each known step
        # (5) restarts it, an unknown one (13) is only not shown.
        w = self.configure("FAILBOX", fail_at=4, failure=31, pace=1.2, extra_progress=[5, 5, 13])
        text = w.wait_visible(FAIL, text="failed", timeout=40)
        self.assertEqual("Formatting HDD2 failed.  The configuration of the storage server is not complete.", text)
        self.assertEqual("10.77.0.101", self.env.records("config")[0]["fields"]["address"])
        self.assertEqual([5, 5, 13, 1], [r["sub"] for r in self.env.records("progress", "tx")])
        w.close()
        self.env.stop_servers()

        # The board is busy: the failure page says so at once, and stays
        # although the board goes on reporting steps and a restart (which
        # would show the success page after the 1.5 s restart wait).
        w = self.configure("BOARDBOX", timers="1=3000,6=1500", board_busy=True, board_busy_then_work=True, pace=0.3)
        busy = w.wait_visible(FAIL, text="busy")
        deadline = time.time() + 30
        while not self.env.records("restart", "tx") and time.time() < deadline:
            time.sleep(0.2)
        self.assertTrue(self.env.records("restart", "tx"))
        time.sleep(4)
        items = w.items()
        self.assertEqual((True, busy), (items[FAIL][0], items[FAIL][2]))
        self.assertFalse(items[SUCCESS][0])
        w.close()
        self.env.stop_servers()

        # No report at all: the progress time-out.
        w = self.configure("MUTEBOX", silent=["config"])
        begin = time.time()
        text = w.wait_visible(FAIL, text="does not answer", timeout=30)
        self.assertTrue(1.5 < time.time() - begin < 20)
        self.assertIn("The configuration of the storage server is not complete.", text)

    def test_busy_and_silent_server_at_login(self):
        # A busy server answers the state query with a progress report; in German.
        self.env.server(NEW, name="BUSYBOX", address="10.77.0.101", busy=True)
        w = self.start("Beenden", LC_ALL="de_DE.UTF-8")
        self.assertEqual("Neu suchen", w.wait_visible(RESCAN, text="Neu suchen", timeout=10))
        begin = time.time()
        self.login(w, "BUSYBOX")
        w.wait_visible(FAIL, text="Der Speicherserver ist")
        self.assertLess(time.time() - begin, 15)
        w.close()
        self.env.stop_servers()

        # A server that never answers the state query: the (shortened) time-out.
        self.env.server(NEW, name="MUTEBOX", address="10.77.0.101", silent=["state"])
        w = self.start(KESTANE_TIMER_MS="4=3000")
        self.login(w, "MUTEBOX")
        begin = time.time()
        text = w.wait_visible(FAIL, text="does not answer")
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
            net.start_program(net.add_host(address), [sys.executable, STANDIN, "--icmp", "reply", "--log", self.env.log])

        def search_ended(searches):
            deadline = time.time() + 40
            while len(self.echo_times("reply")) < 8 * searches and time.time() < deadline:
                time.sleep(0.2)
            time.sleep(2)  # the last attempt's second, then the answer reaching the dialog

        def address_page(ip, notice=None):
            if notice:
                w.answer_box(notice)
            self.assertEqual(ip, w.wait_visible(IP))
            for text in (NOT_FOUND, NO_PING, TOO_LONG):  # no (further) word about the search
                self.assertIsNone(w.find(text, 300), text)

        w = self.start(KESTANE_PC_DHCP="0", KESTANE_TIMER_MS="5=6000")
        # The time limit ends before the password page is passed: no address,
        # and the same words as when nothing was found.
        self.login(w, "SEARCHBOX")
        w.wait_visible(NEW_PWD)
        search_ended(1)
        w.press(SETPWD_NEXT)
        address_page("0.0.0.0", NOT_FOUND)

        # A search for SEARCHBOX is still running when KEEPBOX is chosen; its
        # end must not replace KEEPBOX's own address. (The Home command, which
        # this layout keeps hidden, is the quickest way back to the list.)
        w.press(HOME)
        w.wait_visible(SERVER_LIST)
        self.login(w, "SEARCHBOX")
        w.wait_visible(NEW_PWD)
        w.press(HOME)
        w.wait_visible(SERVER_LIST)
        self.login(w, "KEEPBOX")
        w.wait_visible(NEW_PWD)
        self.assertLess(len(self.echo_times("reply")), 16, "the second search ended before KEEPBOX was chosen")
        search_ended(2)
        w.press(SETPWD_NEXT)
        address_page("10.77.0.150")
        w.close()

        # No way to ping (no rights for a raw socket, no echo call): no
        # candidate is taken for free unheard, and the wizard says so.
        echoes = len(self.echo_times("reply"))
        w = self.start(KESTANE_PC_DHCP="0", KESTANE_PING="none")
        self.login(w, "SEARCHBOX")
        w.wait_visible(NEW_PWD)
        w.press(SETPWD_NEXT)
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
        lines = w.driver("geometry", w.hwnd).stdout.splitlines()
        self.assertEqual("192", lines[0].split()[4], lines[0])
        self.assertEqual([], layout_faults(lines), "\n".join(lines))
        shown = {int(f[0]): tuple(map(int, f[1:])) for f in (line.split() for line in lines[1:])}
        ini = configparser.ConfigParser(interpolation=None)
        ini.optionxform = str
        ini.read(os.path.join(os.path.dirname(KESTANE), "image", "en", "Config.ini"), encoding="cp1252")
        page = ini["Home_Page"]
        ids = {"STATIC_SelectNAS_Position": 1070, "LIST_HomeNASIP_Position": SERVER_LIST,
               "STATIC_NASStatus_Position": STATUS_LINE, "Home_Rescan_Position": RESCAN,
               "Home_Next_Position": HOME_NEXT, "Exit_Position": EXIT}
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
        while time.time() - began < 15 and w.items()[RESCAN] != (True, True, "Rescan"):
            time.sleep(0.3)
        self.assertEqual((True, True, "Rescan"), w.items()[RESCAN])


if __name__ == "__main__":
    unittest.main()

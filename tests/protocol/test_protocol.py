"""Management protocol end to end: the Windows test driver under Wine in the pc
namespace against simulated servers (standin/mgmt_standin.py) in namespace
hosts of the same private LAN. Nothing leaves the namespaces: the network has
a Wine prefix of its own whose wineserver runs in the pc namespace."""
import os
import re
import struct
import subprocess
import sys
import unittest

from tests.support import TestNetwork
from tests.support.mgmt import DRIVER, MgmtNetwork

SERVER = "00:11:22:33:44:55"
OTHER_PC = "02:99:99:99:99:99"


class ProtocolTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("network namespaces need root")
        if not os.path.exists(DRIVER):
            raise unittest.SkipTest("protocol_driver.exe not built")
        cls.env = MgmtNetwork().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.env.__exit__(None, None, None)

    def tearDown(self):
        self.env.stop_servers()


class DiscoveryTest(ProtocolTestCase):
    def test_probe_bytes_and_the_three_probe_burst(self):
        self.env.server(SERVER)
        self.assertIn("sent 1", self.env.run("probe").stdout)
        probes = self.env.records("probe")
        self.assertEqual(1, len(probes))
        self.assertEqual("ffffffffffff0004fffb", probes[0]["hex"])
        self.assertEqual("10.77.0.10", probes[0]["source"])

        os.unlink(self.env.log)
        self.env.run("probes", "3")
        times = [r["t"] for r in self.env.records("probe")]
        self.assertEqual(3, len(times))
        for a, b in zip(times, times[1:]):
            self.assertGreater(b - a, 0.08)

    def test_console_lists_each_server_once_and_nothing_malformed(self):
        name32 = "N" * 30 + "32"
        bad = "00:DE:AD:00:00:0%d"
        self.env.server(SERVER, name=name32, status=1, address="10.77.0.101", discovery={"repeat": 2}, discovery_extra=[
            {"mac": bad % 1, "byte66": 1, "name": "BAD66"},
            {"mac": bad % 2, "byte68": 6, "name": "BAD68"},
            {"mac": bad % 3, "length": 68, "name": "SHORT"},   # marker byte 68 cut off
            {"mac": bad % 4, "length": 2000, "name": "HUGE"},  # larger than the receive buffer
            {"mac": bad % 5, "length": 69, "name": "TINY", "status": 3},  # just long enough: status reads 0
        ])
        self.env.server("00:11:22:33:44:66", name="BETA", status=3, address="10.77.0.150")
        r = self.env.run("ctl-discover", "--wait", "1500")
        self.assertEqual(0, r.returncode, r.stderr)
        lines = [l.rsplit(None, 3) for l in r.stdout.splitlines()]
        self.assertEqual(sorted([[name32, "10.77.0.101", "00:11:22:33:44:55", "configured"],
                                 ["TINY", "10.77.0.101", "00:DE:AD:00:00:05", "new"],
                                 ["BETA", "10.77.0.150", "00:11:22:33:44:66", "busy"]]), sorted(lines))
        self.assertIn("3 server(s) found", r.stderr)

    def test_a_flood_fills_the_table_and_no_more(self):
        self.env.server(SERVER, name="REAL", flood=180)
        out = self.env.run("discover", "2000").stdout
        rows = [int(m) for m in re.findall(r"^found (\d+) ", out, re.M)]
        self.assertEqual(list(range(100)), rows)
        self.assertRegex(out, r"end stopped rows=100")
        self.assertRegex(out, r"found 0 10\.77\.0\.\d+ 00:11:22:33:44:55 0 REAL")

    def test_no_server_answers(self):
        r = self.env.run("ctl-discover", "--wait", "300")
        self.assertEqual(1, r.returncode)
        self.assertEqual("", r.stdout)

    def test_without_a_route_the_listener_still_stops(self):
        # No broadcast leaves the PC: neither the probe nor the wake-up probe.
        net = self.env.net
        net.sh(net.pc, "ip route del default")
        try:
            r = self.env.run("ctl-discover", "--wait", "300")
        finally:
            net.sh(net.pc, "ip route add default dev br0")
        self.assertEqual((1, "", "0 server(s) found\n"), (r.returncode, r.stdout, r.stderr))

    def test_a_port_held_by_another_program_is_not_no_servers(self):
        net = self.env.net
        holder = net.start_program(net.pc, [sys.executable, "-c", "import socket, time\n"
                                            "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                                            "s.bind(('', 13365)); print('listening', flush=True); time.sleep(60)"])
        try:
            r = self.env.run("ctl-discover", "--wait", "300")
        finally:
            holder.kill()
            holder.wait(5)
        self.assertEqual(2, r.returncode, r.stderr)
        self.assertIn("discover: cannot listen on UDP port 13365", r.stderr)

    def test_each_listener_stops_on_its_flag_and_a_probe(self):
        for kind in ("discovery", "state", "config"):
            out = self.env.run("listen-stop", kind).stdout
            self.assertIn("listening 1", out, kind)
            self.assertIn("running 1", out, kind)  # the blocking receive had nothing to wake it
            m = re.search(r"stopped 1 after (\d+) ms listening=0", out)
            self.assertTrue(m, out)
            self.assertLess(int(m.group(1)), 900, kind)  # the first probe did it


class StateTest(ProtocolTestCase):
    def test_state_then_info_ignoring_replies_for_others(self):
        self.env.server(SERVER, raid=1, disk1=[1, 0], disk2=[1, 1], password="s3cret", address_flag=1,
                        state_address="192.168.9.9", info=["FW 2.1", "NS-4"],
                        state_decoy={"pc_mac": OTHER_PC, "password": "decoy"},
                        info_decoy_mac="00:11:22:33:44:77", info_pc_mac=OTHER_PC)
        out = self.env.run("state", SERVER, "5000").stdout
        states = re.findall(r"^state .*$", out, re.M)
        self.assertEqual(["state raid=1 disk1=1,0 disk2=1,1 flag=1 address=192.168.9.9 password=s3cret"], states)
        self.assertEqual(["info FW 2.1|NS-4"], re.findall(r"^info .*$", out, re.M))
        self.assertIn("end self stopped", out)
        # Both queries were addressed to the server and carried the PC's MAC.
        pc_mac = re.search(r"refreshed (\S+)", out).group(1)
        queries = self.env.records("state_query") + self.env.records("info_query")
        self.assertEqual(2, len(queries))
        for q, code in zip(queries, (1, 3)):
            raw = bytes.fromhex(q["hex"])
            self.assertEqual(26, len(raw))
            self.assertEqual(bytes.fromhex("001122334455") + b"\x00\x02\xff\xfd", raw[:10])
            self.assertEqual(pc_mac, q["pc_mac"])
            self.assertEqual(b"\0\0", raw[16:18])
            self.assertTrue(0 <= q["txn"] <= 32767)
            self.assertEqual(code, struct.unpack_from("<i", raw, 22)[0])

    def test_busy_server_ends_the_query_without_info(self):
        self.env.server(SERVER, busy=True)
        out = self.env.run("state", SERVER, "5000").stdout
        self.assertIn("busy", out.split())
        self.assertIn("end self stopped", out)
        self.assertEqual([], self.env.records("info_query"))

    def test_a_state_reply_for_another_pc_only_times_out(self):
        self.env.server(SERVER, state_pc_mac=OTHER_PC)
        out = self.env.run("state", SERVER, "1500").stdout
        self.assertNotIn("state ", out)
        self.assertIn("end timeout stopped", out)


def expected_record(**f):
    r = bytearray(136)
    r[0:5] = bytes([f["raid"], f["d1p"], f["d1r"], f["d2p"], f["d2r"]])
    r[5:5 + len(f["password"])] = f["password"].encode()
    r[45:45 + len(f["name"])] = f["name"].encode()
    r[85] = f["auto"]
    for off, key in ((86, "ip"), (90, "mask"), (94, "gateway"), (98, "dns")):
        r[off:off + 4] = bytes(int(x) for x in f[key].split("."))
    r[110:120] = bytes([f["bt"], f["itunes"], f["media"], f["timesync"], f["dst"], *f["dststart"], *f["dstend"], 2])
    struct.pack_into("<iq", r, 124, f["timezone"], f["clock"])
    return bytes(r)


class ConfigurationTest(ProtocolTestCase):
    def test_filled_record_and_the_reported_operations(self):
        self.env.server(SERVER, extra_progress=[13], config_decoy_pc_mac=OTHER_PC)
        out = self.env.run("config", SERVER, "8000", "raid=1", "disk1=1,0", "disk2=1,1", "password=pw!",
                           "name=MEDIA_BOX", "auto=0", "ip=10.77.0.200", "mask=255.255.255.0",
                           "gateway=10.77.0.1", "dns=10.77.0.53", "itunes=0", "dst=1", "dststart=3/31",
                           "dstend=10/27", "timezone=12", "clock=1700000000").stdout
        progress = [int(x) for x in re.findall(r"^progress (\d+) ", out, re.M)]
        self.assertEqual([1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12], progress)  # 13 ignored
        self.assertIn("progress 3 portiation_format", out)
        self.assertNotIn("failure", out)  # the failure report was for another PC
        self.assertTrue(out.rstrip().endswith("restart\nend self stopped"), out)

        configs = self.env.records("config")
        self.assertEqual(1, len(configs))
        raw = bytes.fromhex(configs[0]["hex"])
        self.assertEqual(162, len(raw))
        self.assertEqual(bytes.fromhex("001122334455") + b"\x00\x02\xff\xfd", raw[:10])
        self.assertEqual(2, struct.unpack_from("<i", raw, 22)[0])
        self.assertEqual(expected_record(raid=1, d1p=1, d1r=0, d2p=1, d2r=1, password="pw!", name="MEDIA_BOX",
                                         auto=0, ip="10.77.0.200", mask="255.255.255.0", gateway="10.77.0.1",
                                         dns="10.77.0.53", bt=1, itunes=0, media=1, timesync=1, dst=1,
                                         dststart=[3, 31], dstend=[10, 27], timezone=12, clock=1700000000),
                         raw[26:])

    def test_failure_without_detail_ends_the_run(self):
        self.env.server(SERVER, fail_at=3, failure=3)
        out = self.env.run("config", SERVER, "8000", "disk1=1,0").stdout
        self.assertEqual(["1"], re.findall(r"^progress (\d+) ", out, re.M))
        self.assertIn("failure 3", out)
        self.assertNotIn("restart", out)
        self.assertIn("end self stopped", out)

    def test_board_busy_keeps_the_listener_running(self):
        self.env.server(SERVER, board_busy=True)
        out = self.env.run("config", SERVER, "1500").stdout
        self.assertIn("boardbusy", out)
        self.assertIn("end timeout stopped", out)


class AdapterTest(unittest.TestCase):
    def test_with_two_adapters_the_second_supplies_the_values(self):
        if os.geteuid() != 0 or not os.path.exists(DRIVER):
            self.skipTest("needs root and protocol_driver.exe")
        with TestNetwork() as net:
            host = net.add_host("10.77.0.30", "02:00:00:00:00:30")
            # A second adapter whose far end lies unused in the nas namespace.
            net.sh(host, "ip link add qsec0 address 02:00:00:00:00:31 type veth peer name qsec1;"
                         f" ip link set qsec1 netns {net.nas}; ip addr add 10.99.0.5/16 dev qsec0; ip link set qsec0 up")
            net.private_wine(host)
            r = net.run_in(host, [DRIVER, "adapters"], capture_output=True, text=True, timeout=60)
            # The system lists adapters by interface index; the one listed last supplies everything.
            links = subprocess.run(["ip", "netns", "exec", host, "ip", "-o", "link"], capture_output=True,
                                   text=True).stdout
            order = sorted((int(i), mac) for i, name, mac in
                           re.findall(r"^(\d+): (\S+?)[@:].*?link/ether (\S+)", links, re.M))
            last = order[-1][1].upper()
            ip, mask = {"02:00:00:00:00:30": ("10.77.0.30", "255.255.255.0"),
                        "02:00:00:00:00:31": ("10.99.0.5", "255.255.0.0")}[last]
            self.assertIn(f"adapters 2 mac={last} ", r.stdout)
            self.assertIn(f" ip={ip} mask={mask} ", r.stdout)


if __name__ == "__main__":
    unittest.main()

"""The wizard's ping under Wine in the pc namespace against namespace hosts
that answer through the kernel, stay silent, answer only the second echo, or
answer with another identifier (standin/mgmt_standin.py --icmp); through the
raw socket and through IP Helper's echo call."""
import os
import re
import struct
import unittest

from tests.support.mgmt import DRIVER, MgmtNetwork, start_icmp
from tests.support.standinlog import records


def checksum_ok(data):
    s = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    return s == 0xFFFF


class PingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0 or not os.path.exists(DRIVER):
            raise unittest.SkipTest("needs root and protocol_driver.exe")
        cls.env = MgmtNetwork().__enter__()
        net = cls.env.net
        net.add_host("10.77.0.40")  # the kernel answers
        for n, mode in ((41, "second"), (42, "other-id"), (43, "silent")):
            start_icmp(net, f"10.77.0.{n}", mode, cls.env.log)
        # Hosts for the echo call, with a log of their own.
        cls.api_log = os.path.join(net.dir, "api-hosts.jsonl")
        for n, mode in ((44, "second"), (45, "silent")):
            start_icmp(net, f"10.77.0.{n}", mode, cls.api_log)

    @classmethod
    def tearDownClass(cls):
        cls.env.__exit__(None, None, None)

    def ping(self, address, *route):
        out = self.env.run("ping", address, *route).stdout
        m = re.search(r"result (\d) elapsed (\d+)", out)
        self.assertTrue(m, out)
        return out, m.group(1) == "1", int(m.group(2))

    def echoes(self, source_mode, log=None):
        return [r for r in records(log or self.env.log) if r["server"] == f"icmp-{source_mode}"]

    def test_echo_call_where_no_raw_socket_opens(self):
        # Without administrator rights no raw socket opens and the ping takes
        # IP Helper's echo call; "api" makes it do so here, where Wine runs as
        # root. The same four attempts, the same answers, the same echo data.
        for address, answers, replies in (("10.77.0.40", True, 4), ("10.77.0.44", True, 1),
                                          ("10.77.0.42", False, 0), ("10.77.0.45", False, 0)):
            with self.subTest(address):
                out, answered, _ = self.ping(address, "api")
                self.assertEqual(answers, answered, out)
                self.assertNotIn("impossible", out)
                self.assertEqual(replies, len(re.findall(rf"^44 bytes from {re.escape(address)}:", out, re.M)), out)
                self.assertEqual(4 - replies, out.count("Request timed out.\n"), out)
        echoes = self.echoes("second", self.api_log)
        self.assertEqual(4, len(echoes))
        self.assertEqual(4, len(self.echoes("silent", self.api_log)))
        for e in echoes:
            raw = bytes.fromhex(e["hex"])
            self.assertEqual((44, 8), (len(raw), raw[0]))
            self.assertEqual(b"\x16" * 32, raw[12:])
        # No route at all: nothing is sent, and the caller hears that it is
        # not a silence.
        out, answered, _ = self.ping("10.77.0.45", "none")
        self.assertFalse(answered)
        self.assertIn("impossible", out)
        self.assertEqual(4, len(self.echoes("silent", self.api_log)))

    def test_answering_host(self):
        out, answered, elapsed = self.ping("10.77.0.40")
        self.assertTrue(answered)
        self.assertGreaterEqual(elapsed, 3900)  # one second per attempt, answered or not
        self.assertLess(elapsed, 6500)
        self.assertIn("\nPinging 10.77.0.40 ....\n\n", out)
        lines = re.findall(r"^64 bytes from 10\.77\.0\.40: icmp_seq = (\d+)\.  time: \d+ ms $", out, re.M)
        self.assertEqual(4, len(lines), out)
        seqs = [int(s) for s in lines]
        self.assertEqual(list(range(seqs[0], seqs[0] + 4)), seqs)

    def test_host_answering_only_the_second_echo(self):
        out, answered, _ = self.ping("10.77.0.41")
        self.assertTrue(answered, out)
        self.assertEqual(1, len(re.findall(r"^64 bytes from 10\.77\.0\.41:", out, re.M)))
        self.assertIn("Request timed out.\n", out)
        # The requests on the wire: 44 bytes, type 8, filler 0x16, valid
        # checksum, one process identifier, sequence numbers one apart.
        echoes = self.echoes("second")
        self.assertEqual(4, len(echoes))
        for e in echoes:
            raw = bytes.fromhex(e["hex"])
            self.assertEqual(44, len(raw))
            self.assertEqual((8, 0), (raw[0], raw[1]))
            self.assertEqual(b"\x16" * 32, raw[12:])
            self.assertTrue(checksum_ok(raw))
        self.assertEqual(1, len({e["ident"] for e in echoes}))
        seqs = [e["seq"] for e in echoes]
        self.assertEqual([seqs[0] + i for i in range(4)], seqs)

    def test_replies_with_another_identifier_do_not_count(self):
        out, answered, _ = self.ping("10.77.0.42")
        self.assertFalse(answered, out)
        self.assertEqual(4, out.count("someone else''s packet!\n"))

    def test_silent_host_takes_four_seconds(self):
        out, answered, elapsed = self.ping("10.77.0.43")
        self.assertFalse(answered)
        # Four attempts one second apart; a second of waiting after each
        # timed-out second would make it eight.
        self.assertGreaterEqual(elapsed, 4000)
        self.assertLess(elapsed, 6500)
        self.assertEqual(4, out.count("Request timed out.\n"))
        self.assertEqual(4, len(self.echoes("silent")))


if __name__ == "__main__":
    unittest.main()

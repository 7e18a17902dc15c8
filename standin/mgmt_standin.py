#!/usr/bin/env python3
"""Stand-in for the storage server's management side (UDP port 13365), and an
ICMP echo responder for ping tests. Python 3 standard library only.

One process plays one server; tests start one per namespace host. It answers
discovery probes, state and info queries and configuration commands the way a
server does (every datagram to 255.255.255.255:13365), and can be told through
a scenario to misbehave. Every datagram received and sent is logged as a JSON
line: {"t", "server", "dir": "rx"|"tx", "kind", "len", "hex", ...}.

    mgmt_standin.py --mac 00:11:22:33:44:55 --name NAS --address 10.77.0.2 \
                    [--status 0] [--scenario FILE | --scenario-json TEXT] [--log FILE]
    mgmt_standin.py --icmp silent|second|other-id|reply [--log FILE]

It refuses to run in the machine's own network namespace: everything it sends
is broadcast, and the ICMP modes switch the kernel's echo replies off.
"""
import argparse
import json
import os
import random
import socket
import struct
import sys
import threading
import time

PORT = 13365
BROADCAST = ("255.255.255.255", PORT)

# Configuration steps as the server reports them (progress sub-codes).
TIME_SET, DISABLE_RAID, FORMAT, CATALOGUE, SHARE, BT, ITUNES, MEDIA, NAME, PWD, NETWORK, PRINT = range(1, 13)


def mac_bytes(text):
    parts = text.split(":")
    if len(parts) != 6:
        raise ValueError(f"bad MAC {text!r}")
    return bytes(int(p, 16) for p in parts)


def mac_text(b):
    return ":".join(f"{x:02X}" for x in b)


def text_field(text, size):
    raw = text.encode("latin-1") if isinstance(text, str) else bytes(text)
    return raw[:size].ljust(size, b"\0")


def cut_text(raw):
    return raw.split(b"\0", 1)[0].decode("latin-1")


def in_own_namespace():
    """True inside a namespace made with "ip netns add" (the tests' own)."""
    try:
        here = os.stat("/proc/self/ns/net")
        for name in os.listdir("/var/run/netns"):
            other = os.stat(os.path.join("/var/run/netns", name))
            if (other.st_dev, other.st_ino) == (here.st_dev, here.st_ino):
                return True
    except OSError:
        pass
    return False


class Log:
    def __init__(self, path, server):
        self.path, self.server = path, server
        self.lock = threading.Lock()

    def write(self, direction, kind, data, **extra):
        if not self.path:
            return
        record = {"t": round(time.time(), 4), "server": self.server, "dir": direction, "kind": kind,
                  "len": len(data), "hex": data.hex(), **extra}
        line = (json.dumps(record) + "\n").encode()
        with self.lock:
            fd = os.open(self.path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
            try:
                os.write(fd, line)
            finally:
                os.close(fd)


def parse_config(record):
    """The 136-byte configuration record as a dict."""
    f = {
        "raid": record[0], "disk1": [record[1], record[2]], "disk2": [record[3], record[4]],
        "password": cut_text(record[5:45]), "name": cut_text(record[45:85]), "auto": record[85],
        "address": ".".join(map(str, record[86:90])), "mask": ".".join(map(str, record[90:94])),
        "gateway": ".".join(map(str, record[94:98])), "dns": ".".join(map(str, record[98:102])),
        "bt": record[110], "itunes": record[111], "media": record[112], "timesync": record[113],
        "dst": record[114], "dststart": [record[115], record[116]], "dstend": [record[117], record[118]],
        "print": record[119],
    }
    f["timezone"], f["clock"] = struct.unpack_from("<iq", record, 124)
    return f


def operations(config):
    """The steps a server would work through for this record, in order."""
    ops = [TIME_SET]
    if config["raid"] == 1:
        ops.append(DISABLE_RAID)
    disks = [d for d in (config["disk1"], config["disk2"]) if d[0]]
    if any(not ready for _, ready in disks):
        ops.append(FORMAT)
    if disks:
        ops += [CATALOGUE, SHARE]
    ops += [BT, ITUNES, MEDIA, NAME, PWD, NETWORK, PRINT]
    return ops


class Server:
    """One simulated server. Scenario keys (all optional):

    raid, disk1 [present, ready], disk2, password, address_flag, state_address,
    info [text1, text2], busy (answer state queries with code 20),
    pace (seconds between configuration reports, default 0.05),
    fail_at (step sub-code) with failure (failure sub-code, default 30),
    board_busy (answer a configuration with code 0 and nothing else;
        with board_busy_then_work, go on with the steps and the restart after it),
    extra_progress [sub-codes reported first], silent ["discovery"|"state"|"info"|"config"],
    state_pc_mac / info_pc_mac (MAC written at offset 10 instead of the PC's),
    state_decoy {"pc_mac", "password"} (a state reply for another PC, sent first),
    info_decoy_mac (an info reply from another server MAC, sent first),
    config_decoy_pc_mac (a failure report for another PC, sent first),
    discovery {"byte66", "byte68", "length", "repeat", "name_hex", "normal"},
    discovery_extra [variants as above, sent before the reply],
    flood N (N discovery replies with made-up MACs after the real one).
    """

    def __init__(self, mac, name, address, status, scenario, log):
        self.mac, self.name, self.address, self.status = mac, name, address, status
        self.sc, self.log = scenario, log
        self.configuring = False
        self.sock = None

    # --- sending -----------------------------------------------------------
    def send(self, kind, data, **extra):
        self.sock.sendto(data, BROADCAST)
        self.log.write("tx", kind, data, **extra)

    def discovery_reply(self, v):
        d = bytearray(max(128, v.get("length", 128)))
        d[0:6] = mac_bytes(v["mac"]) if "mac" in v else self.mac
        d[6], d[7], d[8], d[9] = 0x01, 0x04, 0xFE, 0xFB
        name = bytes.fromhex(v["name_hex"]) if "name_hex" in v else v.get("name", self.name)
        d[10:42] = text_field(name, 32)
        d[42:46] = socket.inet_aton(v.get("address", self.address))
        d[46:50] = socket.inet_aton("255.255.255.0")
        d[66] = v.get("byte66", 0x00)
        d[68] = v.get("byte68", 0x07)
        d[70] = v.get("status", self.status)
        return bytes(d[:v.get("length", 80)])

    def frame(self, pc_mac, code, sub=0, length=30, server_mac=None, txn=b"\0\0\0\0"):
        d = bytearray(length)
        d[0:6] = server_mac or self.mac
        d[6], d[7], d[8], d[9] = 0x01, 0x02, 0xFE, 0xFD
        d[10:16] = pc_mac
        d[18:22] = txn
        struct.pack_into("<ii", d, 22, code, sub)
        return d

    def state_reply(self, pc_mac, txn, password=None):
        d = self.frame(pc_mac, 1, length=140, txn=txn)
        d[26] = self.sc.get("raid", 0)
        d[28], d[29] = self.sc.get("disk1", [1, 1])
        d[30], d[31] = self.sc.get("disk2", [0, 0])
        d[36:66] = text_field(password if password is not None else self.sc.get("password", "7315"), 30)
        d[116] = self.sc.get("address_flag", 0)
        d[117:121] = socket.inet_aton(self.sc.get("state_address", self.address))
        d[121:125] = socket.inet_aton("255.255.255.0")
        return bytes(d)

    def info_reply(self, pc_mac, txn, server_mac=None):
        d = self.frame(pc_mac, 21, length=160, server_mac=server_mac, txn=txn)
        t1, t2 = ["decoy", "decoy"] if server_mac else self.sc.get("info", ["FW 1.0.7", "NS-2"])
        d[52:102] = text_field(t1, 50)
        d[102:152] = text_field(t2, 50)
        return bytes(d)

    # --- receiving ---------------------------------------------------------
    def handle(self, data, source):
        if len(data) == 10 and data[:6] == b"\xff" * 6 and data[6:8] == b"\x00\x04":
            self.log.write("rx", "probe", data, source=source[0])
            if "discovery" not in self.sc.get("silent", []):
                self.answer_probe()
            return
        if len(data) >= 26 and data[6] == 0x00 and data[7] == 0x02:
            code = struct.unpack_from("<i", data, 22)[0]
            pc_mac, txn = data[10:16], data[18:22]
            kind = {1: "state_query", 2: "config", 3: "info_query"}.get(code, "command")
            extra = {"code": code, "txn": struct.unpack_from("<i", data, 18)[0], "pc_mac": mac_text(pc_mac),
                     "dest": mac_text(data[0:6]), "source": source[0]}
            if code == 2 and len(data) >= 162:
                extra["fields"] = parse_config(data[26:162])
            self.log.write("rx", kind, data, **extra)
            if data[0:6] != self.mac:
                return
            if code == 1:
                self.answer_state(pc_mac, txn)
            elif code == 3:
                self.answer_info(pc_mac, txn)
            elif code == 2 and len(data) >= 162:
                threading.Thread(target=self.configure, args=(pc_mac, txn, parse_config(data[26:162])),
                                 daemon=True).start()
            return
        self.log.write("rx", "other", data, source=source[0])

    def answer_probe(self):
        for v in self.sc.get("discovery_extra", []):
            for _ in range(v.get("repeat", 1)):
                self.send("discovery_reply", self.discovery_reply(v), variant=v)
        main = self.sc.get("discovery", {})
        if main.get("normal", True):
            for _ in range(main.get("repeat", 1)):
                self.send("discovery_reply", self.discovery_reply(main))
        for i in range(self.sc.get("flood", 0)):
            fake = {"mac": "02:F0:%02X:%02X:%02X:%02X" % (i >> 24 & 255, i >> 16 & 255, i >> 8 & 255, i & 255),
                    "name": f"FLOOD{i}", "address": f"10.88.{i >> 8 & 255}.{i & 255}"}
            self.sock.sendto(self.discovery_reply(fake), BROADCAST)
            if i % 50 == 49:
                time.sleep(0.005)  # keep the receiver's socket buffer from overflowing
        if self.sc.get("flood"):
            self.log.write("tx", "flood", b"", count=self.sc["flood"])

    def answer_state(self, pc_mac, txn):
        if "state" in self.sc.get("silent", []):
            return
        if self.sc.get("busy") or self.configuring:
            self.send("busy", bytes(self.frame(pc_mac, 20, sub=5, txn=txn)))
            return
        decoy = self.sc.get("state_decoy")
        if decoy:
            self.send("state_reply", self.state_reply(mac_bytes(decoy["pc_mac"]), txn, decoy.get("password", "decoy")),
                      decoy=True)
        shown = mac_bytes(self.sc["state_pc_mac"]) if "state_pc_mac" in self.sc else pc_mac
        self.send("state_reply", self.state_reply(shown, txn))

    def answer_info(self, pc_mac, txn):
        if "info" in self.sc.get("silent", []):
            return
        if "info_decoy_mac" in self.sc:
            self.send("info_reply", self.info_reply(pc_mac, txn, server_mac=mac_bytes(self.sc["info_decoy_mac"])),
                      decoy=True)
        shown = mac_bytes(self.sc["info_pc_mac"]) if "info_pc_mac" in self.sc else pc_mac
        self.send("info_reply", self.info_reply(shown, txn))

    def configure(self, pc_mac, txn, config):
        if "config" in self.sc.get("silent", []):
            return
        if self.sc.get("board_busy"):
            self.send("board_busy", bytes(self.frame(pc_mac, 0, txn=txn)))
            if not self.sc.get("board_busy_then_work"):
                return
        self.configuring = True
        pace = self.sc.get("pace", 0.05)
        try:
            if "config_decoy_pc_mac" in self.sc:
                self.send("failure", bytes(self.frame(mac_bytes(self.sc["config_decoy_pc_mac"]), 19, 2, txn=txn)),
                          decoy=True)
            for sub in self.sc.get("extra_progress", []):
                self.send("progress", bytes(self.frame(pc_mac, 20, sub, txn=txn)), sub=sub)
                time.sleep(pace)
            for op in operations(config):
                if op == self.sc.get("fail_at"):
                    sub = self.sc.get("failure", 30)
                    self.send("failure", bytes(self.frame(pc_mac, 19, sub, txn=txn)), sub=sub)
                    self.status = 2
                    return
                self.send("progress", bytes(self.frame(pc_mac, 20, op, txn=txn)), sub=op)
                time.sleep(pace)
            self.send("restart", bytes(self.frame(pc_mac, 18, txn=txn)))
            self.status = 1
            self.name = config["name"] or self.name
        finally:
            self.configuring = False

    def serve(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        self.sock.bind(("0.0.0.0", PORT))
        print(f"mgmt standin {mac_text(self.mac)} listening", flush=True)
        while True:
            data, source = self.sock.recvfrom(65535)
            if data[6:7] == b"\x01":
                continue  # another server's reply (or our own)
            try:
                self.handle(data, source)
            except Exception as e:  # one odd datagram must not end the server
                print(f"mgmt standin: {e!r}", file=sys.stderr, flush=True)


def icmp_checksum(data):
    if len(data) % 2:
        data += b"\0"
    s = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    return ~s & 0xFFFF


def icmp_responder(mode, log):
    """Answers echo requests itself, with the kernel's own answers switched off."""
    with open("/proc/sys/net/ipv4/icmp_echo_ignore_all", "w") as f:
        f.write("1")
    s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    print(f"icmp standin {mode} listening", flush=True)
    seen = 0
    while True:
        packet, source = s.recvfrom(65535)
        header = (packet[0] & 0x0F) * 4
        icmp = packet[header:]
        if len(icmp) < 8 or icmp[0] != 8:
            continue
        seen += 1
        ident, seq = struct.unpack_from("<HH", icmp, 4)
        log.write("rx", "echo", icmp, source=source[0], number=seen, ident=ident, seq=seq)
        if mode == "silent" or (mode == "second" and seen != 2):
            continue
        reply = bytearray(icmp)
        reply[0] = 0
        if mode == "other-id":
            struct.pack_into("<H", reply, 4, ident ^ 0x5A5A)
        reply[2:4] = b"\0\0"
        reply[2:4] = struct.pack("!H", icmp_checksum(bytes(reply)))
        s.sendto(bytes(reply), (source[0], 0))
        log.write("tx", "echo_reply", bytes(reply), dest=source[0])


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--mac", default="00:11:22:33:44:55")
    p.add_argument("--name", default="STORAGE_SERVER")
    p.add_argument("--address", default="10.77.0.2", help="address carried in the replies")
    p.add_argument("--status", type=int, default=0, help="0 new, 1 configured, 2 failed, 3 busy")
    p.add_argument("--scenario", help="scenario JSON file")
    p.add_argument("--scenario-json", help="scenario as JSON text")
    p.add_argument("--icmp", choices=["silent", "second", "other-id", "reply"])
    p.add_argument("--log")
    p.add_argument("--seed", type=int)
    args = p.parse_args()
    if not in_own_namespace():
        print("mgmt standin: refusing to run in the machine's own network namespace", file=sys.stderr)
        return 2
    random.seed(args.seed)
    if args.icmp:
        icmp_responder(args.icmp, Log(args.log, f"icmp-{args.icmp}"))
        return 0
    scenario = {}
    if args.scenario:
        with open(args.scenario) as f:
            scenario.update(json.load(f))
    if args.scenario_json:
        scenario.update(json.loads(args.scenario_json))
    server = Server(mac_bytes(args.mac), args.name, args.address, args.status, scenario, Log(args.log, args.name))
    try:
        server.serve()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Simulated storage servers answering the management protocol
(standin/mgmt_standin.py), each on a host of a test network, and the Windows
test driver of the protocol."""
import json
import os
import sys

from . import BUILD
from .nsrun import ROOT, TestNetwork
from .standinlog import records

STANDIN = os.path.join(ROOT, "standin", "mgmt_standin.py")
DRIVER = os.path.join(BUILD, "tests", "protocol", "protocol_driver.exe")


def start_server(net, ns, log, mac, name, address, *extra, **scenario):
    """A simulated server in namespace `ns` of `net`, logging to `log`; `scenario`
    tells it how to behave (see the stand-in)."""
    return net.start_program(ns, [sys.executable, STANDIN, "--mac", mac, "--name", name, "--address", address,
                                  "--log", log, *extra, "--scenario-json", json.dumps(scenario)])


def start_icmp(net, address, mode, log):
    """A host at `address` that answers pings as `mode` says (see the stand-in)."""
    return net.start_program(net.add_host(address), [sys.executable, STANDIN, "--icmp", mode, "--log", log])


class MgmtNetwork:
    """A test network with simulated servers; each server gets its own host.
    Windows programs run in `pc` (the network's pc namespace unless a subclass
    puts them elsewhere), with a Wine prefix of their own there."""

    def __init__(self):
        self.net = TestNetwork()
        self.driver = DRIVER if os.path.exists(DRIVER) else None
        self.servers = []
        self.count = 0

    def __enter__(self):
        self.net.__enter__()
        try:
            self.pc = self.place_pc()
            self.net.private_wine(self.pc, **self.wine_options())
        except Exception:
            self.net.close()
            raise
        self.log = os.path.join(self.net.dir, "mgmt.jsonl")
        return self

    def place_pc(self):
        return self.net.pc

    def wine_options(self):
        return {}

    def __exit__(self, *exc):
        self.net.close()

    def server(self, mac, name="STORAGE_SERVER", status=0, address=None, **scenario):
        self.count += 1
        address = address or f"10.77.0.{100 + self.count}"
        host = self.net.add_host(address, mac)
        self.servers.append(start_server(self.net, host, self.log, mac, name, address, "--status", str(status),
                                         **scenario))
        return host

    def stop_servers(self):
        for proc in self.servers:
            proc.terminate()
            proc.wait(5)
        self.servers = []
        if os.path.exists(self.log):
            os.unlink(self.log)

    def run(self, *args, ns=None, timeout=60):
        """The protocol driver with `args`, in `ns` (default: the network's pc namespace), to its end."""
        return self.net.run_in(ns or self.net.pc, [self.driver, *args], timeout=timeout, capture_output=True, text=True)

    def records(self, kind=None, direction="rx"):
        return records(self.log, kind, direction)

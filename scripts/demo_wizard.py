#!/usr/bin/env python3
"""The wizard demo: Kestane against a simulated new storage server (two
unformatted disks, the default password 7315) in a private network. On the
current display when DISPLAY is set (runs until Kestane ends or Ctrl-C),
otherwise on a private Xvfb display, with a screenshot written to
build/demo-wizard.png."""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from tests.support import nsrun  # noqa: E402

ROOT = nsrun.ROOT
BUILD = os.path.join(ROOT, "build", "x86_64")
MGMT_STANDIN = os.path.join(ROOT, "standin", "mgmt_standin.py")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--screenshot", default=os.path.join(ROOT, "build", "demo-wizard.png"))
    parser.add_argument("--seconds", type=float, default=10, help="wait before the screenshot (Xvfb only)")
    args = parser.parse_args()
    os.environ["QUARROW_BUILD_DIR"] = BUILD
    harness = os.path.join(ROOT, "scripts", "harness")
    own_display = not os.environ.get("DISPLAY")
    if own_display:
        subprocess.run([harness, "start", BUILD], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(BUILD, "harness", "display")) as f:
            os.environ["DISPLAY"] = f.read().strip()
    try:
        with nsrun.TestNetwork() as net:
            # The wizard's PC is a host of the LAN with one adapter of its own.
            pc = net.add_host("10.77.0.20", "02:00:00:00:00:20")
            server = net.add_host("10.77.0.2", "00:11:22:33:44:55")
            net.start_program(server, [sys.executable, MGMT_STANDIN, "--mac", "00:11:22:33:44:55", "--name",
                                       "STORAGE_SERVER", "--address", "10.77.0.2", "--status", "0",
                                       "--scenario-json", '{"disk1": [1, 0], "disk2": [1, 0], "pace": 1.0}',
                                       "--log", os.path.join(net.dir, "mgmt.jsonl")])
            net.private_wine(pc)
            kestane = os.path.join(BUILD, "wizard", "Kestane.exe")
            print(f"demo: a new storage server at 10.77.0.2 (password 7315); starting Kestane on "
                  f"{os.environ['DISPLAY']}")
            proc = subprocess.Popen(["ip", "netns", "exec", pc, nsrun.WINE_RUN, kestane], env=net.pc_env())
            if own_display:
                time.sleep(args.seconds)
                subprocess.run(["import", "-window", "root", args.screenshot], check=True)
                print(f"demo: screenshot written to {args.screenshot}")
                proc.kill()
            else:
                try:
                    proc.wait()
                except KeyboardInterrupt:
                    proc.kill()
    finally:
        if own_display:
            subprocess.run([harness, "stop", BUILD], stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The demo, in a private network: Quarrow connected to the stand-in server with a handful
of jobs (the default), or Kestane against a simulated new storage server (two unformatted
disks, the default password 7315). On the current display when DISPLAY is set (runs until the
program ends or Ctrl-C), otherwise on a private Xvfb display, with a screenshot written to
build/demo.png (build/demo-wizard.png for Kestane)."""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from tests.support import nsrun  # noqa: E402

ROOT = nsrun.ROOT
BUILD = os.path.join(ROOT, "build", "x86_64")
KEY = r"HKCU\SOFTWARE\Storage Server\Quarrow"
USER, PASSWORD = "admin", "admin"
MGMT_STANDIN = os.path.join(ROOT, "standin", "mgmt_standin.py")


def quarrow(net):
    """The stand-in with its demo jobs, and Quarrow remembering it: (pc namespace, program)."""
    net.start_standin("--demo", "--user", USER, "--password", PASSWORD, "--speed", "262144")
    net.private_wine()
    # What the server selection and the login would remember.
    for key, value, data in ((KEY, "DefaultServer", nsrun.NAS_ADDR),
                             (KEY, "DefaultServerDisplayName", "STORAGE_SERVER"),
                             (KEY + "\\" + nsrun.NAS_ADDR, "User", USER),
                             (KEY + "\\" + nsrun.NAS_ADDR, "Password", PASSWORD)):
        net.run_pc(["/usr/lib/wine/wine64", "reg", "add", key, "/v", value, "/d", data, "/f"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print(f"demo: stand-in server at {nsrun.NAS_ADDR} (user {USER}, password {PASSWORD})")
    return net.pc, os.path.join(BUILD, "app", "Quarrow.exe")


def kestane(net):
    """A new storage server on the LAN, and the wizard on a PC with one adapter of its own."""
    pc = net.add_host("10.77.0.20", "02:00:00:00:00:20")
    server = net.add_host("10.77.0.2", "00:11:22:33:44:55")
    net.start_program(server, [sys.executable, MGMT_STANDIN, "--mac", "00:11:22:33:44:55", "--name",
                               "STORAGE_SERVER", "--address", "10.77.0.2", "--status", "0",
                               "--scenario-json", '{"disk1": [1, 0], "disk2": [1, 0], "pace": 1.0}',
                               "--log", os.path.join(net.dir, "mgmt.jsonl")])
    net.private_wine(pc)
    print("demo: a new storage server at 10.77.0.2 (password 7315)")
    return pc, os.path.join(BUILD, "wizard", "Kestane.exe")


PROGRAMS = {"quarrow": (quarrow, "demo.png", 12), "kestane": (kestane, "demo-wizard.png", 10)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program", nargs="?", choices=sorted(PROGRAMS), default="quarrow")
    parser.add_argument("--screenshot", help="where the screenshot goes (Xvfb only)")
    parser.add_argument("--seconds", type=float, help="wait before the screenshot (Xvfb only)")
    args = parser.parse_args()
    prepare, shot, seconds = PROGRAMS[args.program]
    screenshot = args.screenshot or os.path.join(ROOT, "build", shot)
    os.environ["QUARROW_BUILD_DIR"] = BUILD
    harness = os.path.join(ROOT, "scripts", "harness")
    own_display = not os.environ.get("DISPLAY")
    if own_display:
        subprocess.run([harness, "start", BUILD], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(BUILD, "harness", "display")) as f:
            os.environ["DISPLAY"] = f.read().strip()
    try:
        with nsrun.TestNetwork() as net:
            pc, program = prepare(net)
            print(f"demo: starting {os.path.basename(program)} on {os.environ['DISPLAY']}")
            proc = subprocess.Popen(["ip", "netns", "exec", pc, nsrun.WINE_RUN, program], env=net.pc_env())
            if own_display:
                time.sleep(args.seconds if args.seconds is not None else seconds)
                subprocess.run(["import", "-window", "root", screenshot], check=True)
                print(f"demo: screenshot written to {screenshot}")
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

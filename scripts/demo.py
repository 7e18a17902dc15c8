#!/usr/bin/env python3
"""The demo: the stand-in server with a handful of jobs in a private network,
and Quarrow connected to it. On the current display when DISPLAY is set (runs
until Quarrow is closed or Ctrl-C), otherwise on a private Xvfb display, with a
screenshot written to build/demo.png."""
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--screenshot", default=os.path.join(ROOT, "build", "demo.png"))
    parser.add_argument("--seconds", type=float, default=12, help="wait before the screenshot (Xvfb only)")
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
            net.start_standin("--demo", "--user", USER, "--password", PASSWORD, "--speed", "262144")
            net.private_wine()
            wine = "/usr/lib/wine/wine64"
            # What the server selection and the login would remember.
            for key, value, data in ((KEY, "DefaultServer", nsrun.NAS_ADDR),
                                     (KEY, "DefaultServerDisplayName", "STORAGE_SERVER"),
                                     (KEY + "\\" + nsrun.NAS_ADDR, "User", USER),
                                     (KEY + "\\" + nsrun.NAS_ADDR, "Password", PASSWORD)):
                net.run_pc([wine, "reg", "add", key, "/v", value, "/d", data, "/f"], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            quarrow = os.path.join(BUILD, "app", "Quarrow.exe")
            print(f"demo: stand-in server at {nsrun.NAS_ADDR} (user {USER}, password {PASSWORD}); "
                  f"starting Quarrow on {os.environ['DISPLAY']}")
            proc = subprocess.Popen(["ip", "netns", "exec", net.pc, nsrun.WINE_RUN, quarrow], env=net.pc_env())
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

#!/usr/bin/env python3
"""Stand-in for the storage server's web interface.

    python3 standin/nas_standin.py [--port N] [--bind ADDR] [--user U --password P]
                                   [--demo] [--log FILE] [--dump-dir DIR] [--faults FILE] ...

Options, log format, fault keys and page shapes: standin/README.md.
"""

import argparse
import json
import os
import signal
import sys

if __package__ in (None, ""):
    # Run as a script: make the package importable from the repository root.
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    __package__ = "standin"

from standin import demo                       # noqa: E402
from standin.faults import Faults              # noqa: E402
from standin.model import DEFAULT_PATH, DEFAULT_TREE, DISK_LABELS, Job, Model  # noqa: E402
from standin.reqlog import RequestLog          # noqa: E402
from standin.server import Server, StandIn     # noqa: E402


def parse_args(argv=None):
    p = argparse.ArgumentParser(description="Stand-in storage server (web interface).")
    p.add_argument("--port", type=int, default=80, help="TCP port (default 80; 0 = any free)")
    p.add_argument("--bind", default="0.0.0.0", help="address to bind (default 0.0.0.0)")
    p.add_argument("--user", help="require HTTP Basic authentication with this user name")
    p.add_argument("--password", default="", help="password for --user (default empty)")
    p.add_argument("--realm", default="Storage Server", help="authentication realm")
    p.add_argument("--demo", action="store_true", help="start with demo jobs in mixed states")
    p.add_argument("--fill-bt", type=int, default=0, metavar="N",
                   help="start with N plain BT jobs (load tests)")
    p.add_argument("--fill-web", type=int, default=0, metavar="M",
                   help="start with M plain Web/FTP jobs, past the usual limit of 64 (load tests)")
    p.add_argument("--alternate", metavar="N,M",
                   help="every second status page lists only the first N BT and M Web/FTP jobs")
    p.add_argument("--long-names", action="store_true",
                   help="bulk jobs get long names of two lines (with --fill-bt/--fill-web)")
    p.add_argument("--speed", type=float, default=1048576,
                   help="download speed per job in bytes/s (default 1048576; 0 freezes jobs)")
    p.add_argument("--fail-rate", type=float, default=0.1,
                   help="chance that a new job fails on its way (default 0.1)")
    p.add_argument("--seed", type=int, help="random seed (repeatable failures)")
    p.add_argument("--bt-slots", type=int, default=3, help="BT jobs downloading at once")
    p.add_argument("--web-slots", type=int, default=2, help="Web/FTP jobs downloading at once")
    p.add_argument("--trying-seconds", type=float, default=4.0,
                   help="how long a new BT job stays 'trying' (default 4)")
    p.add_argument("--bt-off", action="store_true", help="start with the BT service off")
    p.add_argument("--web-off", action="store_true", help="start with the Web/FTP service off")
    p.add_argument("--disks", help="comma-separated disks, e.g. HDD1,HDD2,RAID "
                   "(default HDD1,HDD2; empty = no disk)")
    p.add_argument("--tree", help="JSON file with the folder tree: "
                   '{"[HDD1]": {"Movies": {"New": {}}}, ...}; its keys are the disks')
    p.add_argument("--default-path", default=DEFAULT_PATH,
                   help="the server's default save path (default %(default)s)")
    p.add_argument("--no-usb-error", action="store_true",
                   help="answer ERR_NO_USB on nasopenroot.asp when there is no disk")
    p.add_argument("--page-encoding", default="utf-8",
                   help="the PC's ANSI code page as this server assumes it: decodes typed "
                        "texts (save paths, folder paths, user) and encodes the default-path, "
                        "disk and folder pages (default utf-8; the status page is always "
                        "UTF-8)")
    p.add_argument("--status-version", default="1.0", help='"version" of the status document')
    p.add_argument("--log", help="append every request as one JSON line to this file")
    p.add_argument("--dump-dir", help="write every raw request to DIR/NNNNNN.bin")
    p.add_argument("--faults", help="JSON fault file, re-read at every request")
    p.add_argument("--verbose", action="store_true", help="print each request line to stderr")
    return p.parse_args(argv)


def build_tree(args):
    if args.tree:
        with open(args.tree, encoding="utf-8") as f:
            tree = json.load(f)
    else:
        tree = dict(DEFAULT_TREE)
    if args.disks is not None:
        names = ["[%s]" % d.strip().strip("[]") for d in args.disks.split(",") if d.strip()]
        tree = {d: tree.get(d, {}) for d in names}
    for disk in tree:
        if disk not in DISK_LABELS:
            print("standin: warning: %s is not a disk label the server uses" % disk,
                  file=sys.stderr)
    return tree


def fill_jobs(model, bt_count, web_count, long_names=False):
    """Plain jobs in bulk for load tests: "fill-bt-001"..., "fill-web-0001.bin"...
    They bypass the add checks, so the Web/FTP list can grow past its limit.
    Long names run to some 300 characters over two lines."""
    tail = ("-" + "long name part " * 20 + "\nsecond line") if long_names else ""
    with model.lock:
        for n in range(1, bt_count + 1):
            job = model._new_bt("fill-bt-%03d%s" % (n, tail), n * 1048576, model.default_path, 0)
            job.info_hash = "fill:%d" % n
            model.bt_jobs.append(job)
        for n in range(1, web_count + 1):
            name = "fill-web-%04d.bin" % n
            job = Job("web", name.replace(".bin", tail + ".bin"), n * 65536, model.default_path)
            job.url = "http://files.example.com/fill/" + name
            model.web_jobs.append(job)


def make_standin(args):
    model = Model(speed=args.speed, fail_rate=args.fail_rate, seed=args.seed,
                  tree=build_tree(args), default_path=args.default_path,
                  bt_slots=args.bt_slots, web_slots=args.web_slots,
                  trying_seconds=args.trying_seconds, status_version=args.status_version)
    model.bt_enabled = not args.bt_off
    model.web_enabled = not args.web_off
    if args.demo:
        demo.fill(model)
    fill_jobs(model, args.fill_bt, args.fill_web, args.long_names)
    alternate = tuple(int(n) for n in args.alternate.split(",")) if args.alternate else None
    return StandIn(model, RequestLog(args.log, args.dump_dir), Faults(args.faults),
                   user=args.user, password=args.password, realm=args.realm,
                   page_encoding=args.page_encoding, no_usb_error=args.no_usb_error,
                   verbose=args.verbose, alternate=alternate)


def main(argv=None):
    args = parse_args(argv)
    app = make_standin(args)
    server = Server((args.bind, args.port), app)

    def stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    host, port = server.server_address[:2]
    print("standin listening on %s:%d" % (host, port), flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
        app.log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

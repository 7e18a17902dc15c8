#!/usr/bin/env python3
"""Benchmark: the device client (through quarrowctl) against floors measured
in the same run, on a private namespace link to the stand-in server: a bare
socket client sending the same request bytes, and two floor clients of this
project (bench/) that do the same through the same WinINet and MSXML under
the same Wine with nothing of the client around it: one request with the Basic
header from the start, and the status page fetched in 1000-byte reads and
walked once.

    scripts/bench.py [--build DIR] [--runs N] [--status-runs N] [--out FILE]

(a) one control operation ("bt on"), (b) a status refresh of 32 BT and 1000
Web/FTP jobs, (c) quarrowctl's peak memory for (b) against a baseline that
only logs in. Times are per operation, medians of --runs runs for (a) and
--status-runs for (b) (a refresh of that size takes about a second); quarrowctl
times exclude its process start and its login (hidden option --repeat).

With --window, instead: the main window's figures (window_figures below), the
real program beside a minimal Win32 dialog program built for the purpose, under
the same Wine in the same run: time from process start to the first job list
drawn, and peak memory with 32 BT and 1000 Web/FTP jobs shown.
"""
import argparse
import json
import os
import platform
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from tests.support.nsrun import NAS_ADDR, ROOT, WINE_RUN, TestNetwork, windows_path  # noqa: E402
from tests.support.screen import _end_display, own_display  # noqa: E402

USER, PASSWORD = "admin", "bench"
ROUNDS = 10

# Runs in the pc namespace: sends the captured request bytes on a fresh
# connection per run (HTTP/1.0, the server closes), reads to the end, and
# prints one time in microseconds per run.
BARE_CLIENT = r"""
import socket, sys, time
raw = open(sys.argv[1], "rb").read()
runs = int(sys.argv[2])
for _ in range(runs):
    start = time.perf_counter_ns()
    s = socket.create_connection((sys.argv[3], 80))
    s.sendall(raw)
    total = 0
    while True:
        chunk = s.recv(65536)
        if not chunk:
            break
        total += len(chunk)
    s.close()
    print((time.perf_counter_ns() - start) // 1000, total)
"""


def machine():
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        wine = subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        wine = "unknown"
    return {"nproc": os.cpu_count(), "cpu": model, "wine": wine, "kernel": platform.release()}


class Bench:
    def __init__(self, net, exe, floors_dir):
        self.net, self.exe, self.floors_dir = net, exe, floors_dir

    def ctl(self, *args):
        r = self.net.run_pc([self.exe, "-u", USER, "-p", PASSWORD, *args], capture_output=True, timeout=600)
        if r.returncode != 0:
            raise RuntimeError("quarrowctl %s failed: %s" % (" ".join(args), r.stderr.decode("cp1252")))
        return r.stdout.decode("cp1252")

    def requests(self):
        with open(self.net.log_path) as f:
            return [json.loads(line) for line in f]

    def client_times(self, runs, *command):
        """Per-run times of the command inside one quarrowctl process, and how
        the requests the stand-in logged meanwhile."""
        before = len(self.requests())
        out = self.ctl("--repeat", str(runs), *command)
        times = [int(l.split(":")[1]) for l in out.splitlines() if l.startswith("time_us:")]
        return times, self.requests()[before:]

    def captured(self, path):
        """The last authenticated request for `path`, byte for byte, from the dump."""
        for r in reversed(self.requests()):
            if r["path"].lstrip("/") == path and any(k.lower() == "authorization" for k, _ in r["headers"]):
                with open(os.path.join(self.net.dump_dir, "%06d.bin" % r["seq"]), "rb") as f:
                    return f.read()
        raise RuntimeError("no authenticated request for " + path)

    def bare_times(self, runs, raw):
        raw_path = os.path.join(self.net.dir, "bench-request.bin")
        script = os.path.join(self.net.dir, "bare_client.py")
        with open(raw_path, "wb") as f:
            f.write(raw)
        with open(script, "w") as f:
            f.write(BARE_CLIENT)
        r = self.net.run_pc([sys.executable, script, raw_path, str(runs), NAS_ADDR], capture_output=True,
                            text=True, timeout=600)
        if r.returncode != 0:
            raise RuntimeError("bare client failed: " + r.stderr)
        rows = [l.split() for l in r.stdout.splitlines()]
        return [int(t) for t, _ in rows], int(rows[-1][1])

    def floor_times(self, name, runs):
        """Per-run lines of a floor client, as dicts of their numeric fields."""
        rows = []
        for line in self.floor_output(name, runs).splitlines():
            if line.startswith("time_us:"):
                rows.append({k: int(v) for k, v in re.findall(r"([a-z]+)(?:_us)?: (\d+)", line)})
        return rows

    def floor_output(self, name, runs):
        exe = os.path.join(self.floors_dir, name + ".exe")
        r = self.net.run_pc([exe, NAS_ADDR, USER, PASSWORD, str(runs)], capture_output=True, timeout=600)
        if r.returncode != 0:
            raise RuntimeError("%s failed: %s" % (name, r.stderr.decode("cp1252")))
        return r.stdout.decode("cp1252")

    def floor_memory(self, name, repeat=5):
        """Median peak working set and pagefile usage of a floor client doing one run."""
        return self._median_memory(lambda: self.floor_output(name, 1), repeat)

    def memory(self, *command, repeat=5):
        return self._median_memory(lambda: self.ctl("--report-memory", *command), repeat)

    def _median_memory(self, run, repeat):
        """Median peak working set and peak pagefile usage over a few processes."""
        sets, files = [], []
        for _ in range(repeat):
            line = [l for l in run().splitlines() if l.startswith("memory:")][-1]
            fields = dict(f.split("=") for f in line.split()[1:])
            sets.append(int(fields["peak_working_set"]))
            files.append(int(fields["peak_pagefile"]))
        return statistics.median(sets), statistics.median(files)


def low(values):
    """10th percentile."""
    v = sorted(values)
    return v[len(v) // 10]


def after_login(sent):
    """The requests after the login probe (the first authenticated status page)."""
    for i, r in enumerate(sent):
        if r["path"].lstrip("/") == "Quarrow.asp" and any(k.lower() == "authorization" for k, _ in r["headers"]):
            return sent[i + 1:]
    return sent


def ms(us):
    return "%.2f ms" % (us / 1000.0)


def mib(n):
    return "%.1f MiB" % (n / 1048576.0)


# ------------------------------------------------------------------ main window

SETTINGS = r"HKCU\SOFTWARE\Storage Server\Quarrow"


def startup_report(net, argv, env=()):
    """Runs a program that writes the start-up report (tests/harness/startup_report.h)
    to the file its command names; returns (ms since process creation, peak
    working set, peak pagefile usage, ms from Exit to the end of the process
    or None)."""
    path = os.path.join(net.dir, "startup-report.txt")
    if os.path.exists(path):
        os.unlink(path)
    command = [arg.replace("{report}", windows_path(path)) for arg in argv]
    net.run_pc(["env", "QUARROW_REPORT=" + windows_path(path), *env, WINE_RUN, *command], timeout=900,
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ended = time.time() * 1000.0
    with open(path) as f:
        lines = f.read().split("\n")
    ms_, working_set, pagefile = lines[0].split()
    exit_ms = ended - float(lines[1]) if len(lines) > 1 and lines[1].strip() else None
    return float(ms_), int(working_set), int(pagefile), exit_ms


def window_network(net, *standin_args):
    """The stand-in with the jobs, the remembered server and credentials, and
    windows unmanaged: without a window manager Wine waits 2 s at every hidden
    window (the wait dialogs), which is not the program's time."""
    net.private_wine()
    net.start_standin("--speed", "0", "--fail-rate", "0", "--user", USER, "--password", PASSWORD, *standin_args)
    for key, value, data in ((SETTINGS, "DefaultServer", NAS_ADDR),
                             (SETTINGS, "DefaultServerDisplayName", "BENCH"),
                             (SETTINGS + "\\" + NAS_ADDR, "User", USER),
                             (SETTINGS + "\\" + NAS_ADDR, "Password", PASSWORD),
                             (r"HKCU\Software\Wine\X11 Driver", "Managed", "N")):
        net.run_pc(["/usr/lib/wine/wine64", "reg", "add", key, "/v", value, "/d", data, "/f"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def window_figures(build, runs, trace=None, quarrow=None):
    """Quarrow (its test entry point, which only adds the report) connects to
    the stand-in with the remembered server and credentials and reports once its
    lists are drawn, then is told to Exit; the floor is tests/minimal_dialog.exe,
    a dialog with one ten-row list. Runs alternate between the two. The status
    floor (bench/floor_status.exe: one fetch of the same page through WinINet
    and MSXML, walked once) is timed in the same run, for the aim "start to
    connected window with its lists at most twice the minimal program's start
    plus one status fetch". With `trace`, one more start of Quarrow writes its
    marks there."""
    quarrow = quarrow or os.path.join(build, "app", "QuarrowSeams.exe")
    floor = os.path.join(build, "tests", "minimal_dialog.exe")
    same_window = os.path.join(build, "bench", "floor_window.exe")
    with TestNetwork() as net:
        window_network(net, "--fill-bt", "32", "--fill-web", "10")
        bench = Bench(net, os.path.join(build, "tools", "quarrowctl.exe"), os.path.join(build, "bench"))
        startup_report(net, [floor, "{report}"])  # warm-up of the programs' files
        startup_report(net, [same_window, "{report}"])
        startup_report(net, [quarrow])
        program, minimal, window, fetch = [], [], [], []
        for _ in range(runs):
            program.append(startup_report(net, [quarrow]))
            minimal.append(startup_report(net, [floor, "{report}"]))
            window.append(startup_report(net, [same_window, "{report}"]))
            fetch += [r["time"] for r in bench.floor_times("floor_status", 3)]
        if trace:
            if os.path.exists(trace):
                os.unlink(trace)
            startup_report(net, [quarrow], env=["QUARROW_TRACE=" + windows_path(os.path.abspath(trace))])
    median = lambda rows, i: statistics.median(r[i] for r in rows)  # noqa: E731
    return {"runs": runs, "fetch_ms": statistics.median(fetch) / 1000.0,
            "quarrow": [median(program, i) for i in range(4)], "minimal": [median(minimal, i) for i in range(3)],
            "window": [median(window, i) for i in range(3)], "load": os.getloadavg()}


def window_markdown(f):
    q, m, w, fetch = f["quarrow"], f["minimal"], f["window"], f["fetch_ms"]
    info = machine()
    return "\n".join([
        "### Main window",
        "",
        "Measured with `scripts/bench.py --window --window-runs %d` on %s; %d CPUs, %s; load average at the"
        " end %.1f." % (f["runs"], time.strftime("%Y-%m-%d"), info["nproc"], info["wine"], f["load"][0]),
        "",
        "Quarrow (x86_64, started through its test entry point, which only adds the report) connects to the",
        "stand-in with the remembered server and credentials, fetches 32 BT and 10 Web/FTP jobs and draws",
        "its lists; the floor is `tests/minimal_dialog.exe`, a Win32 dialog with one ten-row report list,",
        "built by the project for this. Both report, once their list is drawn, the time since their process",
        "was created and their peak memory (`GetProcessMemoryInfo`); medians of the runs, which alternate.",
        "One status fetch of the same page through WinINet and MSXML (`bench/floor_status.exe`) takes"
        " %.1f ms (median). The platform's part of Quarrow's own window is measured the same way:" % fetch,
        "`bench/floor_window.exe` shows the same dialog template with the same manifest, its lists' columns",
        "and rows filled, every row control filled and shown, and draws it once, without the program.",
        "",
        "| figure | Quarrow | minimal dialog | ratio |",
        "|---|---|---|---|",
        "| process start to first list drawn | %.0f ms | %.0f ms | %.2f |" % (q[0], m[0], q[0] / m[0]),
        "| the same against the floor plus one status fetch | %.0f ms | %.0f ms | %.2f (aim 2) |" %
        (q[0], m[0] + fetch, q[0] / (m[0] + fetch)),
        "| peak working set | %s | %s | %.2f (%+.1f MiB, aim +8) |" % (mib(q[1]), mib(m[1]), q[1] / m[1],
                                                                      (q[1] - m[1]) / 1048576.0),
        "| peak pagefile usage | %s | %s | %.2f (%+.1f MiB) |" % (mib(q[2]), mib(m[2]), q[2] / m[2],
                                                               (q[2] - m[2]) / 1048576.0),
        "| Exit to the end of the process | %.0f ms | | (aim 500 ms) |" % q[3],
        "",
        "| figure | Quarrow | the same window without the program | ratio |",
        "|---|---|---|---|",
        "| process start to first list drawn | %.0f ms | %.0f ms | %.2f (%.2f times the minimal dialog) |" %
        (q[0], w[0], q[0] / w[0], w[0] / m[0]),
        "| peak working set | %s | %s | %.2f (%+.1f MiB) |" % (mib(q[1]), mib(w[1]), q[1] / w[1],
                                                          (q[1] - w[1]) / 1048576.0),
        "",
    ])


def process_of(exe, prefix):
    """The Linux process that runs `exe` (its Windows file name) in the Wine prefix `prefix`."""
    name = os.path.basename(exe).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read()
            with open("/proc/%s/environ" % pid, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if name in cmdline and ("WINEPREFIX=" + prefix).encode() in environ and b"wine-run" not in cmdline:
            return int(pid)
    return None


def rss_anon(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return None


def status_pages(net):
    with open(net.log_path) as f:
        return sum(1 for line in f if '"Quarrow.asp"' in line or '"/Quarrow.asp"' in line)


def sample_growth(net, proc, exe, pages_at_start, every=0.25, steps=None):
    """(steps done, anonymous resident bytes) while `proc` runs; steps are
    the status pages since the start, or what `steps()` says."""
    samples, pid, done = [], None, 0
    steps = steps or (lambda: status_pages(net) - pages_at_start)
    while proc.poll() is None:
        time.sleep(every)
        pid = pid or process_of(exe, net.wine_prefix)
        if pid:
            rss = rss_anon(pid)
            if rss:
                done = max(done, steps())
                samples.append((done, rss))
    return samples


def count_lines(path):
    """The lines of numbers a floor or Quarrow wrote to `path` so far."""
    try:
        with open(path) as f:
            return [[int(v) for v in line.split()] for line in f.read().splitlines() if line.strip()]
    except (OSError, ValueError):
        return []


def steps_in(path):
    """The steps done, from the first number of the last whole line of `path`."""
    rows = count_lines(path)
    return rows[-1][0] if rows else 0


def growth_per_step(samples, warm_up):
    """Least-squares slope of bytes over steps after the warm-up."""
    points = [(x, y) for x, y in samples if x >= warm_up]
    if len(points) < 2:
        return float("nan")
    mx = sum(x for x, _ in points) / len(points)
    my = sum(y for _, y in points) / len(points)
    sxx = sum((x - mx) ** 2 for x, _ in points)
    return sum((x - mx) * (y - my) for x, y in points) / sxx if sxx else float("nan")


def memory_figures(build, refreshes, warm_up, period_ms, quarrow=None):
    """Quarrow refreshed `refreshes` times (its refresh period shortened) while
    the stand-in alternates between 32 BT + 10 Web/FTP jobs with long two-line
    names and 7 + 3 of them; then the floors as often in one process each.
    Anonymous resident memory of each wine process is read from /proc while it
    runs."""
    quarrow = quarrow or os.path.join(build, "app", "QuarrowSeams.exe")
    login = [NAS_ADDR, USER, PASSWORD]
    # (name, what it is, arguments before the count, whether it writes its count to a file)
    floors = [
        ("floor_status", "the status floor: the same pages fetched and walked in one process", login, False),
        ("floor_dialogs", "a modal dialog shown and closed over a window", [], True),
        ("floor_wait", "the status floor on a kept worker behind a wait dialog of two static texts", login, True),
        ("floor_wait_cc6", "the same with the common controls of version 6, as Quarrow's manifest asks", login,
         True),
    ]
    with TestNetwork() as net:
        window_network(net, "--fill-bt", "32", "--fill-web", "10", "--long-names", "--alternate", "7,3")
        handles = os.path.join(net.dir, "handles.txt")
        report = os.path.join(net.dir, "report.txt")
        env = dict(net.pc_env(), QUARROW_REFRESH_MS=str(period_ms), QUARROW_REFRESHES=str(refreshes),
                   QUARROW_HANDLES=windows_path(handles), QUARROW_REPORT=windows_path(report))
        start = status_pages(net)
        proc = subprocess.Popen(net.command_in(net.pc, [quarrow]), env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        q_samples = sample_growth(net, proc, quarrow, start)
        rows = count_lines(handles)
        results = [("Quarrow", "Quarrow", q_samples)]
        heap = {"Quarrow": [(r[0], r[2]) for r in rows if len(r) > 3]}
        for name, what, args, counts_to_file in floors:
            exe = os.path.join(build, "bench", name + ".exe")
            done = os.path.join(net.dir, name + "-done.txt")
            command = [exe] + args + [str(refreshes)] + ([windows_path(done)] if counts_to_file else [])
            start = status_pages(net)
            proc = subprocess.Popen(net.command_in(net.pc, command), env=net.pc_env(), stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            steps = (lambda d=done: steps_in(d)) if counts_to_file else None
            label = "%s (`bench/%s.exe`)" % (what, name)
            results.append((name, label, sample_growth(net, proc, exe, start, every=0.05, steps=steps)))
            heap[name] = [(r[0], r[1]) for r in count_lines(done) if len(r) > 1]
    growth = {name: growth_per_step(samples, warm_up) for name, _, samples in results}
    q, floor, platform = growth["Quarrow"], growth["floor_status"], growth["floor_wait_cc6"]
    after = [r[1] for r in rows if r[0] >= warm_up]
    owned = [(r[0], r[3]) for r in rows if len(r) > 3]
    lines = [
        "### Memory over %d refreshes" % refreshes,
        "",
        "`scripts/bench.py --memory %d --warm-up %d` on %s: Quarrow refreshed every %d ms, the lists"
        % (refreshes, warm_up, time.strftime("%Y-%m-%d"), period_ms),
        "alternately 32 BT + 10 Web/FTP jobs (long two-line names) and 7 + 3; each floor does its part as",
        "often in one process. Growth is the least-squares slope of RssAnon over the steps after the warm-up.",
        "",
        "| process | steps seen | RssAnon at warm-up end | at the end | growth per step | heap bytes in use, growth per step |",
        "|---|---|---|---|---|---|",
    ]
    for name, label, samples in results:
        in_use = growth_per_step(heap[name], warm_up) if heap.get(name) else None
        lines.append("| %s | %d | %s | %s | %.0f bytes | %s |" % (
            label, samples[-1][0] if samples else 0, kib_at(samples, warm_up), kib_at(samples, None), growth[name],
            "%.0f bytes" % in_use if in_use is not None else "-"))
    lines += [
        "",
        "Aim: Quarrow at most the status floor's growth plus 32 bytes (%.0f bytes): %s; against the same refresh"
        % (floor + 32, "met" if q <= floor + 32 else "not met"),
        "behind a wait dialog with the common controls of version 6 plus 32 bytes (%.0f bytes): %s."
        % (platform + 32, "met" if q <= platform + 32 else "not met"),
        "Handles after every tenth refresh from the warm-up on: min %s, max %s (first %s, last %s)." % (
            min(after) if after else "-", max(after) if after else "-", after[0] if after else "-",
            after[-1] if after else "-"),
        "Of Quarrow's heap growth per refresh, held by the program through new: %.0f bytes."
        % growth_per_step(owned, warm_up),
        "",
    ]
    return "\n".join(lines)


def kib_at(samples, step):
    if not samples:
        return "-"
    if step is None:
        return "%d KiB" % (samples[-1][1] // 1024)
    later = [y for x, y in samples if x >= step]
    return "%d KiB" % (later[0] // 1024) if later else "-"


def window_main(args):
    os.environ["QUARROW_BUILD_DIR"] = build = os.path.abspath(args.build)
    # The programs need a display: one of the benchmark's own, on which
    # nothing else draws and which no test run stops meanwhile.
    xvfb, os.environ["DISPLAY"] = own_display()
    try:
        text = window_text(build, args)
    finally:
        _end_display(xvfb)
    print(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)
    return 0


def window_text(build, args):
    if args.memory:
        text = memory_figures(build, args.memory, args.warm_up, args.period, args.quarrow)
    else:
        text = window_markdown(window_figures(build, args.window_runs, args.trace, args.quarrow))
        if args.trace:
            text += "\nMarks of one start (ms since process creation, thread, mark):\n\n```\n" + \
                open(args.trace).read() + "```\n"
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.environ.get("QUARROW_BUILD_DIR", os.path.join(ROOT, "build", "x86_64")))
    parser.add_argument("--runs", type=int, default=200, help="runs of (a)")
    parser.add_argument("--status-runs", type=int, default=30, help="runs of (b)")
    parser.add_argument("--ctl", help="measure this quarrowctl.exe instead of the build's (same floors and prefix)")
    parser.add_argument("--out", help="also write the figures as Markdown to FILE (the README keeps them)")
    parser.add_argument("--window", action="store_true", help="the main window's figures instead (see above)")
    parser.add_argument("--window-runs", type=int, default=10, help="runs of each program for --window")
    parser.add_argument("--trace", help="with --window: one more start of Quarrow writes its marks to this file")
    parser.add_argument("--memory", type=int, metavar="N",
                        help="instead: memory growth of the main window over N refreshes against the status floor")
    parser.add_argument("--warm-up", type=int, default=300, help="refreshes left out of the growth (--memory)")
    parser.add_argument("--quarrow", help="this QuarrowSeams.exe instead of the build's (another build's, to compare)")
    parser.add_argument("--period", type=int, default=100, help="refresh period in ms for --memory")
    args = parser.parse_args()
    if args.window or args.memory:
        return window_main(args)
    os.environ["QUARROW_BUILD_DIR"] = os.path.abspath(args.build)
    exe = os.path.abspath(args.ctl) if args.ctl else os.path.join(args.build, "tools", "quarrowctl.exe")
    floors_dir = os.path.join(args.build, "bench")

    with TestNetwork() as net:
        net.private_wine()
        net.start_standin("--speed", "0", "--fail-rate", "0", "--user", USER, "--password", PASSWORD,
                          "--fill-bt", "32", "--fill-web", "1000")
        bench = Bench(net, exe, floors_dir)
        bench.ctl("bt", "on")  # warm-up; also captures the request bytes

        # The client and its floors take turns in a few rounds, so that load
        # from elsewhere on the machine falls on all of them alike.
        ctl_a, bare_a, floor_a, ctl_b, bare_b, floor_b, floor_fetch = ([] for _ in range(7))
        requests_a = requests_b = 0.0
        raw_a, raw_b = bench.captured("goform/formSetBtFlashState"), None
        rounds = max(1, min(ROUNDS, args.status_runs))
        for _ in range(rounds):
            n = max(1, args.runs // rounds)
            times, sent = bench.client_times(n, "bt", "on")
            ctl_a += times
            requests_a = len(after_login(sent)) / float(n)
            bare_a += bench.bare_times(n, raw_a)[0]
            floor_a += [r["time"] for r in bench.floor_times("floor_request", n)]

            n = max(1, args.status_runs // rounds)
            times, sent = bench.client_times(n, "status")
            ctl_b += times
            requests_b = len(after_login(sent)) / float(n)
            raw_b = raw_b or bench.captured("Quarrow.asp")
            bare, page_bytes = bench.bare_times(n, raw_b)
            bare_b += bare
            floor_rows = bench.floor_times("floor_status", n)
            floor_b += [r["time"] for r in floor_rows]
            floor_fetch += [r["fetch"] for r in floor_rows]
        listed = bench.ctl("status")
        assert "BT jobs: 32" in listed and "Web/FTP jobs: 1000" in listed, listed[:200]
        mem_status = bench.memory("status")
        mem_base = bench.memory("connect")
        floor_mem_status = bench.floor_memory("floor_status")
        floor_mem_base = bench.floor_memory("floor_request")

    info = machine()
    a = (statistics.median(ctl_a), statistics.median(bare_a), statistics.median(floor_a))
    b = (statistics.median(ctl_b), statistics.median(bare_b), statistics.median(floor_b))
    a10 = (low(ctl_a), low(floor_a))
    b10 = (low(ctl_b), low(floor_b))
    aim_a, aim_b, aim_mem = 1.2, 1.5, 5 * 1048576

    def row(label, t, t10, aim):
        return (label, ms(t[0]), ms(t[2]), "%.2f (aim %.1f: %s)" % (t[0] / t[2], aim, "met" if t[0] / t[2] <= aim
                                                                       else "not met"),
                "%.2f" % (t10[0] / t10[1]), ms(t[1]), "%.1f" % (t[0] / t[1]))
    rows = [
        row("(a) `bt on` (one control request)", a, a10, aim_a),
        row("(b) status, 32 BT + 1000 Web/FTP jobs (%d-byte page)" % page_bytes, b, b10, aim_b),
    ]
    lines = [
        "# Performance of the device client",
        "",
        "Measured with `scripts/bench.py --runs %d --status-runs %d` on %s."
        % (args.runs, args.status_runs, time.strftime("%Y-%m-%d")),
        "",
        "Machine: %d CPUs (`nproc`), %s, %s under Linux %s. quarrowctl is the x86_64 build under"
        % (info["nproc"], info["cpu"], info["wine"], info["kernel"]),
        "`wine64`; the stand-in server and the bare client are Python 3 in a pair of network namespaces",
        "joined by a veth link. The stand-in requires HTTP Basic authentication, as the server does.",
        "",
        "Times are medians per operation. quarrowctl runs the command repeatedly in one process after one",
        "login (`--repeat`), so process start and login are not counted; the bare client is a Python socket",
        "client that opens a connection, sends the request bytes captured from the stand-in's dump (Basic",
        "authentication header included) and reads the reply to its end.",
        "",
        "The floors are this project's `bench/floor_request.exe` (the same form post through WinINet with",
        "the Basic header at once, reply read in 1000-byte chunks up to the marker line) and",
        "`bench/floor_status.exe` (the status page through WinINet in 1000-byte reads with the Basic",
        "header at once, the document cut at `<body>`/`</body>`, loaded into MSXML and every field read",
        "once walking the children in order), both x86_64 under the same `wine64`.",
        "",
        "| operation | quarrowctl | WinINet floor | ratio to floor | same, 10th percentiles | bare socket client "
        "| ratio to bare |",
        "|---|---|---|---|---|---|---|",
    ] + ["| %s | %s | %s | %s | %s | %s | %s |" % r for r in rows] + [
        "",
        "On a machine shared with other work the medians of the short operation (a) swing with the load",
        "(ratios between about 0.6 and 2 from one run to the next were seen); the ratio of the 10th",
        "percentiles, the runs that the load touched least, is the steadier figure for it.",
        "",
        "Status floor, fetch part alone (1000-byte reads): median %s, min %s, max %s over %d runs."
        % (ms(statistics.median(floor_fetch)), ms(min(floor_fetch)), ms(max(floor_fetch)), len(floor_fetch)),
        "",
        "HTTP requests per operation seen by the stand-in: (a) %.1f, (b) %.1f (one exchange each when the"
        % (requests_a, requests_b),
        "credentials go with the first request; two when WinINet waits for the 401 first).",
        "",
        "Peak memory of quarrowctl (median of 5 processes, `--report-memory`, from `GetProcessMemoryInfo`):",
        "",
        "| process | peak working set | peak pagefile usage |",
        "|---|---|---|",
        "| login only (`connect`) | %s | %s |" % (mib(mem_base[0]), mib(mem_base[1])),
        "| login + status of (b) | %s | %s |" % (mib(mem_status[0]), mib(mem_status[1])),
        "| ratio | %.2f | %.2f |" % (mem_status[0] / mem_base[0], mem_status[1] / mem_base[1]),
        "| status above login only | %s | %s |" % (mib(mem_status[0] - mem_base[0]), mib(mem_status[1] - mem_base[1])),
        "| floor: one request only | %s | %s |" % (mib(floor_mem_base[0]), mib(floor_mem_base[1])),
        "| floor: one status | %s | %s |" % (mib(floor_mem_status[0]), mib(floor_mem_status[1])),
        "| floor: status above one request | %s | %s |" % (mib(floor_mem_status[0] - floor_mem_base[0]),
                                                          mib(floor_mem_status[1] - floor_mem_base[1])),
        "",
        "Aim for the status above login only, at most %s: peak working set %s, peak pagefile usage %s."
        % (mib(aim_mem), "met" if mem_status[0] - mem_base[0] <= aim_mem else "not met",
           "met" if mem_status[1] - mem_base[1] <= aim_mem else "not met"),
        "",
        "The machine was shared with other builds and tests while this ran; single figures vary by some",
        "tens of percent between runs, the ratios much less.",
        "",
    ]
    text = "\n".join(lines)
    print(text)
    if args.out:
        os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
        with open(args.out, "w") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

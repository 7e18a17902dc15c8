#!/usr/bin/env python3
"""Private test networks: a "pc" and a "nas" network namespace joined by a veth
pair, with the stand-in server running in "nas". Nothing sent inside them can
reach a real network. Names are unique per use, and everything is removed
again, also when the test fails.

As a program:  nsrun.py [--build DIR] [--standin-arg ARG ...] -- COMMAND ...
runs COMMAND (a .exe goes through scripts/wine-run) in the pc namespace with
QUARROW_TEST_SERVER, QUARROW_TEST_DIR (Windows form) and QUARROW_TEST_UNIX_DIR
in its environment, and exits with its exit code.
"""
import argparse
import itertools
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STANDIN = os.path.join(ROOT, "standin", "nas_standin.py")
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
PC_ADDR = "10.77.0.10"
NAS_ADDR = "10.77.0.2"
_counter = itertools.count()

WINE32 = "/usr/lib/wine/wine"
# Set to 1, a machine that runs 32-bit programs behaves as one that cannot, so that
# both paths of the tests can be tried anywhere.
NO32_SWITCH = "QUARROW_NO32"
# A test program whose every test was skipped exits with this, which CTest is told
# to show as skipped (SKIP_RETURN_CODE) rather than passed.
SKIP_EXIT = 77


def can_run_32bit():
    """Whether Wine's 32-bit loader runs here. Some kernels refuse 32-bit ELF programs
    outright: starting the loader then raises "Exec format error" instead of failing."""
    if os.environ.get(NO32_SWITCH, "") not in ("", "0"):
        return False
    try:
        return subprocess.run([WINE32, "--version"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except (OSError, subprocess.SubprocessError):
        return False


def no32_reason():
    if os.environ.get(NO32_SWITCH, "") not in ("", "0"):
        return f"{NO32_SWITCH} is set"
    return "this machine cannot run 32-bit programs"


def unittest_main():
    """unittest.main() whose exit status tells "all skipped" (SKIP_EXIT) from "passed"."""
    import unittest
    result = unittest.main(exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIP_EXIT if result.testsRun and len(result.skipped) == result.testsRun else 0)


def _ip(*args, check=True):
    return subprocess.run(["ip", *args], check=check, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def windows_path(path):
    """Wine's drive Z: is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _prefix_parent(build):
    parent = os.path.join(build, "netprefixes")
    os.makedirs(parent, exist_ok=True)
    return parent


# Wine replaces these rather than writing into them, but each test network
# changes its registry: they are always real copies.
_REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")


def clone_prefix(source, prefix):
    """Copies a Wine prefix (over 1 GB of DLLs) cheaply: hard links where the
    file system allows them, a plain copy where it does not (another file
    system, or one without hard links). Symbolic links such as the drive
    letters stay links."""
    def link(src, dst):
        if os.path.basename(src) in _REGISTRY_FILES:
            shutil.copy2(src, dst)
        else:
            os.link(src, dst)
    try:
        shutil.copytree(source, prefix, symlinks=True, copy_function=link)
    except (OSError, shutil.Error):
        shutil.rmtree(prefix, ignore_errors=True)
        shutil.copytree(source, prefix, symlinks=True)


def set_prefix_dpi(prefix, dpi):
    """Sets the display scale of a prefix whose wineserver is not running:
    Wine reads LogPixels of HKCU\\Control Panel\\Desktop (96 is 100 %, 144
    is 150 %) when a process starts."""
    path = os.path.join(prefix, "user.reg")
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = f.read().split("\n")
    value = f'"LogPixels"=dword:{dpi:08x}'
    at = next((i for i, line in enumerate(lines) if line.startswith("[Control Panel\\\\Desktop]")), None)
    if at is None:
        lines += ["", "[Control Panel\\\\Desktop] 0", value]
    else:
        end = next((i for i in range(at + 1, len(lines)) if lines[i].startswith("[")), len(lines))
        section = [line for line in lines[at + 1:end] if not line.startswith('"LogPixels"=')]
        while section and not section[-1]:
            section.pop()
        lines[at + 1:end] = section + [value, ""]
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write("\n".join(lines))


class TestNetwork:
    """A pc/nas namespace pair; extra hosts can be added with add_host()."""

    def __init__(self):
        tag = f"{os.getpid() % 100000}{next(_counter)}"
        self.pc = f"qpc{tag}"
        self.nas = f"qnas{tag}"
        self.tag = tag
        self.hosts = []
        self.dir = tempfile.mkdtemp(prefix="quarrow-net-")
        self.standin = None
        self._links = 0
        self._programs = []
        self.wine_prefix = None
        self._prefix_dir = None
        self._wineserver = None

    def __enter__(self):
        try:
            self._create()
        except Exception:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _create(self):
        _ip("netns", "add", self.pc)
        _ip("netns", "add", self.nas)
        # A bridge inside the pc namespace lets more hosts join the same LAN.
        self._exec(self.pc, "ip link set lo up; ip link add br0 type bridge; ip link set br0 up;"
                            f" ip addr add {PC_ADDR}/24 dev br0; ip route add default dev br0")
        self._join(self.nas, NAS_ADDR)

    def _join(self, ns, addr, mac=None):
        self._links += 1
        a, b = f"qva{self.tag}{self._links}", f"qvb{self.tag}{self._links}"
        _ip("link", "add", a, "type", "veth", "peer", "name", b)
        _ip("link", "set", a, "netns", self.pc)
        _ip("link", "set", b, "netns", ns)
        self._exec(self.pc, f"ip link set {a} master br0; ip link set {a} up")
        setup = "ip link set lo up; "
        if mac:
            setup += f"ip link set {b} address {mac}; "
        setup += f"ip addr add {addr}/24 dev {b}; ip link set {b} up; ip route add default dev {b}"
        self._exec(ns, setup)

    def add_host(self, addr, mac=None):
        """Another namespace host on the same LAN; returns its namespace name."""
        ns = f"qh{self.tag}{len(self.hosts)}"
        _ip("netns", "add", ns)
        self.hosts.append(ns)
        self._join(ns, addr, mac)
        return ns

    def sh(self, ns, script):
        """Runs a shell script in one of this network's namespaces."""
        self._exec(ns, script)

    def start_program(self, ns, argv, ready="listening", timeout=20):
        """Starts a program (e.g. a Python stand-in) in a namespace of this
        network and waits for a stdout line containing `ready`; it is ended
        when the network is closed."""
        proc = subprocess.Popen(["ip", "netns", "exec", ns, *argv], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        self._programs.append(proc)
        deadline = time.time() + timeout
        while ready and time.time() < deadline:
            line = proc.stdout.readline()
            if not line:
                break
            if ready in line:
                return proc
        if ready:
            raise RuntimeError(f"{argv[:2]} did not start in {ns}")
        return proc

    def private_wine(self, ns=None, dpi=None):
        """Gives this network a Wine prefix of its own whose wineserver and
        services run inside namespace `ns` (default: pc); run_pc and run_in
        then use it. `dpi` sets the prefix's display scale (default: the
        build prefix's, 96).

        Wine creates sockets in the wineserver and answers adapter queries from
        a service process, so a Windows program in a namespace only uses that
        namespace's network if those run there too. The build's shared,
        persistent wineserver runs in the machine's own namespace: a program
        using it would broadcast from there.
        """
        ns = ns or self.pc
        build = os.environ.get("QUARROW_BUILD_DIR")
        if not build:
            raise RuntimeError("QUARROW_BUILD_DIR is not set")
        source = os.path.join(build, "wineprefix")
        if not os.path.isfile(os.path.join(source, "system.reg")):
            subprocess.run([os.path.join(ROOT, "scripts", "harness"), "prefix", build], check=True,
                           stdout=subprocess.DEVNULL)
        # Beside the build's prefix, on the same file system, so that hard
        # links work wherever the temporary folder lives (often a tmpfs).
        self._prefix_dir = tempfile.mkdtemp(prefix=f"net{self.tag}-", dir=_prefix_parent(build))
        prefix = os.path.join(self._prefix_dir, "wineprefix")
        clone_prefix(source, prefix)
        if dpi:
            set_prefix_dpi(prefix, dpi)
        env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        # The desktop process that the services start picks the display driver:
        # it needs the harness's display, or no window can ever be created.
        display = os.path.join(build, "harness", "display")
        if not env.get("DISPLAY") and os.path.isfile(display):
            with open(display) as f:
                env["DISPLAY"] = f.read().strip()
        server = "/usr/lib/wine/wineserver64" if os.path.exists("/usr/lib/wine/wineserver64") else "/usr/lib/wine/wineserver"
        self._wineserver = subprocess.Popen(["ip", "netns", "exec", ns, server, "-f", "-p"], env=env,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
        self.wine_prefix = prefix
        time.sleep(0.2)
        if not self._in_namespace(self._wineserver.pid, ns):
            raise RuntimeError("private wineserver is not in the test namespace")
        # Start Wine's services (among them the one that answers adapter
        # queries) inside the namespace, on /dev/null.
        subprocess.run(["ip", "netns", "exec", ns, "/usr/lib/wine/wine64", "cmd", "/c", "exit"], env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        return prefix

    @staticmethod
    def _in_namespace(pid, ns):
        try:
            a = os.stat(f"/proc/{pid}/ns/net")
            b = os.stat(f"/var/run/netns/{ns}")
        except OSError:
            return False
        return (a.st_dev, a.st_ino) == (b.st_dev, b.st_ino)

    def command_in(self, ns, cmd):
        """The command line that runs `cmd` in namespace `ns` of this network: a Windows
        program always through wine-run, which refuses a prefix whose wineserver lives
        outside the namespace."""
        if cmd and cmd[0].lower().endswith(".exe"):
            cmd = [WINE_RUN, *cmd]
        return ["ip", "netns", "exec", ns, *cmd]

    def run_in(self, ns, cmd, timeout=600, **kw):
        """run_pc for any namespace of this network."""
        return subprocess.run(self.command_in(ns, cmd), env=self.pc_env(), timeout=timeout, **kw)

    def _exec(self, ns, script):
        subprocess.run(["ip", "netns", "exec", ns, "sh", "-c", script], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    # --- the stand-in server -------------------------------------------------
    @property
    def log_path(self):
        return os.path.join(self.dir, "requests.jsonl")

    @property
    def dump_dir(self):
        return os.path.join(self.dir, "dump")

    @property
    def faults_path(self):
        return os.path.join(self.dir, "faults.json")

    def start_standin(self, *args):
        os.makedirs(self.dump_dir, exist_ok=True)
        cmd = ["ip", "netns", "exec", self.nas, sys.executable, STANDIN, "--log", self.log_path,
               "--dump-dir", self.dump_dir, "--faults", self.faults_path, *args]
        self.standin = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        deadline = time.time() + 20
        while time.time() < deadline:
            line = self.standin.stdout.readline()
            if not line:
                break
            if "listening" in line:
                return
        raise RuntimeError("stand-in server did not start")

    def set_faults(self, text):
        with open(self.faults_path + ".tmp", "w") as f:
            f.write(text)
        os.replace(self.faults_path + ".tmp", self.faults_path)

    # --- running things on the PC --------------------------------------------
    def pc_env(self):
        env = dict(os.environ)
        env["QUARROW_TEST_SERVER"] = NAS_ADDR
        env["QUARROW_TEST_DIR"] = windows_path(self.dir)
        env["QUARROW_TEST_UNIX_DIR"] = self.dir
        if self.wine_prefix:
            env["WINEPREFIX"] = self.wine_prefix
        return env

    def run_pc(self, cmd, timeout=600, **kw):
        return self.run_in(self.pc, cmd, timeout, **kw)

    def close(self):
        if self._wineserver:
            env = dict(os.environ, WINEPREFIX=self.wine_prefix)
            subprocess.run(["/usr/lib/wine/wineserver64" if os.path.exists("/usr/lib/wine/wineserver64")
                            else "/usr/lib/wine/wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False)
            try:
                self._wineserver.wait(10)
            except subprocess.TimeoutExpired:
                self._wineserver.kill()
        for proc in self._programs:
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
        if self.standin and self.standin.poll() is None:
            self.standin.send_signal(signal.SIGTERM)
            try:
                self.standin.wait(5)
            except subprocess.TimeoutExpired:
                self.standin.kill()
        for ns in [*self.hosts, self.nas, self.pc]:
            _ip("netns", "del", ns, check=False)
        shutil.rmtree(self.dir, ignore_errors=True)
        if self._prefix_dir:
            shutil.rmtree(self._prefix_dir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build")
    parser.add_argument("--standin-arg", action="append", default=[])
    parser.add_argument("--can-run-32bit", action="store_true",
                        help="exit 0 where 32-bit Windows programs run here, 1 where not")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.can_run_32bit:
        return 0 if can_run_32bit() else 1
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if args.build:
        os.environ["QUARROW_BUILD_DIR"] = args.build
    with TestNetwork() as net:
        net.start_standin(*args.standin_arg)
        # Windows programs must use a wineserver inside the pc namespace, or
        # their sockets would live in the machine's own namespace.
        if any(part.lower().endswith(".exe") for part in command):
            net.private_wine()
        return net.run_pc(command).returncode


if __name__ == "__main__":
    sys.exit(main())

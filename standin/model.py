"""The download service as the storage server runs it: disks and folders,
BT jobs and Web/FTP jobs that progress over time, finish or fail.

Progress is computed lazily: every public call first advances the model to
the current clock reading, so no background thread is needed and a test can
drive time with its own clock function.  All public methods take the lock.
"""

import hashlib
import random
import re
import threading
import time
import urllib.parse

from . import codes as C

DISK_LABELS = ("[HDD1]", "[HDD2]", "[HDD3]", "[HDD4]", "[RAID]", "[eSATA]")

# The PC program renames the device labels when it builds a Web/FTP key.
KEY_LABELS = (("[eSATA]", "[USB3]"), ("[RAID]", "[USB4]"), ("[HDD1]", "[USB5]"),
              ("[HDD2]", "[USB6]"), ("[HDD3]", "[USB7]"), ("[HDD4]", "[USB8]"))

DEFAULT_TREE = {
    "[HDD1]": {"download": {}, "Movies": {"New": {}, "Classics": {}},
               "Music": {"Jazz": {}, "Rock": {}}, "Photos": {"2023": {}, "2024": {}},
               "Software": {}},
    "[HDD2]": {"backup": {"laptop": {}}, "Video": {"Series": {}}, "Books": {},
               "Shared Files": {}},
}
DEFAULT_PATH = "[HDD1]download\\"

MAX_BT_JOBS = 32
MAX_WEB_JOBS = 64

# Internal states and what the status page calls them.
BT_TEXT = {"downloading": "downloading", "paused": "paused", "waiting": "waiting",
           "finished": "finished", "trying": "trying"}
WEB_TEXT = {"downloading": "Downloading", "paused": "Paused", "waiting": "Waiting",
            "trying": "Waiting", "finished": "Finished", "failed": "Failed"}


# ---------------------------------------------------------------- texts

def human_size(n):
    if n is None:
        return "Unknown"
    if n < 1024:
        return "%d B" % n
    value = float(n)
    for unit in ("KB", "MB", "GB", "TB"):
        value /= 1024.0
        if value < 1024 or unit == "TB":
            return "%.1f %s" % (value, unit)


def human_rate(bytes_per_second):
    if bytes_per_second < 1024 * 1024:
        return "%d KB/s" % round(bytes_per_second / 1024.0)
    return "%.1f MB/s" % (bytes_per_second / 1048576.0)


def hms(seconds):
    seconds = int(round(seconds))
    return "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def webftp_key(save_path, file_name):
    """The key by which the PC program names a Web/FTP job."""
    text = save_path
    for label, replacement in KEY_LABELS:
        text = text.replace(label, replacement)
    text = (text + file_name).replace("\\", "/").replace("%", "%2525").replace(" ", "%2520")
    return "".join(c if ord(c) < 0x80 else "".join("%%%02X" % b for b in c.encode("utf-8"))
                   for c in text)


def key_to_text(key):
    """Read a Web/FTP key back as a path (for messages; "/" stays "/")."""
    def utf8(m):
        return bytes.fromhex(m.group(0).replace("%", "")).decode("utf-8", errors="replace")
    text = re.sub(r"(?:%[89A-Fa-f][0-9A-Fa-f])+", utf8, key)
    text = text.replace("%2520", " ").replace("%2525", "%")
    for label, replacement in KEY_LABELS:
        text = text.replace(replacement, label)
    return text


def split_path(path):
    """"[HDD1]Movies\\New\\" -> ("[HDD1]", ["Movies", "New"]); None if no disk label."""
    m = re.match(r"^(\[[A-Za-z0-9]+\])(.*)$", path or "", re.S)
    if not m:
        return None
    return m.group(1), [p for p in re.split(r"[\\/]", m.group(2)) if p]


def _stable_fraction(text):
    return int(hashlib.sha1(text.encode("utf-8", "replace")).hexdigest()[:8], 16) / float(1 << 32)


# ---------------------------------------------------------------- jobs

class Job:
    def __init__(self, kind, name, size, save_path):
        self.kind = kind              # "bt" or "web"
        self.name = name
        self.size = size              # bytes, None while unknown
        self.done = 0.0
        self.state = "waiting"
        self.fail_text = None         # set when state == "failed"
        self.fail_at = None           # fraction of size at which the job fails
        self.fail_on_connect = None   # BT: failure text when "trying" ends
        self.trying_until = 0.0
        self.save_path = save_path
        self.speed_factor = 1.0
        self.rate = 0.0
        # BT
        self.item_id = None
        self.priority = 0
        self.file_count = 1
        self.info_hash = None
        self.url = ""
        # Web/FTP
        self.user = ""
        self.password = ""

    @property
    def fraction(self):
        if not self.size:
            return 1.0 if self.state == "finished" else 0.0
        return min(1.0, self.done / self.size)

    def status_text(self):
        if self.state == "failed":
            return self.fail_text or ("connect error" if self.kind == "bt" else "Failed")
        return (BT_TEXT if self.kind == "bt" else WEB_TEXT)[self.state]


class Model:
    def __init__(self, speed=1048576, fail_rate=0.1, seed=None, clock=time.monotonic,
                 tree=None, default_path=DEFAULT_PATH, bt_slots=3, web_slots=2,
                 trying_seconds=4.0, status_version="1.0"):
        self.lock = threading.RLock()
        self.speed = float(speed)
        self.fail_rate = fail_rate
        self.rng = random.Random(seed)
        self.clock = clock
        self.tree = {k: v for k, v in (DEFAULT_TREE if tree is None else tree).items()}
        self.default_path = default_path
        self.bt_slots = bt_slots
        self.web_slots = web_slots
        self.trying_seconds = trying_seconds
        self.status_version = status_version
        self.bt_enabled = True
        self.web_enabled = True
        self.bt_jobs = []
        self.web_jobs = []
        self._next_id = 1001
        self._last = clock()

    # ------------------------------------------------------------ time

    def advance(self):
        with self.lock:
            now = self.clock()
            dt, self._last = max(0.0, now - self._last), now
            # Small steps, so that a slot freed by a finished job is used in time.
            step = max(1.0, dt / 200.0)
            t = now - dt
            while dt > 1e-9:
                h = min(step, dt)
                t += h
                dt -= h
                self._step(h, t)
            self._schedule(now)

    def _step(self, h, t):
        for jobs, enabled, slots in ((self.bt_jobs, self.bt_enabled, self.bt_slots),
                                     (self.web_jobs, self.web_enabled, self.web_slots)):
            if not enabled:
                for job in jobs:
                    job.rate = 0.0
                continue
            self._schedule_list(jobs, slots, t)
            for job in jobs:
                if job.state != "downloading":
                    job.rate = 0.0
                    continue
                job.rate = self.speed * job.speed_factor
                job.done += job.rate * h
                if job.fail_at is not None and job.done >= job.fail_at * job.size:
                    job.done = job.fail_at * job.size
                    self._fail(job, "torrent error" if job.kind == "bt" else "Failed")
                elif job.done >= job.size:
                    job.done, job.state, job.rate = float(job.size), "finished", 0.0

    def _schedule(self, now):
        if self.bt_enabled:
            self._schedule_list(self.bt_jobs, self.bt_slots, now)
        if self.web_enabled:
            self._schedule_list(self.web_jobs, self.web_slots, now)

    def _schedule_list(self, jobs, slots, now):
        for job in jobs:
            if job.state == "trying" and now >= job.trying_until:
                if job.fail_on_connect:
                    self._fail(job, job.fail_on_connect)
                    continue
                if job.size is None:
                    job.size = int(30e6 + _stable_fraction(job.url or job.name) * 1.5e9)
                job.state = "waiting"
        active = [j for j in jobs if j.state in ("downloading", "waiting")]
        active.sort(key=lambda j: (-j.priority, j.state != "downloading"))
        for n, job in enumerate(active):
            job.state = "downloading" if n < slots else "waiting"

    def _fail(self, job, text):
        job.state, job.fail_text, job.rate = "failed", text, 0.0

    def end_jobs(self, finish, fail):
        """Jobs named in `finish` end finished, those in `fail` fail, now
        (BT and Web/FTP alike; unknown names are passed over)."""
        with self.lock:
            self.advance()
            for job in self.bt_jobs + self.web_jobs:
                if job.name in fail:
                    self._fail(job, "torrent error" if job.kind == "bt" else "Failed")
                elif job.name in finish:
                    if job.size is None:
                        job.size = int(30e6 + _stable_fraction(job.url or job.name) * 1.5e9)
                    job.done, job.state, job.rate = float(job.size), "finished", 0.0

    def _plan_failure(self, job, hint):
        """Decide up front whether a new job will fail; "fail" in its name or URL forces it."""
        forced = "fail" in hint.lower()
        if forced or self.rng.random() < self.fail_rate:
            if job.kind == "bt" and job.url and (forced or self.rng.random() < 0.5):
                job.fail_on_connect = "connect error"
            else:
                job.fail_at = 0.05 + 0.85 * self.rng.random()

    # ------------------------------------------------------------ disks

    def disks(self):
        with self.lock:
            return list(self.tree)

    def _folder(self, path):
        parts = split_path(path)
        if parts is None or parts[0] not in self.tree:
            return None
        node = self.tree[parts[0]]
        for name in parts[1]:
            if name not in node:
                return None
            node = node[name]
        return node

    def list_folder(self, path):
        """Folder names under path, or None when it does not exist."""
        with self.lock:
            node = self._folder(path)
            return None if node is None else list(node)

    def check_save_path(self, path):
        """A save path needs an existing disk; missing folders are created."""
        with self.lock:
            parts = split_path(path)
            if parts is None or parts[0] not in self.tree:
                return C.ERR_DIR_NOT_EXIST
            node = self.tree[parts[0]]
            for name in parts[1]:
                node = node.setdefault(name, {})
            return C.SUCCESS

    def set_default_path(self, path):
        with self.lock:
            code = self.check_save_path(path)
            if code == C.SUCCESS:
                self.default_path = path
            return code

    # ------------------------------------------------------------ services

    def set_bt_enabled(self, on):
        with self.lock:
            self.advance()
            self.bt_enabled = bool(on)

    def set_web_enabled(self, on):
        with self.lock:
            self.advance()
            self.web_enabled = bool(on)

    # ------------------------------------------------------------ BT

    def _bt_job(self, item_id):
        for job in self.bt_jobs:
            if job.item_id == item_id:
                return job
        return None

    def _new_bt(self, name, size, save_path, priority, url="", file_count=1):
        job = Job("bt", name, size, save_path)
        job.item_id = str(self._next_id)
        self._next_id += 1
        job.priority = max(-1, min(1, priority))
        job.url = url
        job.file_count = file_count
        job.state = "trying"
        job.trying_until = self.clock() + self.trying_seconds
        return job

    def _bt_add_checks(self, save_path):
        if not self.bt_enabled:
            return C.ERR_BT_DISABLED
        if len(self.bt_jobs) >= MAX_BT_JOBS:
            return C.ERR_MAX_BT_DOWNLOAD
        return self.check_save_path(save_path)

    def add_bt_torrent(self, torrent, save_path, priority):
        """torrent: a bencode.TorrentInfo, or the reply code of a torrent that
        could not be read (answered only once the service checks pass)."""
        with self.lock:
            self.advance()
            code = self._bt_add_checks(save_path)
            if code != C.SUCCESS:
                return code
            if isinstance(torrent, str):
                return torrent
            if any(j.info_hash == torrent.info_hash for j in self.bt_jobs):
                return C.ERR_TORRENT_ADDED
            job = self._new_bt(torrent.name, torrent.size, save_path, priority,
                               file_count=torrent.file_count)
            job.info_hash = torrent.info_hash
            self._plan_failure(job, torrent.name)
            self.bt_jobs.append(job)
            return C.SUCCESS

    def add_bt_url(self, url, save_path, priority):
        with self.lock:
            self.advance()
            code = self._bt_add_checks(save_path)
            if code != C.SUCCESS:
                return code
            parts = urllib.parse.urlsplit(url)
            segment = parts.path.rsplit("/", 1)[-1]
            if parts.scheme.lower() not in ("http", "https", "ftp") or not parts.hostname \
                    or not segment:
                return C.ERR_NOT_VALID_URL
            name = urllib.parse.unquote(segment, errors="replace")
            if name.lower().endswith(".torrent") and len(name) > 8:
                name = name[:-8]
            digest = "url:" + hashlib.sha1(url.encode("utf-8", "replace")).hexdigest()
            if any(j.info_hash == digest for j in self.bt_jobs):
                return C.ERR_TORRENT_ADDED
            job = self._new_bt(name, None, save_path, priority, url=url)
            job.info_hash = digest
            self._plan_failure(job, url)
            self.bt_jobs.append(job)
            return C.SUCCESS

    def bt_action(self, item_id, action, priority=None):
        """action: "pause", "resume", "remove" or "priority"."""
        with self.lock:
            self.advance()
            if not self.bt_enabled:
                return C.ERR_BT_DISABLED
            if not item_id:
                return C.ERR_NOT_SELECT
            job = self._bt_job(item_id)
            if job is None:
                return C.ERR_NULL_ITEM
            if action == "priority":
                job.priority = priority
                self._schedule(self.clock())
                return C.SUCCESS
            return self._act(job, action, self.bt_jobs)

    def _act(self, job, action, jobs):
        if action == "remove":
            jobs.remove(job)
        elif action == "pause":
            if job.state == "paused":
                return C.ERR_PAUSED_BEFORE
            if job.state in ("finished", "failed"):
                return C.ERR_PAUSED_FINISHED
            job.state, job.rate = "paused", 0.0
        elif action == "resume":
            if job.state == "finished":
                return C.ERR_DOWNLOADING_FINISHED
            if job.state in ("downloading", "waiting", "trying"):
                return C.ERR_ITEM_DOWNLOADING
            if job.state == "failed":     # resuming a failed job retries it
                job.fail_at = job.fail_on_connect = job.fail_text = None
                if job.kind == "bt" and job.size is None:
                    job.state, job.trying_until = "trying", self.clock() + self.trying_seconds
                    return C.SUCCESS
            job.state = "waiting"
        else:
            return C.ERR_NOT_SELECT
        self._schedule(self.clock())
        return C.SUCCESS

    # ------------------------------------------------------------ Web/FTP

    def add_web(self, url, save_path, user="", password=""):
        with self.lock:
            self.advance()
            parts = urllib.parse.urlsplit(url)
            if parts.scheme.lower() not in ("http", "https", "ftp") or not parts.hostname:
                return C.ERR_INVALID_URL
            code = self.check_save_path(save_path)
            if code != C.SUCCESS:
                return code
            if len(self.web_jobs) >= MAX_WEB_JOBS:
                return C.ERR_MAX_DOWNLOAD_COUNT
            segment = parts.path.rsplit("/", 1)[-1]
            name = urllib.parse.unquote(segment, errors="replace") or "index.html"
            key = webftp_key(save_path, name)
            if any(webftp_key(j.save_path, j.name) == key for j in self.web_jobs):
                return C.ERR_FILENAME_OVERLAP
            job = Job("web", name, int(2e6 + _stable_fraction(url) * 7e8), save_path)
            job.url = urllib.parse.unquote(url, errors="replace")
            job.user, job.password = user, password
            self._plan_failure(job, url)
            self.web_jobs.append(job)
            self._schedule(self.clock())
            return C.SUCCESS

    def find_web(self, key):
        with self.lock:
            for job in self.web_jobs:
                if webftp_key(job.save_path, job.name) == key:
                    return job
            return None

    def web_action(self, key, action):
        with self.lock:
            self.advance()
            if not key:
                return C.ERR_NOT_SELECT
            job = self.find_web(key)
            if job is None:
                return C.ERR_NULL_ITEM
            return self._act(job, action, self.web_jobs)

    # ------------------------------------------------------------ reading

    def snapshot(self):
        """Plain dictionaries for the pages: texts exactly as the status page shows them."""
        with self.lock:
            self.advance()
            bt = []
            for j in self.bt_jobs:
                remaining = "--:--:--"
                if j.state == "finished":
                    remaining = "00:00:00"
                elif j.state == "downloading" and j.rate > 0 and j.size:
                    remaining = hms((j.size - j.done) / j.rate)
                bt.append({
                    "BTName": j.name,
                    "BTContents": "1 file" if j.file_count == 1 else "%d files" % j.file_count,
                    "BTRemainingTime": remaining,
                    "BTTotalSize": human_size(j.size),
                    "BTSchedule": "%d%%" % int(j.fraction * 100),
                    "BTThroughput": human_rate(j.rate),
                    "BTStatus": j.status_text(),
                    "BTPriority": str(j.priority),
                    "BTItemId": j.item_id,
                })
            web = [{
                "WebFTPFileName": j.name,
                "WebFTPSize": human_size(j.size),
                "WebFTPLoadSize": human_size(int(j.done)),
                "WebFTPStatus": j.status_text(),
                "WebFTPSavePath": j.save_path,
                "WebFTPURL": j.url,
            } for j in self.web_jobs]
            return {"version": self.status_version, "bt_enabled": self.bt_enabled,
                    "web_enabled": self.web_enabled, "bt": bt, "web": web,
                    "default_path": self.default_path, "disks": list(self.tree)}

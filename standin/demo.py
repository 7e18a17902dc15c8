"""A handful of believable jobs in mixed states, for the demo (--demo)."""

from .model import Job

GB, MB = 1 << 30, 1 << 20

BT_JOBS = [
    # name, size, files, state, fraction, priority, speed factor, save path
    ("ubuntu-24.04-desktop-amd64.iso", int(5.7 * GB), 1, "downloading", 0.37, 1, 1.3,
     "[HDD1]download\\"),
    ("Big Buck Bunny (1080p)", 885 * MB, 3, "finished", 1.0, 0, 1.0, "[HDD1]Movies\\"),
    ("Sintel.2010.720p.mkv", 652 * MB, 1, "paused", 0.62, 0, 1.0, "[HDD1]Movies\\New\\"),
    ("Conférences été 2023", int(1.4 * GB), 12, "downloading", 0.08, 0, 0.6,
     "[HDD2]Video\\"),
    ("Cosmos Laundromat (2015)", int(1.9 * GB), 4, "downloading", 0.55, 0, 0.8,
     "[HDD1]Movies\\New\\"),
    ("debian-12-dvd-set", int(11.2 * GB), 3, "waiting", 0.0, -1, 1.0, "[HDD1]Software\\"),
    ("Elephants Dream (HD)", 430 * MB, 2, "failed:connect error", 0.0, 0, 1.0,
     "[HDD1]Movies\\"),
    ("Tears.of.Steel.4k", None, 1, "trying", 0.0, 0, 1.0, "[HDD1]download\\"),
    ("old-backup-archive", 2 * GB, 40, "failed:torrent error", 0.44, -1, 1.0,
     "[HDD2]backup\\"),
]

WEB_JOBS = [
    # url, size, state, fraction, speed factor, save path
    ("http://mirror.example.org/pub/linux/kernel/linux-6.6.tar.xz", 136 * MB, "downloading",
     0.41, 1.0, "[HDD1]download\\"),
    ("ftp://ftp.example.net/pub/videos/Holiday%20Clip.mp4", 310 * MB, "paused", 0.27, 1.0,
     "[HDD2]Video\\"),
    ("http://files.example.com/docs/manual%20v2.pdf", int(4.2 * MB), "finished", 1.0, 1.0,
     "[HDD1]download\\"),
    ("http://media.example.com/music/caf%C3%A9%20del%20mar.mp3", int(9.6 * MB), "waiting",
     0.0, 1.0, "[HDD1]Music\\Jazz\\"),
    ("http://broken.example.invalid/missing.zip", 52 * MB, "failed", 0.12, 1.0,
     "[HDD1]download\\"),
    ("http://audio.example.org/100%25%20pure.ogg", 18 * MB, "downloading", 0.75, 0.5,
     "[HDD1]Music\\"),
]


def fill(model):
    import urllib.parse
    with model.lock:
        for name, size, files, state, fraction, prio, factor, path in BT_JOBS:
            job = model._new_bt(name, size, path, prio, file_count=files)
            job.info_hash = "demo:" + name
            _set(job, state, fraction, factor)
            if state == "trying":
                job.trying_until = model.clock() + 20.0
                job.url = "http://torrents.example.org/Tears.of.Steel.4k.torrent"
            model.bt_jobs.append(job)
        for url, size, state, fraction, factor, path in WEB_JOBS:
            name = urllib.parse.unquote(url.rsplit("/", 1)[-1])
            job = Job("web", name, size, path)
            job.url = urllib.parse.unquote(url)
            _set(job, state, fraction, factor)
            model.web_jobs.append(job)


def _set(job, state, fraction, factor):
    state, _, fail_text = state.partition(":")
    job.state = state
    job.fail_text = fail_text or None
    job.done = (job.size or 0) * fraction
    job.speed_factor = factor

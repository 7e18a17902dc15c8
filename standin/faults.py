"""Fault settings, read from a JSON file at every request.

The file holds one JSON object (keys in README.md).  A missing or empty
file means no fault.  "times" counts are kept per file content, so writing
the same settings again does not re-arm them; change the content (any extra
key will do) to start a new count.
"""

import json
import sys
import threading

KNOWN = {"status", "reply_code", "delay", "no_marker", "marker_cr", "marker_at_end",
         "truncate", "reset", "big_body", "split_marker_at", "paths", "times", "comment", "id",
         "finish", "fail"}


def _names(value):
    """Job names from one name or a list of them; anything else names none."""
    if isinstance(value, str):
        return [value]
    return [v for v in value if isinstance(v, str)] if isinstance(value, list) else []


class Faults:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.used = {}            # file content -> matching requests served
        self.ended = set()        # file contents whose "finish" and "fail" were carried out

    def _read(self):
        """(content, settings) of the file; settings None when there are none."""
        if not self.path:
            return None, None
        try:
            with open(self.path, "r", encoding="utf-8") as f:
                content = f.read()
        except OSError:
            return None, None
        if not content.strip():
            return content, None
        try:
            settings = json.loads(content)
            if not isinstance(settings, dict):
                raise ValueError("not an object")
        except ValueError as e:
            print("standin: ignoring fault file %s: %s" % (self.path, e), file=sys.stderr)
            return content, None
        return content, settings

    def jobs_to_end(self):
        """(names to finish, names to fail) the first time a file content asks
        for them, whatever its "paths" and "times"; ([], []) afterwards."""
        content, settings = self._read()
        if not settings or not (settings.get("finish") or settings.get("fail")):
            return [], []
        with self.lock:
            if content in self.ended:
                return [], []
            self.ended.add(content)
        return _names(settings.get("finish")), _names(settings.get("fail"))

    def for_request(self, norm_path):
        """The fault settings that apply to this request ({} for none)."""
        content, settings = self._read()
        if not settings:
            return {}
        unknown = set(settings) - KNOWN
        if unknown:
            print("standin: unknown fault keys %s" % sorted(unknown), file=sys.stderr)
        paths = settings.get("paths")
        if paths is not None and norm_path not in [p.lstrip("/") for p in paths]:
            return {}
        times = settings.get("times")
        if times is not None:
            with self.lock:
                used = self.used.get(content, 0)
                if used >= int(times):
                    return {}
                self.used[content] = used + 1
        return settings

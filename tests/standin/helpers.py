"""Shared test fixtures: an in-process stand-in on 127.0.0.1 and raw-socket requests
built the way the PC program builds them."""

import json
import os
import socket
import tempfile
import threading

from standin.faults import Faults
from standin.model import Model
from standin.reqlog import RequestLog
from standin.server import Server, StandIn

BOUNDARY = "/" * 17
MARKER = b"QuarrowReturnValue:"


class Clock:
    def __init__(self):
        self.now = 1000.0

    def __call__(self):
        return self.now


class Running:
    """A stand-in serving on a free port of 127.0.0.1 until stop()."""

    def __init__(self, user=None, password="", faults=False, **model_args):
        self.dir = tempfile.TemporaryDirectory()
        self.clock = Clock()
        model_args.setdefault("speed", 0)
        model_args.setdefault("fail_rate", 0)
        self.model = Model(clock=self.clock, **model_args)
        self.log_path = os.path.join(self.dir.name, "log.jsonl")
        self.dump_dir = os.path.join(self.dir.name, "dump")
        self.faults_path = os.path.join(self.dir.name, "faults.json") if faults else None
        self.app = StandIn(self.model, RequestLog(self.log_path, self.dump_dir),
                           Faults(self.faults_path), user=user, password=password)
        self.server = Server(("127.0.0.1", 0), self.app)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever,
                                       kwargs={"poll_interval": 0.05}, daemon=True)
        self.thread.start()

    def set_faults(self, settings):
        with open(self.faults_path, "w") as f:
            f.write(json.dumps(settings))

    def log(self):
        with open(self.log_path) as f:
            return [json.loads(line) for line in f]

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self.app.log.close()
        self.dir.cleanup()

    # ------------------------------------------------------------ requests

    def raw(self, data, timeout=10):
        """Send bytes, read until the server closes; returns the whole answer."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(data)
            chunks = []
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return b"".join(chunks)
                chunks.append(chunk)

    def request(self, method, path, body=b"", headers=()):
        head = "%s %s HTTP/1.0\r\n" % (method, path)
        head += "".join("%s: %s\r\n" % h for h in headers)
        if method == "POST":
            head += "Content-Length: %d\r\n" % len(body)
        answer = self.raw(head.encode("latin-1") + b"\r\n" + body)
        head, _, page = answer.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        hdrs = dict(l.split(": ", 1) for l in lines[1:])
        return int(lines[0].split()[1]), hdrs, page

    def form(self, path, text, **kw):
        """A form-text POST: no Content-Type, zero byte sent and counted."""
        return self.request("POST", path, text.encode("latin-1") + b"\0", **kw)

    def multipart(self, path, fields, nul=True, **kw):
        headers = [("Content-Type", "multipart/form-data; boundary=" + BOUNDARY)]
        return self.request("POST", path, multipart_body(fields, nul), headers=headers, **kw)

    def code(self, answer):
        return reply_code(answer[2])


def multipart_body(fields, nul=True):
    """fields: (name, value) text parts, or (name, bytes) for the file part."""
    out = b""
    for name, value in fields:
        if isinstance(value, bytes):
            out += ("--%s\r\nContent-Disposition: form-data; name=\"%s\"; filename=\"\"\r\n"
                    "Content-Type: application/octet-stream\r\n\r\n" % (BOUNDARY, name)
                    ).encode() + value + b"\r\n"
        else:
            out += ("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n"
                    % (BOUNDARY, name, value)).encode("utf-8")
    return out + ("--%s--" % BOUNDARY).encode() + (b"\0" if nul else b"")


def reply_code(page):
    """The reply code the way the PC program reads it (None: no usable marker line)."""
    at = page.find(MARKER)
    if at < 0:
        return None
    end = page.find(b"\n", at)
    return None if end < 0 else page[at + len(MARKER):end].decode("latin-1")

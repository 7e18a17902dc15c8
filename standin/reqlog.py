"""Request log: every request exactly as received.

One JSON object per line (flushed at once) and, optionally, each raw
request as DIR/NNNNNN.bin for readers without a JSON parser.
"""

import base64
import json
import os
import threading
import time


class RequestLog:
    def __init__(self, log_path=None, dump_dir=None):
        self.lock = threading.Lock()
        self.seq = 0
        self.file = open(log_path, "a", encoding="utf-8") if log_path else None
        self.dump_dir = dump_dir
        if dump_dir:
            os.makedirs(dump_dir, exist_ok=True)

    def record(self, client, req):
        """Give the request its sequence number and write it out."""
        with self.lock:
            self.seq += 1
            req.seq = self.seq
            if self.file:
                entry = {
                    "seq": req.seq, "time": time.time(), "client": client,
                    "request_line": req.request_line, "method": req.method,
                    "path": req.target, "version": req.version,
                    "headers": [[k, v] for k, v in req.headers],
                    "body_b64": base64.b64encode(req.body).decode("ascii"),
                    "raw_b64": base64.b64encode(req.raw).decode("ascii"),
                }
                if req.excess:
                    # Bytes that arrived beyond Content-Length.
                    entry["excess_b64"] = base64.b64encode(req.excess).decode("ascii")
                if req.incomplete:
                    entry["incomplete"] = True
                self.file.write(json.dumps(entry, ensure_ascii=True) + "\n")
                self.file.flush()
            if self.dump_dir:
                with open(os.path.join(self.dump_dir, "%06d.bin" % req.seq), "wb") as f:
                    f.write(req.raw)
            return req.seq

    def close(self):
        if self.file:
            self.file.close()

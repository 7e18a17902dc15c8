"""What reached the stand-in servers, from their logs: the web server's
requests (one JSON object per line, body in base64) and the management
stand-ins' datagrams; and the request bodies Quarrow is expected to send."""
import base64
import json
import os
import time

# The stand-in's default save folder, which the add dialogs show.
DEFAULT_PATH = "[HDD1]download\\"
# Multipart bodies: the client's fixed boundary.
BOUNDARY = b"/" * 17
DELIMITER = b"--" + BOUNDARY + b"\r\nContent-Disposition: form-data; "
CLOSING = b"--" + BOUNDARY + b"--"


def part(name, value):
    """One text field of a multipart body as the client writes it (text in Latin-1)."""
    if isinstance(value, str):
        value = value.encode("latin-1")
    return DELIMITER + b'name="' + name.encode() + b'"\r\n\r\n' + value + b"\r\n"


def auth_of(request):
    """The "user:password" of a request's Basic authentication, or None."""
    for name, value in request["headers"]:
        if name.lower() == "authorization":
            return base64.b64decode(value.split()[1]).decode()
    return None


def read_jsonl(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [json.loads(line) for line in f]


class StandInLog:
    """The web stand-in's request log of a test network."""

    def __init__(self, net):
        self.path = net.log_path

    def requests(self):
        return read_jsonl(self.path)

    def paths(self):
        """The request paths in order, without a leading "/" (the client may send either form)."""
        return [r["path"].lstrip("/") for r in self.requests()]

    def posts(self, path):
        """The bodies sent to `path` (without its leading "/"), in order."""
        return [base64.b64decode(r["body_b64"]) for r in self.requests() if r["path"].lstrip("/") == path]

    def status_fetches(self, authorized=False):
        """Requests of the status page; `authorized`: only those that carried credentials
        (one per fetch, however many exchanges the authentication took)."""
        return sum(1 for r in self.requests() if r["path"].lstrip("/") == "Quarrow.asp"
                   and (not authorized or auth_of(r) is not None))

    def settled(self, quiet=1.5, timeout=30):
        """Waits until no request has arrived for `quiet` seconds; the request count."""
        last, since = len(self.requests()), time.time()
        deadline = time.time() + timeout
        while time.time() < deadline:
            time.sleep(0.3)
            now = len(self.requests())
            if now != last:
                last, since = now, time.time()
            elif time.time() - since >= quiet:
                break
        return last


def records(path, kind=None, direction="rx"):
    """A management stand-in's log: the datagrams it received ("rx") or sent ("tx"), of `kind` if given."""
    return [r for r in read_jsonl(path) if r["dir"] == direction and (kind is None or r["kind"] == kind)]

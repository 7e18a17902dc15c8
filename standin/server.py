"""HTTP/1.0 front of the stand-in: reads each request byte for byte, logs it,
checks authentication, applies fault settings and routes it to a handler.

One request per connection; the connection is closed after each reply.
"""

import base64
import json
import socket
import socketserver
import struct
import sys
import time
import traceback
import urllib.parse

from . import bencode
from . import codes as C
from . import pages
from .forms import BOUNDARY, Form, FormError, boundary_from_content_type
from .model import key_to_text

REASONS = {200: "OK", 400: "Bad Request", 401: "Unauthorized", 404: "Not Found",
           405: "Method Not Allowed", 500: "Internal Server Error"}
MAX_HEAD = 1 << 20


class Request:
    def __init__(self):
        self.raw = b""
        self.request_line = ""
        self.method = ""
        self.target = ""
        self.version = ""
        self.headers = []
        self.body = b""
        self.excess = b""
        self.incomplete = False
        self.seq = 0

    def header(self, name, default=None):
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return default

    @property
    def path(self):
        """Object path without query, fragment or leading slashes."""
        target = self.target
        if "://" in target:
            target = urllib.parse.urlsplit(target).path
        return target.split("?", 1)[0].split("#", 1)[0].lstrip("/")


def read_request(sock, timeout=30.0):
    """Read one request: head up to the empty line, then Content-Length body bytes."""
    sock.settimeout(timeout)
    req, buf = Request(), b""
    sep = end = -1
    try:
        while True:
            crlf, lf = buf.find(b"\r\n\r\n"), buf.find(b"\n\n")
            if crlf >= 0 and (lf < 0 or crlf <= lf):
                end, sep = crlf, 4
                break
            if lf >= 0:
                end, sep = lf, 2
                break
            if len(buf) > MAX_HEAD:
                break
            chunk = sock.recv(65536)
            if not chunk:
                break
            buf += chunk
    except OSError:
        pass
    if end < 0:
        if not buf:
            return None
        req.raw, req.incomplete = buf, True
        req.request_line = buf.split(b"\n", 1)[0].rstrip(b"\r").decode("latin-1")
        return req
    lines = buf[:end].decode("latin-1").split("\n")
    req.request_line = lines[0].rstrip("\r")
    fields = req.request_line.split(" ")
    req.method = fields[0]
    req.target = fields[1] if len(fields) > 1 else ""
    req.version = fields[2] if len(fields) > 2 else ""
    for line in lines[1:]:
        line = line.rstrip("\r")
        name, colon, value = line.partition(":")
        if colon:
            req.headers.append((name.strip(), value.strip()))
    try:
        length = max(0, int(req.header("Content-Length", "0")))
    except ValueError:
        length = 0
    rest = buf[end + sep:]
    try:
        while len(rest) < length:
            chunk = sock.recv(65536)
            if not chunk:
                break
            rest += chunk
    except OSError:
        pass
    if len(rest) < length:
        req.incomplete = True
    req.body, req.excess = rest[:length], rest[length:]
    req.raw = buf[:end + sep] + req.body
    return req


class StandIn:
    """Everything a request handler needs: model, log, faults and settings."""

    def __init__(self, model, log, faults, user=None, password="", realm="Storage Server",
                 page_encoding="utf-8", no_usb_error=False, verbose=False, alternate=None):
        self.model = model
        # (BT jobs, Web/FTP jobs) of every second status page, or None
        self.alternate = alternate
        self.status_pages = 0
        self.log = log
        self.faults = faults
        self.user = user
        self.password = password
        self.realm = realm
        self.page_encoding = page_encoding
        self.no_usb_error = no_usb_error
        self.verbose = verbose
        self.routes = {
            "": ("GET", self.index),
            "Quarrow.asp": ("GET", self.status),
            "goform/formSetBtFlashState": ("POST", self.set_bt_state),
            "goform/formBtListTable": ("POST", self.bt_table),
            "goform/formDownFlashState": ("POST", self.set_web_state),
            "goform/formNasDownloadTable": ("POST", self.web_table),
            "goform/formAddBtItem": ("POST", self.add_bt),
            "goform/formNasDownloadAdd": ("POST", self.add_web),
            "goform/formSetDefaultPath": ("POST", self.default_path),
            "nasopenroot.asp": ("GET", self.open_root),
            "goform/formNasOpenSubCatalog": ("POST", self.open_sub_catalog),
            "standin/state.json": ("GET", self.state_json),
        }

    # ------------------------------------------------------------ plumbing

    def authorised(self, req):
        if self.user is None:
            return True
        value = req.header("Authorization", "")
        if not value.lower().startswith("basic "):
            return False
        try:
            given = base64.b64decode(value[6:].strip(), validate=True)
        except ValueError:
            return False
        expected = "%s:%s" % (self.user, self.password)
        return given in (expected.encode("utf-8"), expected.encode("latin-1", "replace"))

    def serve(self, sock, req):
        if req.incomplete or not req.method:
            self.send(sock, pages.bare_page(400, "Bad Request"))
            return
        if not self.authorised(req):
            page = pages.reply_page(C.ERR_SYSTEM_BUSY, "401 Unauthorized")
            page.status = 401
            page.extra_headers.append(("WWW-Authenticate", 'Basic realm="%s"' % self.realm))
            self.send(sock, page)
            return
        if self.faults:
            finish, fail = self.faults.jobs_to_end()
            if finish or fail:
                self.model.end_jobs(finish, fail)
        faults = self.faults.for_request(req.path) if self.faults else {}
        if faults.get("delay"):
            time.sleep(float(faults["delay"]))
        if faults.get("reset"):
            # Linger 0: close() sends RST instead of FIN.
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            sock.close()
            return
        if faults.get("status"):
            status = int(faults["status"])
            page = pages.reply_page(faults.get("reply_code", C.SUCCESS),
                                    "%d %s" % (status, REASONS.get(status, "")))
            page.status = status
            if status == 401:
                page.extra_headers.append(("WWW-Authenticate", 'Basic realm="%s"' % self.realm))
        else:
            page = self.route(req, faults.get("reply_code"))
        self.send(sock, page, faults)

    def route(self, req, override=None):
        entry = self.routes.get(req.path)
        if entry is None:
            self.note(req, "no such page")
            return pages.bare_page(404, "404 Not Found")
        method, handler = entry
        if req.method != method:
            self.note(req, "wrong method")
            return pages.bare_page(405, "405 Method Not Allowed")
        if override is not None:
            # Answer the code without touching the jobs; the status page keeps its shape.
            if handler == self.status:
                return pages.status_page(override, self.model.snapshot())
            return pages.reply_page(override)
        try:
            return handler(req)
        except FormError as e:
            self.note(req, "bad form: %s" % e)
            return pages.bare_page(400, "400 Bad Request")
        except Exception:
            traceback.print_exc(file=sys.stderr)
            return pages.bare_page(500, "500 Internal Server Error")

    def send(self, sock, page, faults=None):
        faults = faults or {}
        body = page.body(faults)
        head = ["HTTP/1.0 %d %s" % (page.status, REASONS.get(page.status, "Status")),
                "Server: storage-standin",
                "Content-Type: %s; charset=%s" % (page.content_type, page.encoding),
                "Content-Length: %d" % len(body),
                "Cache-Control: no-cache", "Pragma: no-cache", "Connection: close"]
        head += ["%s: %s" % kv for kv in page.extra_headers]
        if faults.get("truncate") is not None:
            body = body[:max(0, int(faults["truncate"]))]
        try:
            sock.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body)
        except OSError:
            pass

    def note(self, req, text):
        print("standin: #%d %s: %s" % (req.seq, req.request_line, text), file=sys.stderr)

    def form(self, req, required):
        """The request's multipart form; every field in `required` must be present."""
        boundary = boundary_from_content_type(req.header("Content-Type"))
        if boundary is None:
            raise FormError("no multipart Content-Type with a boundary")
        if boundary != BOUNDARY:
            self.note(req, "unexpected boundary %r" % boundary)
        form = Form.from_multipart(req.body, boundary)
        missing = [n for n in required if not form.has(n)]
        if missing:
            raise FormError("missing fields %s" % missing)
        return form

    def ansi(self, form, name):
        """Texts typed on the PC arrive in its ANSI code page."""
        return form.text(name, self.page_encoding, "")

    @staticmethod
    def switch(form, name):
        value = form.text(name, "latin-1", "")
        if value not in ("0", "1"):
            raise FormError("%s=%r" % (name, value))
        return value == "1"

    # ------------------------------------------------------------ pages

    def index(self, req):
        return pages.index_page(C.SUCCESS, self.model.snapshot())

    def status(self, req):
        snap = self.model.snapshot()
        self.status_pages += 1
        if self.alternate and self.status_pages % 2 == 0:
            snap = dict(snap, bt=snap["bt"][:self.alternate[0]], web=snap["web"][:self.alternate[1]])
        return pages.status_page(C.SUCCESS, snap)

    def state_json(self, req):
        snap = self.model.snapshot()
        return pages.Page("", json.dumps(snap, indent=1), content_type="application/json",
                          marker=False)

    def set_bt_state(self, req):
        self.model.set_bt_enabled(self.switch(Form.from_text(req.body), "setBtState"))
        return pages.reply_page(C.SUCCESS)

    def set_web_state(self, req):
        self.model.set_web_enabled(self.switch(Form.from_text(req.body), "downSwitch"))
        return pages.reply_page(C.SUCCESS)

    def bt_table(self, req):
        form = Form.from_text(req.body)
        if form.has("selectOrder"):
            order = form.text("selectOrder", "latin-1")
            if order not in ("1", "0", "-1"):
                raise FormError("selectOrder=%r" % order)
            code = self.model.bt_action(form.text("number", "latin-1", ""), "priority",
                                        int(order))
        else:
            for field, action in (("Pause", "pause"), ("Resume", "resume"),
                                  ("RemoveSel", "remove")):
                if form.has(field):
                    break
            else:
                raise FormError("no action field")
            code = self.model.bt_action(form.text("selectItem", "latin-1", ""), action)
        return pages.reply_page(code)

    def web_table(self, req):
        form = self.form(req, [])
        for field, action in (("Pause", "pause"), ("Resume", "resume"), ("delSel", "remove")):
            if form.has(field):
                break
        else:
            raise FormError("no action field")
        key = form.text("selectItem", "latin-1", "")
        code = self.model.web_action(key, action)
        if code == C.ERR_NULL_ITEM:
            self.note(req, "no Web/FTP job has the key %r (reads as %r)"
                      % (key, key_to_text(key)))
        return pages.reply_page(code)

    @staticmethod
    def priority(form):
        value = form.text("btItemPriority", "latin-1", "")
        if value not in ("1", "0", "-1"):
            raise FormError("btItemPriority=%r" % value)
        return int(value)

    @staticmethod
    def url(form):
        # The UTF-8 form is plain ASCII (percent-escapes); fall back to the other.
        return form.text("UrlUtf8", "latin-1", "") or form.text("UrlEncoded", "latin-1", "")

    def add_bt(self, req):
        form = self.form(req, ["btItemPriority", "torrentType"])
        kind = form.text("torrentType", "latin-1")
        if kind == "1":
            form = self.form(req, ["btItemPriority", "torrentType", "file", "savePath",
                                   "pcLocationEncoded"])
            data = form.raw("file")
            if not data:
                torrent = C.ERR_READ_TORRENT
            else:
                try:
                    torrent = bencode.read_torrent(data)
                except bencode.BencodeError as e:
                    self.note(req, "torrent not valid: %s" % e)
                    torrent = C.ERR_NOT_VALID_TORRENT
            code = self.model.add_bt_torrent(torrent, self.ansi(form, "savePath"),
                                             self.priority(form))
        elif kind == "0":
            form = self.form(req, ["btItemPriority", "torrentType", "savePath", "UrlEncoded",
                                   "UrlUtf8"])
            code = self.model.add_bt_url(self.url(form), self.ansi(form, "savePath"),
                                         self.priority(form))
        else:
            raise FormError("torrentType=%r" % kind)
        return pages.reply_page(code)

    def add_web(self, req):
        form = self.form(req, ["UrlEncoded", "UrlUtf8", "savePath", "user", "pwd"])
        code = self.model.add_web(self.url(form), self.ansi(form, "savePath"),
                                  self.ansi(form, "user"), self.ansi(form, "pwd"))
        return pages.reply_page(code)

    def default_path(self, req):
        form = self.form(req, ["DefaultPath"])
        path = self.ansi(form, "DefaultPath")
        if path:
            return pages.reply_page(self.model.set_default_path(path))
        return pages.default_path_page(C.SUCCESS, self.model.default_path, self.page_encoding)

    def open_root(self, req):
        disks = self.model.disks()
        code = C.ERR_NO_USB if not disks and self.no_usb_error else C.SUCCESS
        return pages.root_page(code, disks, self.page_encoding)

    def open_sub_catalog(self, req):
        form = self.form(req, ["prePath", "fileType"])
        folders = self.model.list_folder(self.ansi(form, "prePath"))
        if folders is None:
            return pages.folder_page(C.ERR_DIR_NOT_EXIST, [], self.page_encoding)
        return pages.folder_page(C.SUCCESS, folders, self.page_encoding)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        app = self.server.standin
        sock = self.request
        req = read_request(sock)
        if req is None:
            return
        app.log.record(self.client_address[0], req)
        if app.verbose:
            print("standin: #%d %s %s" % (req.seq, self.client_address[0], req.request_line),
                  file=sys.stderr)
        app.serve(sock, req)
        if sock.fileno() < 0:
            return
        # Close gently: half-close, then let the client finish reading and close first,
        # so that unread bytes in our receive buffer cannot turn the close into a reset.
        try:
            sock.shutdown(socket.SHUT_WR)
            sock.settimeout(0.5)
            deadline = time.monotonic() + 2.0
            while time.monotonic() < deadline and sock.recv(65536):
                pass
        except OSError:
            pass


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, standin):
        self.standin = standin
        super().__init__(address, Handler)

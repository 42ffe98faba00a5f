#!/usr/bin/env python3
"""Scripted HTTP/1.1 server that plays the market's content and analytics servers for the network tests.

One process serves the same handler on several listeners (plain and TLS), so that held analytics
requests and the shared request log are common to all of them. Requests are read by hand, not by
http.server: the log must hold the exact bytes that came over the wire, and the answers must be able
to break HTTP on purpose (cut bodies, chunk extensions, stalls).

Run by servers.py; on its own:
    scripted_http.py --log FILE --ready FILE [--tls NAME CERT KEY]... [--lifetime SECONDS]
It binds two plain ports and one TLS port per --tls (each with its own certificate), all on 127.0.0.1
port 0, and writes {"http": P, "http2": P, NAME: P, ...} to the ready file once they accept connections.
"""

import argparse
import calendar
import email.utils
import fcntl
import json
import os
import socket
import socketserver
import ssl
import struct
import termios
import threading
import time
import urllib.parse

HOST = "127.0.0.1"
MAX_HEADER_BYTES = 64 * 1024
READ_TIMEOUT = 30.0        # a client that sends no complete request within this is dropped
STALL_SECONDS = 120.0      # /stall and /silent keep the connection open at most this long
HOLD_SECONDS = 60.0        # /hold/.../collect waits at most this long for /control/release
LINGER_SECONDS = 1.0       # after our last byte, how long we wait for the client to close first
CHUNK = 64 * 1024
SENT_TIMEOUT = 10.0        # how long a reset waits for the bytes before it to leave our send queue
# /changing?validator=lastmodified: generation G was last modified G minutes after this moment.
CHANGING_BASE_TIME = calendar.timegm((2024, 1, 1, 0, 0, 0))

REASONS = {200: "OK", 206: "Partial Content", 301: "Moved Permanently", 302: "Found",
           303: "See Other", 307: "Temporary Redirect", 308: "Permanent Redirect",
           400: "Bad Request", 404: "Not Found", 416: "Range Not Satisfiable",
           500: "Internal Server Error", 503: "Service Unavailable"}


# --- the body pattern: byte i of every generated resource is (i * 31 + 7 + G) & 0xFF ----------
# G is 0 except for /changing, where it is the generation. The pattern repeats every 256 bytes, so
# any window of it is a slice of one precomputed buffer per G (mod 256).
_PATTERNS = {}


def _pattern_buffer(gen):
    gen &= 0xFF
    buf = _PATTERNS.get(gen)
    if buf is None:
        buf = bytes((i * 31 + 7 + gen) & 0xFF for i in range(256)) * (CHUNK // 256 + 1)
        _PATTERNS[gen] = buf
    return buf


def pattern(offset, length, gen=0):
    """Bytes [offset, offset + length) of the pattern of generation `gen`, length <= CHUNK."""
    start = offset % 256
    return _pattern_buffer(gen)[start:start + length]


class BadArgument(Exception):
    """A query argument that cannot be used; answered with 400."""


# --- state shared by every listener of this process ---------------------------------------------
class Shared:
    def __init__(self, log_path):
        self.log_path = log_path
        self.log_lock = threading.Lock()
        self.hold = threading.Condition()
        self.release_generation = 0
        self.generations = {}           # /changing: key -> generation of its last answer
        self.generations_lock = threading.Lock()

    def log_request(self, port, raw):
        with self.log_lock, open(self.log_path, "ab") as f:
            f.write(b"=== %d %.6f\n" % (port, time.time()) + raw + b"\n=== end\n")

    def reset_log(self):
        with self.log_lock, open(self.log_path, "wb"):
            pass
        with self.generations_lock:
            self.generations.clear()

    def next_generation(self, key):
        with self.generations_lock:
            self.generations[key] = self.generations.get(key, 0) + 1
            return self.generations[key]

    def wait_for_release(self):
        """Blocks until the next /control/release (or HOLD_SECONDS)."""
        with self.hold:
            generation = self.release_generation
            self.hold.wait_for(lambda: self.release_generation != generation, HOLD_SECONDS)

    def release_all(self):
        with self.hold:
            self.release_generation += 1
            self.hold.notify_all()


# --- request reading -----------------------------------------------------------------------------
class Request:
    def __init__(self, raw):
        self.raw = raw
        head = raw.split(b"\r\n")
        line = head[0].decode("latin-1")
        # Analytics queries may hold blanks: the method ends at the first blank, the version starts
        # at the last " HTTP/", and everything between is the target, as it came.
        self.method, _, rest = line.partition(" ")
        cut = rest.rfind(" HTTP/")
        self.target = rest[:cut] if cut >= 0 else rest
        if self.target.startswith(("http://", "https://")):   # absolute form: keep the path only
            self.target = "/" + self.target.split("/", 3)[3] if self.target.count("/") >= 3 else "/"
        self.path, _, self.query = self.target.partition("?")
        self.headers = {}
        for h in head[1:]:
            name, sep, value = h.decode("latin-1").partition(":")
            if sep:
                self.headers[name.strip().lower()] = value.strip()

    def arg(self, name, default=None):
        # parse_qs would drop a malformed query; a lenient split keeps the tests' odd queries usable
        for part in self.query.split("&"):
            key, _, value = part.partition("=")
            if key == name:
                return urllib.parse.unquote(value)
        return default

    def int_arg(self, name, default):
        value = self.arg(name)
        if value is None:
            return default
        try:
            return int(value)
        except ValueError:
            raise BadArgument("%s is not a number" % name) from None

    def choice_arg(self, name, allowed):
        """The argument's value, one of `allowed`; the first one when the query has none."""
        value = self.arg(name, allowed[0])
        if value not in allowed:
            raise BadArgument("%s must be one of %s" % (name, ", ".join(allowed)))
        return value

    def range_start_end(self, size):
        """(start, end_inclusive) of a 'bytes=S-' or 'bytes=S-E' Range, None without one,
        or 'bad' when it cannot be served."""
        value = self.headers.get("range")
        if value is None:
            return None
        unit, _, span = value.partition("=")
        first, dash, last = span.strip().partition("-")
        if unit.strip().lower() != "bytes" or not dash or not first.isdigit() \
                or (last and not last.isdigit()):
            return "bad"
        start = int(first)
        end = min(int(last), size - 1) if last else size - 1
        if start >= size or end < start:
            return "bad"
        return start, end


def read_request(sock):
    """Reads up to and including the blank line; returns the raw bytes or None."""
    data = b""
    deadline = time.monotonic() + READ_TIMEOUT
    while b"\r\n\r\n" not in data:
        if len(data) > MAX_HEADER_BYTES or time.monotonic() > deadline:
            return None
        part = sock.recv(4096)
        if not part:
            return None
        data += part
    # One request per connection: anything after the blank line (a body) is not part of the record.
    return data[:data.index(b"\r\n\r\n") + 4]


# --- the handler ---------------------------------------------------------------------------------
class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.port = self.server.server_address[1]
        self.scheme = "https" if self.server.tls else "http"
        self.sock = self.request
        self.sock.settimeout(READ_TIMEOUT)
        self.reset_at_end = False       # end with a TCP reset instead of a polite close

    def handle(self):
        try:
            if self.server.tls:
                # The handshake runs in this connection's own thread, so a slow client blocks no one.
                self.sock = self.server.tls.wrap_socket(self.sock, server_side=True)
            raw = read_request(self.sock)
            if raw is None:
                return
            self.server.shared.log_request(self.port, raw)
            self.req = Request(raw)
            try:
                self.dispatch(self.req)
            except BadArgument as e:     # raised before any byte of the answer went out
                self.send_simple(400, str(e))
        except (OSError, ssl.SSLError):
            pass    # the client went away or broke TLS: nothing to answer
        finally:
            self.finish_connection()

    # -- output helpers
    def send_head(self, status, headers, close=True):
        lines = ["HTTP/1.1 %d %s" % (status, REASONS.get(status, "Status"))]
        lines += ["%s: %s" % kv for kv in headers]
        if close:
            lines.append("Connection: close")
        self.sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def send_simple(self, status, body, extra=()):
        body = body.encode() if isinstance(body, str) else body
        self.send_head(status, [("Content-Type", "text/plain"), ("Content-Length", len(body))]
                       + list(extra))
        if self.req.method != "HEAD":
            self.sock.sendall(body)

    def send_pattern(self, start, end, gen=0):
        """Sends pattern bytes [start, end) of generation `gen`."""
        if self.req.method == "HEAD":
            return
        pos = start
        while pos < end:
            n = min(CHUNK, end - pos)
            self.sock.sendall(pattern(pos, n, gen))
            pos += n

    def send_range_head(self, start, end, size, extra=()):
        self.send_head(206, [("Content-Type", "application/octet-stream"),
                             ("Content-Length", end - start + 1),
                             ("Content-Range", "bytes %d-%d/%d" % (start, end, size))] + list(extra))

    def send_unsatisfiable(self, size):
        self.send_simple(416, "", [("Content-Range", "bytes */%d" % size)])

    def send_resource(self, size, honor_range=True, cut_after=None):
        """A pattern resource of `size` bytes; without a Range it may be cut after `cut_after`."""
        rng = self.req.range_start_end(size) if honor_range else None
        if rng == "bad":
            self.send_unsatisfiable(size)
        elif rng:
            start, end = rng
            self.send_range_head(start, end, size)
            self.send_pattern(start, end + 1)
        else:
            self.send_head(200, [("Content-Type", "application/octet-stream"),
                                 ("Content-Length", size)])
            self.send_pattern(0, size if cut_after is None else min(cut_after, size))

    def own_url(self, path):
        return "%s://%s:%d%s" % (self.scheme, HOST, self.port, path)

    def hold_open(self):
        """Sends nothing and keeps the connection until the client closes it or STALL_SECONDS pass."""
        deadline = time.monotonic() + STALL_SECONDS
        self.sock.settimeout(1.0)
        while time.monotonic() < deadline:
            try:
                if not self.sock.recv(4096):
                    return
            except socket.timeout:
                continue

    def finish_connection(self):
        """Closes politely: our FIN first, then a short wait for the client's, so that unread
        request bytes do not turn the close into a reset that could eat the tail of the answer."""
        if self.reset_at_end:
            return self.reset_connection()
        sock = self.sock
        try:
            if isinstance(sock, ssl.SSLSocket):
                sock.settimeout(LINGER_SECONDS)
                sock = sock.unwrap()          # close_notify, so a body without length ends cleanly
            sock.shutdown(socket.SHUT_WR)
            sock.settimeout(LINGER_SECONDS)
            deadline = time.monotonic() + LINGER_SECONDS
            while time.monotonic() < deadline and sock.recv(4096):
                pass
        except (OSError, ValueError):
            pass
        finally:
            for s in {sock, self.sock, self.request}:
                try:
                    s.close()
                except OSError:
                    pass

    def reset_connection(self):
        """Ends with a TCP reset (SO_LINGER on, 0 s), so the client sees a connection error rather
        than an end of body. A reset discards what is still queued to send, so it waits until the
        client's side has taken every byte of the answer."""
        try:
            deadline = time.monotonic() + SENT_TIMEOUT
            while time.monotonic() < deadline and _unsent_bytes(self.sock) > 0:
                time.sleep(0.01)
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        finally:
            for s in {self.sock, self.request}:
                try:
                    s.close()
                except OSError:
                    pass

    # -- endpoints
    def dispatch(self, req):
        parts = req.path.strip("/").split("/")
        head, arg = parts[0], (parts[1] if len(parts) > 1 else "")
        num = int(arg) if arg.isdigit() else None

        if req.path.endswith("/collect"):
            return self.collect(parts)
        if head == "bytes" and num is not None:
            return self.send_resource(num)
        if head == "nolength" and num is not None:
            self.send_head(200, [("Content-Type", "application/octet-stream")])
            return self.send_pattern(0, num)
        if req.path == "/zero":
            return self.send_simple(200, b"")
        if head == "status" and num is not None and 100 <= num <= 599:
            return self.send_simple(num, "not here" if num == 404 else REASONS.get(num, "status"))
        if head == "redirect":
            return self.redirect(arg)
        if req.path == "/loop":
            return self.send_simple(302, "", [("Location", self.own_url("/loop"))])
        if head == "chain" and num is not None:
            if num == 0:
                return self.send_simple(200, "end of chain")
            return self.send_simple(302, "", [("Location", self.own_url("/chain/%d" % (num - 1)))])
        if head == "chunked" and num is not None:
            return self.chunked(num, int(req.arg("size", "4096") or 4096))
        if req.path == "/chunkext":
            self.send_head(200, [("Transfer-Encoding", "chunked")])
            return self.sock.sendall(b"1;x\r\na\r\n0\r\n\r\n")
        if head in ("cut", "ignore-range") and num is not None:
            # Only a first try (no Range) is cut; /ignore-range answers a resume with all N bytes.
            after = int(req.arg("after", str(num // 2))) if "range" not in req.headers else None
            return self.send_resource(num, honor_range=(head == "cut"), cut_after=after)
        if head == "stall" and num is not None:
            return self.stall(num)
        if head == "nolength-cut" and num is not None:
            return self.nolength_cut(num)
        if head == "chunked-cut" and num is not None:
            return self.chunked_cut(num, max(1, req.int_arg("size", 4096)))
        if head == "wrong-range" and num is not None:
            return self.wrong_range(num)
        if head == "changing" and num is not None:
            return self.changing(num)
        if head == "silent":
            return self.hold_open()
        if req.path == "/control/release":
            self.server.shared.release_all()
            return self.send_simple(200, "released")
        if req.path == "/control/reset-log":
            self.server.shared.reset_log()
            return self.send_simple(200, "reset")
        return self.send_simple(404, "unknown")

    def redirect(self, arg):
        if arg == "301-nolocation":
            return self.send_simple(301, "")
        if arg in ("301", "302", "303", "307", "308"):
            to = self.req.arg("to")
            if to is not None:
                return self.send_simple(int(arg), "", [("Location", to)])
        return self.send_simple(404, "unknown")

    def chunked(self, total, size):
        size = max(1, size)
        self.send_head(200, [("Content-Type", "application/octet-stream"),
                             ("Transfer-Encoding", "chunked")])
        pos = 0
        while pos < total:
            n = min(size, total - pos)
            body = b"".join(pattern(p, min(CHUNK, pos + n - p)) for p in range(pos, pos + n, CHUNK))
            self.sock.sendall(b"%x\r\n" % n + body + b"\r\n")
            pos += n
        self.sock.sendall(b"0\r\n\r\n")

    def stall(self, total):
        """The head and `after` bytes (of the asked range, if any), then silence."""
        after = max(0, self.req.int_arg("after", 10))
        rng = self.req.range_start_end(total)
        if rng == "bad":
            return self.send_unsatisfiable(total)
        if rng:
            start, end = rng
            self.send_range_head(start, end, total)
            self.send_pattern(start, min(start + after, end + 1))
        else:
            self.send_head(200, [("Content-Type", "application/octet-stream"),
                                 ("Content-Length", total)])
            self.send_pattern(0, min(after, total))
        self.hold_open()

    def nolength_cut(self, total):
        """A body without length that ends early: by a close, which looks like a whole body, or
        by a reset, which the client sees as an error."""
        after = max(0, self.req.int_arg("after", total // 2))
        self.reset_at_end = self.req.choice_arg("how", ("close", "reset")) == "reset"
        self.send_head(200, [("Content-Type", "application/octet-stream")])
        self.send_pattern(0, min(after, total))

    def chunked_cut(self, total, size):
        """Chunks as /chunked sends them, broken off after `after` body bytes inside a chunk whose
        size line promised more; the terminating chunk never comes."""
        after = min(max(0, self.req.int_arg("after", total // 2)), total)
        self.send_head(200, [("Content-Type", "application/octet-stream"),
                             ("Transfer-Encoding", "chunked")])
        pos = 0
        while pos < total:
            n = min(size, total - pos)
            take = min(n, after - pos)
            self.sock.sendall(b"%x\r\n" % n)
            self.send_pattern(pos, pos + take)
            if take < n:
                return
            self.sock.sendall(b"\r\n")
            pos += n

    def wrong_range(self, total):
        """A first try is cut as by /cut; a resume is answered with another part than the one asked
        for: start moved by `shift` (clamped to the resource), honestly labelled in Content-Range."""
        if "range" not in self.req.headers:
            return self.send_resource(total, cut_after=max(0, self.req.int_arg("after", total // 2)))
        shift = self.req.int_arg("shift", 0)
        rng = self.req.range_start_end(total)
        if rng == "bad":
            return self.send_unsatisfiable(total)
        start, end = rng
        moved = min(max(0, start + shift), total - 1)
        if self.req.headers["range"].rstrip().endswith("-"):
            end = total - 1
        else:
            end = min(max(moved, end + shift), total - 1)
        self.send_range_head(moved, end, total)
        self.send_pattern(moved, end + 1)

    def changing(self, total):
        """A resource that is new at every request (generation G = this request's number for
        `key`), with a validator per generation, so a resume must not splice two generations."""
        after = max(0, self.req.int_arg("after", total // 2))
        key = self.req.arg("key", "")
        kind = self.req.choice_arg("validator", ("etag", "lastmodified"))
        gen = self.server.shared.next_generation(key)
        if kind == "etag":
            validator = '"gen-%d"' % gen
            extra = [("ETag", validator)]
        else:
            validator = email.utils.formatdate(CHANGING_BASE_TIME + 60 * gen, usegmt=True)
            extra = [("Last-Modified", validator)]
        extra.append(("Accept-Ranges", "bytes"))
        whole = [("Content-Type", "application/octet-stream"), ("Content-Length", total)] + extra

        if "range" not in self.req.headers:
            self.send_head(200, whole)
            return self.send_pattern(0, min(after, total), gen)
        if_range = self.req.headers.get("if-range")
        if if_range is not None and if_range != validator:
            self.send_head(200, whole)      # changed since: the whole new generation
            return self.send_pattern(0, total, gen)
        rng = self.req.range_start_end(total)
        if rng == "bad":
            return self.send_unsatisfiable(total)
        start, end = rng
        self.send_range_head(start, end, total, extra)
        self.send_pattern(start, end + 1, gen)

    def collect(self, parts):
        if parts[0] == "slowms" and len(parts) > 2 and parts[1].isdigit():
            time.sleep(int(parts[1]) / 1000.0)
        elif parts[0] == "hold":
            self.server.shared.wait_for_release()
        self.send_simple(200, "ok")


def _unsent_bytes(sock):
    """Bytes in the socket's send queue that the peer has not acknowledged yet (Linux)."""
    return struct.unpack("i", fcntl.ioctl(sock.fileno(), termios.TIOCOUTQ, b"\0\0\0\0"))[0]


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True           # a stalled or held connection never keeps the process alive
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, shared, tls):
        self.shared = shared
        self.tls = tls
        super().__init__((HOST, 0), Handler)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--log", required=True)
    ap.add_argument("--ready", required=True)
    ap.add_argument("--tls", nargs=3, action="append", default=[], metavar=("NAME", "CERT", "KEY"),
                    help="a TLS listener named NAME with this certificate and key (PEM)")
    ap.add_argument("--lifetime", type=float, default=4 * 3600,
                    help="exit after this many seconds, so a forgotten server does not linger")
    args = ap.parse_args()

    shared = Shared(os.path.abspath(args.log))
    shared.reset_log()      # a new set starts with an empty log
    servers = {"http": Server(shared, None), "http2": Server(shared, None)}
    for name, cert, key in args.tls:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(cert, key)
        servers[name] = Server(shared, tls)
    for srv in servers.values():
        threading.Thread(target=srv.serve_forever, daemon=True).start()

    tmp = args.ready + ".tmp"
    with open(tmp, "w") as f:
        json.dump({name: srv.server_address[1] for name, srv in servers.items()}, f)
    os.replace(tmp, args.ready)
    time.sleep(args.lifetime)   # SIGTERM ends the process earlier; threads are daemons


if __name__ == "__main__":
    main()

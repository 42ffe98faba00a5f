#!/usr/bin/env python3
"""TCP proxy in front of nginx that breaks whole-file downloads half-way.

A request without a Range header whose answer is a 200 with a Content-Length gets the head and half
of the body, then both connections are closed: the client sees a transfer broken mid-way, the way a
flaky content server breaks it. With `cutat=N` in the request's query (nginx ignores the query of a
static file) the cut comes after exactly N body bytes instead, e.g. past 4 GiB of a big file.
Requests with a Range header (the client's resume) and every other answer pass through untouched.
Requests on one connection are handled one after another, so a client that keeps the connection
alive gets each of its requests judged on its own.

Run by servers.py; on its own:
    cutproxy.py --upstream PORT --ready FILE [--lifetime SECONDS]
It listens on 127.0.0.1 port 0 and writes {"cutproxy": P} to the ready file once it accepts.
"""

import argparse
import json
import os
import socket
import socketserver
import threading
import time
import urllib.parse

HOST = "127.0.0.1"
BUFFER = 256 * 1024          # large reads keep the pass-through above a few hundred MB/s
IDLE_TIMEOUT = 60.0          # a connection silent this long on either side is dropped
MAX_HEAD = 64 * 1024


class Closed(Exception):
    pass


class Stream:
    """A socket with a read-ahead buffer, so a head can be split from the body bytes after it."""

    def __init__(self, sock):
        self.sock = sock
        self.pending = b""

    def read_head(self):
        """Bytes up to and including the blank line; Closed on EOF before a full head."""
        while b"\r\n\r\n" not in self.pending:
            if len(self.pending) > MAX_HEAD:
                raise Closed()
            part = self.sock.recv(BUFFER)
            if not part:
                raise Closed()
            self.pending += part
        end = self.pending.index(b"\r\n\r\n") + 4
        head, self.pending = self.pending[:end], self.pending[end:]
        return head

    def copy_to(self, dest, count, buf):
        """Copies `count` bytes to `dest` (None: until EOF). Returns the number copied."""
        done = 0
        if self.pending:
            take = self.pending if count is None else self.pending[:count]
            dest.sendall(take)
            self.pending = self.pending[len(take):]
            done = len(take)
        view = memoryview(buf)
        while count is None or done < count:
            want = BUFFER if count is None else min(BUFFER, count - done)
            n = self.sock.recv_into(view, want)
            if n == 0:
                if count is None:
                    break
                raise Closed()
            dest.sendall(view[:n])
            done += n
        return done


def cut_point(req_line, length):
    """Body bytes to pass before the cut: `cutat=N` from the target's query, else half."""
    parts = req_line.split(" ")
    query = urllib.parse.urlsplit(parts[1]).query if len(parts) >= 2 else ""
    for value in urllib.parse.parse_qs(query).get("cutat", []):
        if value.isdigit():
            return min(int(value), length)
    return length // 2


def header_map(head):
    lines = head.decode("latin-1").split("\r\n")
    fields = {}
    for line in lines[1:]:
        name, sep, value = line.partition(":")
        if sep:
            fields[name.strip().lower()] = value.strip()
    return lines[0], fields


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        buf = bytearray(BUFFER)
        try:
            upstream = socket.create_connection((HOST, self.server.upstream_port), timeout=10)
        except OSError:
            return
        for s in (client, upstream):
            s.settimeout(IDLE_TIMEOUT)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, BUFFER)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, BUFFER)
        down, up = Stream(client), Stream(upstream)
        try:
            while self.exchange(down, up, client, upstream, buf):
                pass
        except (Closed, OSError):
            pass
        finally:
            upstream.close()

    def exchange(self, down, up, client, upstream, buf):
        """One request and its answer; False when the connection is over."""
        req_head = down.read_head()
        req_line, req_fields = header_map(req_head)
        upstream.sendall(req_head)
        if req_fields.get("content-length", "").isdigit():
            down.copy_to(upstream, int(req_fields["content-length"]), buf)

        resp_head = up.read_head()
        status_line, resp_fields = header_map(resp_head)
        status = int(status_line.split(" ")[1]) if status_line.count(" ") >= 1 else 0
        length = resp_fields.get("content-length", "")
        client.sendall(resp_head)

        if req_line.startswith("HEAD ") or status in (204, 304) or 100 <= status < 200:
            return True
        if not length.isdigit():
            up.copy_to(client, None, buf)     # no length: the body ends with the connection
            return False
        length = int(length)
        if "range" not in req_fields and status == 200:
            up.copy_to(client, cut_point(req_line, length), buf)
            return False                      # the cut: both sides are closed by handle()
        up.copy_to(client, length, buf)
        return "close" not in resp_fields.get("connection", "").lower()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, upstream_port):
        self.upstream_port = upstream_port
        super().__init__((HOST, 0), Handler)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--upstream", type=int, required=True)
    ap.add_argument("--ready", required=True)
    ap.add_argument("--lifetime", type=float, default=4 * 3600,
                    help="exit after this many seconds, so a forgotten proxy does not linger")
    args = ap.parse_args()

    srv = Server(args.upstream)
    threading.Thread(target=srv.serve_forever, daemon=True).start()
    tmp = args.ready + ".tmp"
    with open(tmp, "w") as f:
        json.dump({"cutproxy": srv.server_address[1]}, f)
    os.replace(tmp, args.ready)
    time.sleep(args.lifetime)


if __name__ == "__main__":
    main()

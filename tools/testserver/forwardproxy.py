#!/usr/bin/env python3
"""Forward HTTP proxy for the tests of the client's proxy settings.

It takes requests in absolute form (`GET http://HOST:PORT/path?query HTTP/1.1`) for any host name,
even one that does not resolve such as version.pelora.invalid, and sends each to the scripted
server's plain port with the target in origin form (`/path?query`); the rest of the head goes on as
it came. The answer comes back byte for byte, and a reset upstream becomes a reset here. So a
client that reaches a made-up host has provably gone through the proxy, and DIR/proxy.log (one
received request line per line) shows which requests did. A target in origin form gets 400,
CONNECT gets 405: there is no tunnelling.

Run by servers.py; on its own:
    forwardproxy.py --upstream PORT --log FILE --ready FILE [--lifetime SECONDS]
It listens on 127.0.0.1 port 0 and writes {"proxy": P} to the ready file once it accepts.
"""

import argparse
import json
import os
import select
import socket
import socketserver
import struct
import threading
import time

HOST = "127.0.0.1"
BUFFER = 64 * 1024
MAX_HEAD = 64 * 1024
READ_TIMEOUT = 30.0          # a client that sends no complete head within this is dropped
IDLE_SECONDS = 180.0         # longer than the scripted server's stalls, so the proxy never ends them


def read_head(sock):
    """(head up to and including the blank line, bytes after it), or None on EOF or a huge head."""
    data = b""
    deadline = time.monotonic() + READ_TIMEOUT
    while b"\r\n\r\n" not in data:
        if len(data) > MAX_HEAD or time.monotonic() > deadline:
            return None
        part = sock.recv(BUFFER)
        if not part:
            return None
        data += part
    end = data.index(b"\r\n\r\n") + 4
    return data[:end], data[end:]


def origin_form(target):
    """'/path?query' of an absolute http:// target; None for anything else."""
    if target[:7].lower() != "http://":
        return None
    rest = target[7:]
    cut = min((i for i in (rest.find("/"), rest.find("?")) if i >= 0), default=len(rest))
    if cut == 0:
        return None                  # no host
    path = rest[cut:]
    return path if path.startswith("/") else "/" + path


def answer(sock, status, reason, text):
    body = text.encode()
    sock.sendall(b"HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                 b"Connection: close\r\n\r\n%s" % (status, reason.encode(), len(body), body))


def relay(client, upstream):
    """Copies both ways until the upstream ends its answer or the client goes away. A client that
    closes is passed on as a close, so a stalled answer upstream ends as well. Returns True when
    the upstream ended with a reset, which the client must then get as well."""
    peers = {client: upstream, upstream: client}
    open_ends = {client, upstream}
    deadline = time.monotonic() + IDLE_SECONDS
    while open_ends and time.monotonic() < deadline:
        readable, _, _ = select.select(list(open_ends), [], [], 1.0)
        for sock in readable:
            try:
                data = sock.recv(BUFFER)
            except ConnectionResetError:
                if sock is upstream:
                    return True
                raise
            if data:
                peers[sock].sendall(data)
                deadline = time.monotonic() + IDLE_SECONDS
                continue
            if sock is upstream:
                return False         # the answer is complete (the scripted server closes)
            open_ends.discard(client)
            upstream.shutdown(socket.SHUT_WR)
    return False


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        client.settimeout(READ_TIMEOUT)
        try:
            got = read_head(client)
            if got is None:
                return
            head, extra = got
            line, _, rest = head.partition(b"\r\n")
            self.server.log_line(line)
            method, _, after = line.decode("latin-1").partition(" ")
            target = after.rsplit(" ", 1)[0] if " " in after else after
            if method.upper() == "CONNECT":
                return answer(client, 405, "Method Not Allowed", "no tunnelling here")
            path = origin_form(target)
            if path is None:
                return answer(client, 400, "Bad Request", "a proxy request needs an absolute http:// target")
            version = after.rsplit(" ", 1)[1] if " " in after else "HTTP/1.1"
            try:
                upstream = socket.create_connection((HOST, self.server.upstream_port), timeout=10)
            except OSError:
                return answer(client, 502, "Bad Gateway", "upstream does not answer")
            with upstream:
                upstream.sendall(("%s %s %s" % (method, path, version)).encode("latin-1")
                                 + b"\r\n" + rest + extra)
                if relay(client, upstream):
                    client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    client.close()   # the reset, passed on
        except OSError:
            pass             # either side went away: nothing more to pass on
        finally:
            try:
                client.shutdown(socket.SHUT_WR)
            except OSError:
                pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, upstream_port, log_path):
        self.upstream_port = upstream_port
        self.log_path = log_path
        self.log_lock = threading.Lock()
        super().__init__((HOST, 0), Handler)

    def log_line(self, line):
        with self.log_lock, open(self.log_path, "ab") as f:
            f.write(line + b"\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--upstream", type=int, required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--ready", required=True)
    ap.add_argument("--lifetime", type=float, default=4 * 3600,
                    help="exit after this many seconds, so a forgotten proxy does not linger")
    args = ap.parse_args()

    log = os.path.abspath(args.log)
    open(log, "wb").close()          # a new set starts with an empty log
    srv = Server(args.upstream, log)
    threading.Thread(target=srv.serve_forever, daemon=True).start()
    tmp = args.ready + ".tmp"
    with open(tmp, "w") as f:
        json.dump({"proxy": srv.server_address[1]}, f)
    os.replace(tmp, args.ready)
    time.sleep(args.lifetime)


if __name__ == "__main__":
    main()

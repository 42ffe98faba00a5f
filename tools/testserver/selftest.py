#!/usr/bin/env python3
"""Self-test of the local test servers: starts a set in a temporary folder, checks every endpoint
over real sockets on 127.0.0.1, stops the set. Prints one line per check and `N passed, N failed`
last; exits non-zero on any failure.

    python3 tools/testserver/selftest.py [-k SUBSTRING]
"""

import hashlib
import http.client
import json
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
SERVERS = [sys.executable, os.path.join(HERE, "servers.py")]
MIB = 1024 * 1024
CHECKS = []
PORTS = ("http", "http2", "https", "https_selfsigned", "https_otherhost", "cutproxy", "nginx", "proxy")


def check(fn):
    CHECKS.append(fn)
    return fn


def pattern(start, end, gen=0):
    return bytes((i * 31 + 7 + gen) & 0xFF for i in range(start, end))


def eq(actual, expected, what=""):
    if actual != expected:
        a, e = repr(actual), repr(expected)
        raise AssertionError("%s: got %s, expected %s" % (what, a[:200], e[:200]))


# --- raw HTTP over sockets -----------------------------------------------------------------------
def connect(port, tls=False, timeout=5.0):
    sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    if tls:
        sock = unverified().wrap_socket(sock, server_hostname="127.0.0.1")
    return sock


def unverified():
    ctx = ssl.create_default_context()
    ctx.check_hostname = False
    ctx.verify_mode = ssl.CERT_NONE
    return ctx


def request_bytes(target, headers=(), method="GET", port=0):
    lines = ["%s %s HTTP/1.1" % (method, target), "Host: 127.0.0.1:%d" % port]
    lines += ["%s: %s" % h for h in headers]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def read_to_eof(sock, deadline_s=10.0):
    """Everything the peer sends until it closes; fails if it does not close within deadline_s."""
    data = bytearray()
    deadline = time.monotonic() + deadline_s
    while True:
        if time.monotonic() > deadline:
            raise AssertionError("server did not close the connection")
        try:
            part = sock.recv(256 * 1024)
        except ssl.SSLEOFError:
            break
        if not part:
            break
        data += part
    return bytes(data)


def read_to_end(sock, deadline_s=10.0):
    """(everything the peer sends, "close" or "reset": how the connection ended)."""
    data = bytearray()
    deadline = time.monotonic() + deadline_s
    while True:
        if time.monotonic() > deadline:
            raise AssertionError("server did not end the connection")
        try:
            part = sock.recv(256 * 1024)
        except ConnectionResetError:
            return bytes(data), "reset"
        if not part:
            return bytes(data), "close"
        data += part


def read_at_least(sock, count, deadline_s=10.0):
    """Reads until `count` bytes came (maybe more); fails if the peer closes first."""
    data = b""
    deadline = time.monotonic() + deadline_s
    while len(data) < count:
        assert time.monotonic() < deadline, "only %d of %d bytes came" % (len(data), count)
        part = sock.recv(256 * 1024)
        assert part, "closed after %d of %d bytes" % (len(data), count)
        data += part
    return data


def assert_silent(sock, what, wait_s=0.7):
    """Nothing comes and the connection stays open for a while."""
    sock.settimeout(wait_s)
    try:
        more = sock.recv(4096)
        raise AssertionError("%s: sent %r" % (what, more[:40]) if more else "%s: closed" % what)
    except socket.timeout:
        pass


def split(resp):
    head, sep, body = resp.partition(b"\r\n\r\n")
    assert sep, "no end of head in %r" % resp[:200]
    lines = head.decode("latin-1").split("\r\n")
    status = int(lines[0].split(" ")[1])
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return status, headers, body


def raw(port, target, headers=(), tls=False, method="GET"):
    """(status, headers, body as it came, undecoded) of one request on a fresh connection."""
    with connect(port, tls) as sock:
        sock.sendall(request_bytes(target, headers, method, port))
        return split(read_to_eof(sock))


def decode_chunked(body):
    out, pos = b"", 0
    while True:
        line_end = body.index(b"\r\n", pos)
        size = int(body[pos:line_end].split(b";")[0], 16)
        pos = line_end + 2
        if size == 0:
            eq(body[pos:], b"\r\n", "after last chunk")
            return out
        out += body[pos:pos + size]
        eq(body[pos + size:pos + size + 2], b"\r\n", "chunk end")
        pos += size + 2


def log_records(path):
    with open(path, "rb") as f:
        data = f.read()
    records = re.findall(rb"=== (\d+) (\d+\.\d+)\n(.*?)\n=== end\n", data, re.S)
    eq(sum(len(r[2]) for r in records) + sum(len(b"=== %s %s\n\n=== end\n" % r[:2]) for r in records),
       len(data), "log made only of framed records")
    return [(int(p), float(t), body) for p, t, body in records]


# --- checks: scripted server ---------------------------------------------------------------------
@check
def bytes_whole_and_range(s):
    status, h, body = raw(s["http"], "/bytes/100000")
    eq(status, 200, "status")
    eq(h.get("content-length"), "100000", "length")
    eq(body, pattern(0, 100000), "body")
    status, h, body = raw(s["http"], "/bytes/100000", [("Range", "bytes=70000-")])
    eq(status, 206, "range status")
    eq(h.get("content-range"), "bytes 70000-99999/100000", "content-range")
    eq(h.get("content-length"), "30000", "range length")
    eq(body, pattern(70000, 100000), "range body continues the pattern")


@check
def nolength_ends_with_close(s):
    status, h, body = raw(s["http"], "/nolength/5000")
    eq(status, 200, "status")
    eq("content-length" in h or "transfer-encoding" in h, False, "no length header")
    eq(body, pattern(0, 5000), "body")


@check
def zero_and_404_and_unknown(s):
    status, h, body = raw(s["http"], "/zero")
    eq((status, h.get("content-length"), body), (200, "0", b""), "zero")
    status, h, body = raw(s["http"], "/status/404")
    eq((status, h.get("content-length"), body), (404, "8", b"not here"), "404")
    eq(raw(s["http"], "/bytes/abc")[::2], (404, b"unknown"), "bad number")
    eq(raw(s["http"], "/nothing/here")[::2], (404, b"unknown"), "unknown path")


@check
def redirects(s):
    to = "http://127.0.0.1:1/x?a=1&b=c d"
    enc = "http%3A%2F%2F127.0.0.1%3A1%2Fx%3Fa%3D1%26b%3Dc%20d"
    for code in (301, 302):
        status, h, _ = raw(s["http"], "/redirect/%d?to=%s" % (code, enc))
        eq((status, h.get("location")), (code, to), "redirect %d" % code)
    status, h, _ = raw(s["http"], "/redirect/301-nolocation")
    eq((status, "location" in h), (301, False), "301 without location")


@check
def loop_and_chain(s):
    status, h, _ = raw(s["http2"], "/loop")
    eq((status, h.get("location")), (302, "http://127.0.0.1:%d/loop" % s["http2"]), "loop")
    status, h, _ = raw(s["https"], "/loop", tls=True)
    eq(h.get("location"), "https://127.0.0.1:%d/loop" % s["https"], "loop over TLS keeps scheme")
    target, hops = "/chain/3", 0
    while True:
        status, h, body = raw(s["http"], target)
        if status != 302:
            break
        hops += 1
        prefix = "http://127.0.0.1:%d/chain/" % s["http"]
        assert h["location"].startswith(prefix), h["location"]
        target = h["location"][len(prefix) - len("/chain/"):]
    eq((hops, status, body), (3, 200, b"end of chain"), "chain")


@check
def chunked_framing(s):
    status, h, body = raw(s["http"], "/chunked/100?size=30")
    eq((status, h.get("transfer-encoding"), "content-length" in h), (200, "chunked", False), "head")
    expect = b"".join(b"%x\r\n" % (min(100, i + 30) - i) + pattern(i, min(100, i + 30)) + b"\r\n"
                      for i in range(0, 100, 30)) + b"0\r\n\r\n"
    eq(body, expect, "raw chunks")
    _, _, body = raw(s["http"], "/chunked/70000?size=255")
    assert body.startswith(b"ff\r\n"), "lowercase hex size: %r" % body[:6]
    eq(decode_chunked(body), pattern(0, 70000), "decoded chunks")
    conn = http.client.HTTPConnection("127.0.0.1", s["http"], timeout=5)
    conn.request("GET", "/chunked/300000?size=65536")
    eq(conn.getresponse().read(), pattern(0, 300000), "http.client decodes it")
    conn.close()


@check
def chunk_extension(s):
    status, h, body = raw(s["http"], "/chunkext")
    eq((status, h.get("transfer-encoding"), body), (200, "chunked", b"1;x\r\na\r\n0\r\n\r\n"), "chunkext")


@check
def cut_then_resume(s):
    status, h, first = raw(s["http"], "/cut/1000?after=300")
    eq((status, h.get("content-length"), first), (200, "1000", pattern(0, 300)), "cut")
    status, h, rest = raw(s["http"], "/cut/1000?after=300", [("Range", "bytes=300-")])
    eq((status, h.get("content-range"), h.get("content-length")),
       (206, "bytes 300-999/1000", "700"), "resume head")
    eq(first + rest, pattern(0, 1000), "cut + resume is the whole resource")


@check
def ignore_range(s):
    status, h, body = raw(s["http"], "/ignore-range/1000?after=400")
    eq((status, h.get("content-length"), body), (200, "1000", pattern(0, 400)), "cut")
    status, h, body = raw(s["http"], "/ignore-range/1000?after=400", [("Range", "bytes=400-")])
    eq((status, "content-range" in h, body), (200, False, pattern(0, 1000)), "range ignored")


@check
def stall_blocks_nobody(s):
    sock = connect(s["http"])
    try:
        sock.sendall(request_bytes("/stall/1000", port=s["http"]))
        data = b""
        while b"\r\n\r\n" not in data or len(split(data)[2]) < 10:
            part = sock.recv(4096)
            assert part, "closed before the first 10 bytes"
            data += part
        status, h, body = split(data)
        eq((status, h.get("content-length"), body), (200, "1000", pattern(0, 10)), "first bytes")
        started = time.monotonic()
        eq(raw(s["http"], "/bytes/10")[2], pattern(0, 10), "other request during the stall")
        assert time.monotonic() - started < 1, "other request was slowed down by the stall"
        sock.settimeout(0.7)
        try:
            more = sock.recv(4096)
            raise AssertionError("stalled connection sent %r" % more[:20])
        except socket.timeout:
            pass
    finally:
        sock.close()      # the client gives up; the server thread notices and ends


@check
def collect_raw_query_is_logged_as_sent(s):
    marker = "%.6f" % time.time()
    req = ("GET /collect?v=1&ea=a b c&el=%s&x=<\"é\"> HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
           "x-ODD-Case:   spaced  \r\nUser-Agent: Pelora Test/1.0\r\n\r\n" % (marker, s["http"])
           ).encode("utf-8")
    with connect(s["http"]) as sock:
        sock.sendall(req)
        status, _, body = split(read_to_eof(sock))
    eq((status, body), (200, b"ok"), "collect answer")
    found = [r for r in log_records(s["requests_log"]) if marker.encode() in r[2]]
    eq(len(found), 1, "one log record")
    eq(found[0][0], s["http"], "record port")
    eq(found[0][2], req, "record holds the raw request")
    assert abs(found[0][1] - time.time()) < 30, "record time is unix time"


@check
def slow_collect(s):
    started = time.monotonic()
    status, _, body = raw(s["http"], "/slowms/400/collect?v=1")
    took = time.monotonic() - started
    eq((status, body), (200, b"ok"), "answer")
    assert 0.4 <= took < 3, "took %.2f s" % took


@check
def held_collect_until_release(s):
    results = []

    def held(tag):
        try:
            results.append((tag, raw(s["http"], "/hold/collect?t=%s" % tag)[::2]))
        except Exception as e:      # reported by the comparison below
            results.append((tag, repr(e)))

    threads = [threading.Thread(target=held, args=(t,), daemon=True) for t in ("a", "b")]
    for t in threads:
        t.start()
    time.sleep(0.5)
    eq(results, [], "held requests answered before release")
    eq(raw(s["http2"], "/bytes/5")[2], pattern(0, 5), "others are served meanwhile")
    logged = b"".join(r[2] for r in log_records(s["requests_log"]))
    assert b"/hold/collect?t=a" in logged, "held request logged when it arrived"
    eq(raw(s["http"], "/control/release")[::2], (200, b"released"), "release")
    for t in threads:
        t.join(3)
    eq(sorted(results), [("a", (200, b"ok")), ("b", (200, b"ok"))], "released requests")


@check
def reset_log(s):
    raw(s["http"], "/bytes/1")
    assert os.path.getsize(s["requests_log"]) > 0
    eq(raw(s["http"], "/control/reset-log")[::2], (200, b"reset"), "reset answer")
    eq(os.path.getsize(s["requests_log"]), 0, "log size after reset")
    raw(s["http2"], "/zero", [("X-Which", "second")])
    records = log_records(s["requests_log"])
    eq([(r[0], r[2]) for r in records],
       [(s["http2"], request_bytes("/zero", [("X-Which", "second")], port=s["http2"]))], "records")


@check
def tls(s):
    status, h, body = raw(s["https"], "/bytes/50000", tls=True)
    eq((status, body), (200, pattern(0, 50000)), "bytes over TLS")
    eq(raw(s["https"], "/nolength/3000", tls=True)[2], pattern(0, 3000), "no length over TLS")
    eq(raw(s["https"], "/cut/1000?after=10", tls=True)[2], pattern(0, 10), "cut over TLS")
    # The certificate is valid for 127.0.0.1 and localhost under the test root.
    for name in ("127.0.0.1", "localhost"):
        eq(verified_get(s, "https", name), b"end of chain", "verified TLS as " + name)
    records = [r for r in log_records(s["requests_log"]) if r[0] == s["https"]]
    assert records, "TLS requests logged with the TLS port"


def verified_get(s, listener, name):
    """GET /chain/0 on a TLS listener, the certificate checked against the test root for the name."""
    ctx = ssl.create_default_context(cafile=os.path.join(s["testca"], "root.pem"))
    conn = http.client.HTTPSConnection("127.0.0.1", s[listener], context=ctx, timeout=5)
    conn.sock = ctx.wrap_socket(socket.create_connection(("127.0.0.1", s[listener]), timeout=5),
                                server_hostname=name)
    try:
        conn.request("GET", "/chain/0")
        return conn.getresponse().read()
    finally:
        conn.close()


@check
def tls_refused_certificates(s):
    # What a checking client must refuse: a certificate of nobody's authority, and one for another name
    # (which is valid for that name).
    for listener, name, reason in (("https_selfsigned", "127.0.0.1", "self-signed"),
                                   ("https_otherhost", "127.0.0.1", "not valid for")):
        try:
            verified_get(s, listener, name)
            raise AssertionError("%s accepted as %s" % (listener, name))
        except ssl.SSLCertVerificationError as e:
            assert reason in str(e), "%s: %s" % (listener, e)
    eq(verified_get(s, "https_otherhost", "other.example"), b"end of chain", "other host under its own name")
    eq(raw(s["https_selfsigned"], "/bytes/100", tls=True)[2], pattern(0, 100), "unchecked TLS still served")


# --- checks: nginx and the cutting proxy ---------------------------------------------------------
def fetch(port, path, headers=()):
    """One request on its own connection; nginx keeps connections alive unless told not to."""
    with connect(port, timeout=10) as sock:
        sock.sendall(request_bytes(path, list(headers) + [("Connection", "close")], port=port))
        return split(read_to_eof(sock, 30))


@check
def nginx_file_and_range(s):
    f = s["files"]["big64"]
    path = os.path.join(s["dir"], "www", "big64.bin")
    eq(os.path.getsize(path), f["size"], "file size")
    status, h, body = fetch(s["nginx"], f["path"], [("Range", "bytes=1000-1999")])
    with open(path, "rb") as fh:
        fh.seek(1000)
        eq((status, h.get("content-range"), body), (206, "bytes 1000-1999/%d" % f["size"],
                                                    fh.read(1000)), "nginx range")
    status, h, body = fetch(s["nginx"], f["path"])
    eq((status, len(body), hashlib.sha256(body).hexdigest()), (200, f["size"], f["sha256"]),
       "nginx whole file")


@check
def proxy_cut_and_resume(s):
    f = s["files"]["big64"]
    status, h, first = fetch(s["cutproxy"], f["path"])
    eq((status, h.get("content-length"), len(first)), (200, str(f["size"]), f["size"] // 2),
       "cut through the proxy")
    status, h, rest = fetch(s["cutproxy"], f["path"], [("Range", "bytes=%d-" % len(first))])
    eq((status, h.get("content-range")),
       (206, "bytes %d-%d/%d" % (len(first), f["size"] - 1, f["size"])), "resume head")
    eq(hashlib.sha256(first + rest).hexdigest(), f["sha256"], "cut + resume SHA-256")


@check
def proxy_keeps_alive_per_request(s):
    """On one connection: two Range requests pass whole, then a plain one is cut."""
    with connect(s["cutproxy"], timeout=10) as sock:
        reader = sock.makefile("rb")
        for start in (0, 5000):
            sock.sendall(request_bytes("/big64.bin", [("Range", "bytes=%d-%d" % (start, start + 999))],
                                       port=s["cutproxy"]))
            line = reader.readline()
            eq(line.split()[1], b"206", "keep-alive range status")
            length = None
            while True:
                hl = reader.readline()
                if hl == b"\r\n":
                    break
                if hl.lower().startswith(b"content-length:"):
                    length = int(hl.split(b":")[1])
            eq(len(reader.read(length)), 1000, "range body")
        sock.sendall(request_bytes("/big64.bin", port=s["cutproxy"]))
        data = reader.read()
        status, _, body = split(data)
        eq((status, len(body)), (200, s["files"]["big64"]["size"] // 2), "then cut")


@check
def proxy_throughput(s):
    best = 0.0
    size = s["files"]["big64"]["size"]
    for _ in range(3):
        with connect(s["cutproxy"], timeout=10) as sock:
            sock.sendall(request_bytes("/big64.bin", [("Range", "bytes=0-"), ("Connection", "close")],
                                       port=s["cutproxy"]))
            buf = bytearray(1024 * 1024)
            got, started = 0, time.monotonic()
            while True:
                n = sock.recv_into(buf)
                if not n:
                    break
                got += n
            took = time.monotonic() - started
        assert got > size, "short pass-through: %d" % got
        best = max(best, size / took / 1e6)
    print("      proxy pass-through: %.0f MB/s" % best)
    assert best >= 200, "proxy pass-through %.0f MB/s < 200 MB/s" % best


# --- checks: fault modes of the scripted server ----------------------------------------------------
def chunk(start, end, size):
    """A chunk's size line (promising `size` bytes) and pattern bytes [start, end) of it."""
    return b"%x\r\n" % size + pattern(start, end)


# (target, request headers, status, answer headers that must be as given (None: absent),
#  raw body, how the connection ends)
FAULTS = [
    ("/nolength-cut/50000?after=20000", [], 200,
     {"content-length": None, "transfer-encoding": None}, pattern(0, 20000), "close"),
    ("/nolength-cut/50000?after=20000&how=close", [], 200, {"content-length": None},
     pattern(0, 20000), "close"),
    # larger than a socket buffer: the reset must still come after every byte before it
    ("/nolength-cut/3000000?after=2500000&how=reset", [], 200, {"content-length": None},
     pattern(0, 2500000), "reset"),
    ("/nolength-cut/10?how=later", [], 400, {}, b"how must be one of close, reset", "close"),
    ("/chunked-cut/100?size=30&after=45", [], 200, {"transfer-encoding": "chunked"},
     chunk(0, 30, 30) + b"\r\n" + chunk(30, 45, 30), "close"),
    ("/chunked-cut/90?size=30&after=60", [], 200, {"transfer-encoding": "chunked"},
     chunk(0, 30, 30) + b"\r\n" + chunk(30, 60, 30) + b"\r\n" + b"1e\r\n", "close"),
    ("/chunked-cut/90?size=30&after=90", [], 200, {"transfer-encoding": "chunked"},
     b"\r\n".join(chunk(i, i + 30, 30) for i in (0, 30, 60)) + b"\r\n", "close"),
    ("/chunked-cut/70000?size=65536", [], 200, {}, chunk(0, 35000, 65536), "close"),
    ("/wrong-range/1000?after=300", [], 200, {"content-length": "1000", "content-range": None},
     pattern(0, 300), "close"),
    ("/wrong-range/1000?shift=100", [("Range", "bytes=300-")], 206,
     {"content-range": "bytes 400-999/1000", "content-length": "600"}, pattern(400, 1000), "close"),
    ("/wrong-range/1000?shift=-100", [("Range", "bytes=300-")], 206,
     {"content-range": "bytes 200-999/1000", "content-length": "800"}, pattern(200, 1000), "close"),
    ("/wrong-range/1000?shift=-500", [("Range", "bytes=300-")], 206,
     {"content-range": "bytes 0-999/1000"}, pattern(0, 1000), "close"),
    ("/wrong-range/1000?shift=5000", [("Range", "bytes=300-")], 206,
     {"content-range": "bytes 999-999/1000"}, pattern(999, 1000), "close"),
    ("/wrong-range/1000?shift=10", [("Range", "bytes=300-399")], 206,
     {"content-range": "bytes 310-409/1000"}, pattern(310, 410), "close"),
    ("/wrong-range/1000", [("Range", "bytes=300-")], 206,
     {"content-range": "bytes 300-999/1000"}, pattern(300, 1000), "close"),
    ("/wrong-range/1000?shift=10", [("Range", "bytes=1000-")], 416,
     {"content-range": "bytes */1000"}, b"", "close"),
    ("/wrong-range/1000?shift=ten", [("Range", "bytes=10-")], 400, {}, b"shift is not a number", "close"),
]


@check
def fault_answers(s):
    for target, headers, status, expect_headers, body, ending in FAULTS:
        with connect(s["http"]) as sock:
            sock.sendall(request_bytes(target, headers, port=s["http"]))
            data, how = read_to_end(sock)
        what = "%s %s" % (target, headers)
        got_status, got_headers, got_body = split(data)
        eq((got_status, how), (status, ending), what + ": status, end")
        eq({k: got_headers.get(k) for k in expect_headers}, expect_headers, what + ": headers")
        eq(got_body, body, what + ": body")


# (target, request headers, answer head expected or None for no answer at all, body before silence)
STALLS = [
    ("/stall/1000", [], (200, {"content-length": "1000", "content-range": None}), pattern(0, 10)),
    ("/stall/1000?after=300", [], (200, {"content-length": "1000"}), pattern(0, 300)),
    ("/stall/100?after=300", [], (200, {"content-length": "100"}), pattern(0, 100)),
    ("/stall/1000?after=50", [("Range", "bytes=600-")],
     (206, {"content-range": "bytes 600-999/1000", "content-length": "400"}), pattern(600, 650)),
    ("/stall/1000", [("Range", "bytes=990-")], (206, {"content-range": "bytes 990-999/1000"}),
     pattern(990, 1000)),
    ("/silent", [], None, b""),
    ("/silent/version/ld/vantor?x=1", [], None, b""),
]


@check
def stalls_and_silence(s):
    for target, headers, head, body in STALLS:
        what = "%s %s" % (target, headers)
        marker = ("X-Stall", "%s %.6f" % (target, time.time()))
        with connect(s["http"]) as sock:
            sent = request_bytes(target, headers + [marker], port=s["http"])
            sock.sendall(sent)
            if head is not None:
                data = read_at_least(sock, 4)
                while b"\r\n\r\n" not in data:
                    data += read_at_least(sock, 1)
                status, got_headers, got_body = split(data)
                if len(got_body) < len(body):
                    got_body += read_at_least(sock, len(body) - len(got_body))
                eq((status, {k: got_headers.get(k) for k in head[1]}), head, what + ": head")
                eq(got_body, body, what + ": body before the silence")
            assert_silent(sock, what)
        logged = [r[2] for r in log_records(s["requests_log"]) if marker[1].encode() in r[2]]
        eq(logged, [sent], what + ": logged")


CHANGING_VALIDATORS = [
    ("etag", "etag", lambda gen: '"gen-%d"' % gen),
    ("lastmodified", "last-modified",
     lambda gen: time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime(1704067200 + 60 * gen))),
]


@check
def changing_resource(s):
    """Each request is a new generation; a resume keyed to an old one gets the whole new one."""
    size, after = 5000, 2000
    for kind, header, validator in CHANGING_VALIDATORS:
        key = "%s-%.6f" % (kind, time.time())
        target = "/changing/%d?after=%d&key=%s&validator=%s" % (size, after, key, kind)
        other = "last-modified" if header == "etag" else "etag"
        # (request headers, generation served, status, content-range, body)
        steps = [
            ([], 1, 200, None, pattern(0, after, 1)),
            ([("Range", "bytes=%d-" % after), ("If-Range", validator(1))], 2, 200, None,
             pattern(0, size, 2)),
            ([("Range", "bytes=%d-" % after)], 3, 206, "bytes %d-%d/%d" % (after, size - 1, size),
             pattern(after, size, 3)),
            ([("Range", "bytes=%d-" % after), ("If-Range", validator(4))], 4, 206,
             "bytes %d-%d/%d" % (after, size - 1, size), pattern(after, size, 4)),
            ([("Range", "bytes=%d-" % size), ("If-Range", validator(5))], 5, 416, "bytes */%d" % size, b""),
        ]
        for headers, gen, status, content_range, body in steps:
            what = "%s generation %d" % (kind, gen)
            got_status, h, got_body = raw(s["http"], target, headers)
            eq((got_status, h.get("content-range"), got_body), (status, content_range, body), what)
            if status != 416:
                eq((h.get(header), other in h, h.get("content-length")),
                   (validator(gen), False, str(size if status == 200 else size - after)), what + " head")
        eq(raw(s["http"], "/changing/%d?key=%s-other" % (size, key))[1].get("etag"), '"gen-1"',
           "another key counts on its own")
    raw(s["http"], "/control/reset-log")
    eq(raw(s["http"], "/changing/10?key=%s" % key)[1].get("etag"), '"gen-1"', "reset-log restarts counting")
    eq(raw(s["http"], "/changing/10?validator=strong")[0], 400, "unknown validator")


# --- checks: the forward proxy ---------------------------------------------------------------------
def proxy_exchange(s, line, headers=()):
    with connect(s["proxy"]) as sock:
        sock.sendall(("\r\n".join([line, "Host: version.pelora.invalid"] + ["%s: %s" % h for h in headers])
                      + "\r\n\r\n").encode("latin-1"))
        return read_to_end(sock)


# (request line sent to the proxy, request line the scripted server must log or None, status)
PROXY_CASES = [
    ("GET http://version.pelora.invalid/bytes/100 HTTP/1.1", "GET /bytes/100 HTTP/1.1", 200),
    ("GET http://version.pelora.invalid:8080/redirect/302?to=%2Fx HTTP/1.1",
     "GET /redirect/302?to=%2Fx HTTP/1.1", 302),
    ("HEAD HTTP://Upper.Pelora.INVALID?q=1 HTTP/1.0", "HEAD /?q=1 HTTP/1.0", 404),
    ("GET http://127.0.0.1:1/zero HTTP/1.1", "GET /zero HTTP/1.1", 200),
    ("GET /bytes/100 HTTP/1.1", None, 400),
    ("GET https://version.pelora.invalid/bytes/100 HTTP/1.1", None, 400),
    ("GET http:///bytes/100 HTTP/1.1", None, 400),
    ("CONNECT version.pelora.invalid:443 HTTP/1.1", None, 405),
]


@check
def forward_proxy_requests(s):
    for line, upstream_line, status in PROXY_CASES:
        marker = ("X-Case", "%.6f" % time.time())
        before = open(s["proxy_log"], "rb").read()
        data, how = proxy_exchange(s, line, [marker])
        eq((split(data)[0], how), (status, "close"), line)
        eq(open(s["proxy_log"], "rb").read()[len(before):], line.encode() + b"\n", line + ": proxy log")
        logged = [r[2] for r in log_records(s["requests_log"]) if marker[1].encode() in r[2]]
        if upstream_line is None:
            eq(logged, [], line + ": reached the server")
        else:
            eq(len(logged), 1, line + ": records at the server")
            eq(logged[0].split(b"\r\n", 1)[0], upstream_line.encode(), line + ": origin form")
            assert b"\r\nHost: version.pelora.invalid\r\n" in logged[0], "head passed on as it came"


@check
def forward_proxy_passes_answers_unchanged(s):
    """Through the proxy and straight from the server, the same bytes and the same ending."""
    for target in ("/bytes/300000", "/chunked/1000?size=100", "/cut/1000?after=300", "/status/404",
                   "/nolength-cut/50000?after=20000&how=reset", "/chunked-cut/100?size=30&after=45"):
        direct = (lambda: connect(s["http"]), "GET %s HTTP/1.1" % target)
        proxied = (lambda: connect(s["proxy"]), "GET http://version.pelora.invalid%s HTTP/1.1" % target)
        answers = []
        for opener, line in (direct, proxied):
            with opener() as sock:
                sock.sendall((line + "\r\nHost: version.pelora.invalid\r\n\r\n").encode())
                answers.append(read_to_end(sock))
        eq(answers[1], answers[0], target)
    with connect(s["proxy"]) as sock:
        sock.sendall(b"GET http://version.pelora.invalid/silent HTTP/1.1\r\nHost: x\r\n\r\n")
        assert_silent(sock, "silent through the proxy")


# --- checks: the sparse 5 GiB file -------------------------------------------------------------------
def read_range(port, path, start, end, extra=()):
    status, h, body = fetch(port, path, [("Range", "bytes=%d-%d" % (start, end))] + list(extra))
    eq((status, h.get("content-range")), (206, "bytes %d-%d/%d" % (start, end, 5 * 1024 * MIB)), path)
    return body


@check
def big5g_sparse_with_markers(s):
    f = s["files"]["big5g"]
    path = os.path.join(s["dir"], "www", "big5g.bin")
    st = os.stat(path)
    eq((f["path"], f["size"], st.st_size), ("/big5g.bin", 5 * 1024 * MIB, 5 * 1024 * MIB), "size")
    assert st.st_blocks * 512 < 16 * MIB, "not sparse: %d bytes on disk" % (st.st_blocks * 512)
    offsets = [m[0] for m in f["markers"]]
    straddling = [2 ** 31 - 2048, 2 ** 32 - 2048]
    steps = [o for o in range(0, f["size"], 512 * MIB) if o not in (2 ** 31, 2 ** 32)]
    eq(offsets, sorted(steps + straddling + [f["size"] - 4096]), "marker offsets")
    blocks = []
    with open(path, "rb") as fh:
        for offset, digest in f["markers"]:
            fh.seek(offset)
            block = fh.read(4096)
            eq(hashlib.sha256(block).hexdigest(), digest, "marker at %d on disk" % offset)
            assert b"\0" not in block, "marker at %d holds zeros" % offset
            blocks.append(block)
    eq(len(set(blocks)), len(blocks), "markers differ from each other")
    for offset, digest in f["markers"]:
        body = read_range(s["nginx"], f["path"], offset, offset + 4095)
        eq(hashlib.sha256(body).hexdigest(), digest, "marker at %d through nginx" % offset)
    eq(read_range(s["nginx"], f["path"], 4096, 8191), bytes(4096), "the hole after the first marker")


@check
def big5g_past_4gib_through_cutproxy(s):
    f = s["files"]["big5g"]
    markers = dict(f["markers"])
    near4g, last = 2 ** 32 - 2048, f["size"] - 4096
    past = "%s?cutat=%d" % (f["path"], 2 ** 32 + 100)
    for offset in (near4g, last):
        body = read_range(s["cutproxy"], past, offset, offset + 4095)
        eq(hashlib.sha256(body).hexdigest(), markers[offset], "marker at %d through cutproxy" % offset)
    # An open range from just before 4 GiB: the head's 64-bit numbers, then a few MiB of it.
    with connect(s["cutproxy"], timeout=10) as sock:
        sock.sendall(request_bytes(past, [("Range", "bytes=%d-" % near4g)], port=s["cutproxy"]))
        data = read_at_least(sock, 3 * MIB)
    status, h, body = split(data)
    eq((status, h.get("content-range"), h.get("content-length")),
       (206, "bytes %d-%d/%d" % (near4g, f["size"] - 1, f["size"]), str(f["size"] - near4g)), "open range")
    eq(hashlib.sha256(body[:4096]).hexdigest(), markers[near4g], "open range starts with the marker")
    eq(body[4096:2 * MIB], bytes(2 * MIB - 4096), "then the hole")


@check
def cutproxy_cutat(s):
    big64 = os.path.join(s["dir"], "www", "big64.bin")
    with open(big64, "rb") as fh:
        head64 = fh.read(6 * MIB)
    big5g = s["files"]["big5g"]
    # (path, request headers, status, content-length, body)
    cases = [
        ("/big64.bin?cutat=1000", [], 200, str(64 * MIB), head64[:1000]),
        ("/big64.bin?cutat=0", [], 200, str(64 * MIB), b""),
        ("/big64.bin?cutat=%d" % (5 * MIB + 3), [], 200, str(64 * MIB), head64[:5 * MIB + 3]),
        ("/big64.bin?x=1&cutat=4096", [], 200, str(64 * MIB), head64[:4096]),
        ("/big64.bin?cutat=10", [("Range", "bytes=1000-1999")], 206, "1000", head64[1000:2000]),
        ("/big5g.bin?cutat=6000", [], 200, str(big5g["size"]),
         read_range(s["nginx"], "/big5g.bin", 0, 4095) + bytes(6000 - 4096)),
    ]
    for target, headers, status, length, body in cases:
        got_status, h, got_body = fetch(s["cutproxy"], target, headers)
        eq((got_status, h.get("content-length"), len(got_body)), (status, length, len(body)), target)
        eq(got_body == body, True, target + ": body")


def servers_json(s):
    eq(sorted(k for k in s if k != "dir"),
       sorted(["http", "http2", "https", "cutproxy", "nginx", "proxy", "requests_log", "proxy_log",
               "https_selfsigned", "https_otherhost", "testca", "files", "pids"]), "servers.json keys")
    ports = [s[k] for k in PORTS]
    eq(len(set(ports)), len(PORTS), "distinct ports")
    eq((os.path.isabs(s["requests_log"]), s["proxy_log"]), (True, os.path.join(s["dir"], "proxy.log")),
       "log paths")
    eq(sorted(s["files"]), ["big5g", "big64"], "files")
    eq(sorted(s["files"]["big64"]), ["path", "sha256", "size"], "file entry")
    eq((s["files"]["big64"]["path"], s["files"]["big64"]["size"]), ("/big64.bin", 64 * MIB), "big64")
    eq(sorted(s["files"]["big5g"]), ["markers", "path", "size"], "sparse file entry")
    eq(len(s["pids"]), 4, "pids")


# --- running -------------------------------------------------------------------------------------
def run_servers(command, directory):
    return subprocess.run(SERVERS + [command, "--dir", directory], capture_output=True, timeout=60)


def load(directory):
    with open(os.path.join(directory, "servers.json")) as f:
        info = json.load(f)
    info["dir"] = directory
    return info


def pid_alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] not in ("Z", "X")
    except OSError:
        return False


def port_open(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def lifecycle(first):
    """Starting again stops the old set; stop ends everything and may be repeated."""
    directory = first["dir"]
    big5g = os.path.join(directory, "www", "big5g.bin")
    kept = os.stat(big5g)
    done = run_servers("start", directory)
    eq((done.returncode, done.stdout), (0, b""), "second start: " + done.stderr.decode()[-300:])
    second = load(directory)
    assert not any(pid_alive(p) for p in first["pids"]), "old set still runs"
    assert all(pid_alive(p) for p in second["pids"]), "new set is not running"
    for name in PORTS:
        assert port_open(second[name]), "%s not accepting after restart" % name
    now = os.stat(big5g)
    eq((now.st_ino, now.st_mtime_ns), (kept.st_ino, kept.st_mtime_ns), "big5g.bin kept")
    eq(second["files"]["big5g"], first["files"]["big5g"], "big5g entry")

    # A file whose marker was overwritten is made anew at the next start.
    offset = first["files"]["big5g"]["markers"][4][0]
    with open(big5g, "r+b") as fh:
        fh.seek(offset + 100)
        fh.write(b"\0" * 10)
    done = run_servers("start", directory)
    eq(done.returncode, 0, "third start: " + done.stderr.decode()[-300:])
    third = load(directory)
    with open(big5g, "rb") as fh:
        fh.seek(offset)
        eq(hashlib.sha256(fh.read(4096)).hexdigest(), first["files"]["big5g"]["markers"][4][1],
           "damaged marker restored")
    eq(os.stat(big5g).st_size, 5 * 1024 * MIB, "size after remaking")

    eq(run_servers("stop", directory).returncode, 0, "stop")
    assert not any(pid_alive(p) for p in second["pids"] + third["pids"]), "processes left after stop"
    for name in PORTS:
        assert not port_open(third[name]), "%s still accepting after stop" % name
    eq(run_servers("stop", directory).returncode, 0, "stop with nothing running")
    eq(run_servers("stop", directory + "/none").returncode, 0, "stop on a missing folder")


def main():
    only = sys.argv[sys.argv.index("-k") + 1] if "-k" in sys.argv else ""
    directory = tempfile.mkdtemp(prefix="pelora-testserver-")
    passed = failed = 0
    began = time.monotonic()
    try:
        done = run_servers("start", directory)
        if done.returncode != 0 or done.stdout:
            print("start failed (%d): %s%s" % (done.returncode, done.stdout.decode(),
                                               done.stderr.decode()))
            print("0 passed, 1 failed")
            return 1
        info = load(directory)
        for fn in [servers_json] + CHECKS + [lifecycle]:   # lifecycle stops the set: last
            name = fn.__name__
            if only not in name:
                continue
            t0 = time.monotonic()
            try:
                fn(info)
                passed += 1
                print("PASS  %-40s %5.2f s" % (name, time.monotonic() - t0))
            except Exception:
                failed += 1
                print("FAIL  %-40s\n%s" % (name, traceback.format_exc()))
    finally:
        run_servers("stop", directory)
        shutil.rmtree(directory, ignore_errors=True)
    print("total %.1f s" % (time.monotonic() - began))
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

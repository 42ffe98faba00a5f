#!/usr/bin/env python3
"""The local market server process: version service, installer packages, open-id configurations, game
files and the analytics collector on one plain-HTTP port of 127.0.0.1. Built on the scripted server of
tools/testserver (request reading, answer helpers, polite close); only the endpoints are its own.

Run by market_server.py; on its own:
    market_http.py --ready FILE --requests-log FILE --hits-log FILE --installer FILE
                   [--openid-config FILE] [--version-service ok|down|broken|no-edition|stall]
                   [--fail-package none|A|AB|ABC|C] [--url-spare off|on] [--fail-url none|404|cut]
                   [--fail-how 404|close] [--slow-kbps N] [--lifetime SECONDS]
It writes {"port": P} to the ready file once it accepts connections. GET /control/switches?version-service=
...&fail-package=...&url-spare=...&fail-url=...&fail-how=...&slow-kbps=N&collector=ok|stall&digest=...
changes the switches while it runs.

Request log: one line per request, `METHOD TARGET range=VALUE client=socket|other` (`range=-` without a
Range header; blanks in the target as %20). `client=socket` marks the downloader's raw-socket back-end,
known by its "Host:" line with no blank after the colon; WinINet and curl write "Host: ".
Hits log: the request line of every .../collect request, bytes as received.
"""

import argparse
import hashlib
import json
import os
import socketserver
import sys
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "testserver"))

import market_content as content  # noqa: E402
import scripted_http  # noqa: E402

THROTTLE_STEP = 0.1     # seconds between slices of a throttled body


def is_raw_socket(raw):
    at = raw.find(b"\r\nHost:")
    return at >= 0 and raw[at + 7:at + 8] not in (b" ", b"\t")


class MarketLog(scripted_http.Shared):
    """The request log in one line per request, and the separate analytics hits log."""

    def __init__(self, requests_log, hits_log):
        super().__init__(requests_log)
        self.hits_log = hits_log
        for path in (requests_log, hits_log):
            open(path, "wb").close()

    def log_request(self, port, raw):
        req = scripted_http.Request(raw)
        line = "%s %s range=%s client=%s\n" % (
            req.method, req.target.replace(" ", "%20"), req.headers.get("range", "-").replace(" ", ""),
            "socket" if is_raw_socket(raw) else "other")
        with self.log_lock, open(self.log_path, "a", encoding="latin-1") as f:
            f.write(line)

    def log_hit(self, raw):
        with self.log_lock, open(self.hits_log, "ab") as f:
            f.write(raw.split(b"\r\n", 1)[0] + b"\n")


class MarketHandler(scripted_http.Handler):
    def dispatch(self, req):
        market = self.server.market
        path = req.path
        if path == "/control/switches":
            return self.set_switches(req)
        if path.endswith("/collect"):
            self.server.shared.log_hit(req.raw)
            if market.collector == "stall":
                return self.hold_open()     # the hit is logged as received, but never answered
            return self.send_simple(200, "ok")
        if path in content.VERSION_PATHS:
            return self.version(content.VERSION_PATHS[path])
        if path.startswith(content.OPENID_PREFIX) and path.endswith(content.OPENID_SUFFIX):
            return self.openid_config(path[len(content.OPENID_PREFIX):-len(content.OPENID_SUFFIX)])
        if path in content.CDN_PACKAGE_PATHS or path in content.BUILTIN_PACKAGE_PATHS \
                or path in content.SPARE_PACKAGE_PATHS:
            first_address = path in content.CDN_PACKAGE_PATHS
            if market.package_fails(path, is_raw_socket(req.raw)) or (first_address and market.fail_url == "404"):
                return self.withhold_package()
            return self.send_file(market.installer, throttle=True,
                                  cut=first_address and market.fail_url == "cut")
        if path in market.files:
            return self.send_file(market.files[path], throttle=content.is_package(path))
        return self.send_simple(404, "unknown")

    def set_switches(self, req):
        """Changes the switches at run time, so one server serves a whole test program's cases."""
        market = self.server.market
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(req.target).query)
        try:
            market.version_service = _choice(query, "version-service", VERSION_MODES, market.version_service)
            market.fail_package = _choice(query, "fail-package", PACKAGE_MODES, market.fail_package)
            market.url_spare = _choice(query, "url-spare", SPARE_MODES, market.url_spare)
            market.fail_url = _choice(query, "fail-url", FAIL_URL_MODES, market.fail_url)
            market.fail_how = _choice(query, "fail-how", FAIL_HOW_MODES, market.fail_how)
            market.slow_kbps = int(query.get("slow-kbps", [market.slow_kbps])[0])
            market.collector = _choice(query, "collector", COLLECTOR_MODES, market.collector)
            market.digest = _choice(query, "digest", DIGEST_MODES, market.digest)
        except ValueError as e:
            return self.send_simple(400, str(e))
        return self.send_simple(200, "switched")

    def withhold_package(self):
        """A failing package address: 404, or with fail-how=close no answer at all, the connection just
        closes (a lost connection rather than a refusal)."""
        if self.server.market.fail_how == "close":
            return
        return self.send_simple(404, "package withheld")

    def base(self):
        return "http://%s:%d" % (scripted_http.HOST, self.port)

    def version(self, region):
        mode = self.server.market.version_service
        if mode == "down":
            return      # no answer at all: the connection just closes
        if mode == "stall":
            return self.hold_open()     # no answer, and the connection stays open
        if mode == "broken":
            return self.send_simple(200, "<html>version service unavailable</html>")
        editions = ["mnq4"] if mode == "no-edition" else None
        answer = content.version_answer(self.base(), region, self.server.market.announced_digests(), editions,
                                        spare=self.server.market.url_spare == "on")
        self.send_json(answer)

    def openid_config(self, openid):
        config = self.server.market.openid_configs.get(openid)
        if config is None:
            return self.send_simple(404, "no configuration")
        self.send_json(content.with_base(config, self.base()))

    def send_json(self, value):
        body = json.dumps(value, ensure_ascii=False).encode("utf-8")
        self.send_head(200, [("Content-Type", "application/json"), ("Content-Length", len(body))])
        if self.req.method != "HEAD":
            self.sock.sendall(body)

    def send_file(self, data, throttle, cut=False):
        """`cut`: the head promises the whole (asked) range, half of it comes, then the close."""
        rng = self.req.range_start_end(len(data))
        if rng == "bad":
            return self.send_simple(416, "", [("Content-Range", "bytes */%d" % len(data))])
        start, end = rng if rng else (0, len(data) - 1)
        headers = [("Content-Type", "application/octet-stream"), ("Content-Length", end - start + 1),
                   ("Accept-Ranges", "bytes")]
        if rng:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start, end, len(data))))
        self.send_head(206 if rng else 200, headers)
        if self.req.method == "HEAD":
            return
        stop = start + (end + 1 - start) // 2 if cut else end + 1
        kbps = self.server.market.slow_kbps if throttle else 0
        if not kbps:
            return self.sock.sendall(data[start:stop])
        step = max(1, int(kbps * 1024 * THROTTLE_STEP))
        for pos in range(start, stop, step):
            self.sock.sendall(data[pos:min(pos + step, stop)])
            time.sleep(THROTTLE_STEP)


VERSION_MODES = ("ok", "down", "broken", "no-edition", "stall")
PACKAGE_MODES = ("none", "A", "AB", "ABC", "C")
SPARE_MODES = ("off", "on")
FAIL_URL_MODES = ("none", "404", "cut")
FAIL_HOW_MODES = ("404", "close")
COLLECTOR_MODES = ("ok", "stall")
DIGEST_MODES = ("md5", "sha256", "both", "wrong-md5", "wrong-sha256", "absent", "malformed")


def _choice(query, name, allowed, current):
    value = query.get(name, [current])[0]
    if value not in allowed:
        raise ValueError("%s must be one of %s" % (name, ", ".join(allowed)))
    return value


class Market:
    """The served content and the switches, fixed at start."""

    def __init__(self, args):
        with open(args.installer, "rb") as f:
            self.installer = f.read()
        # Hashed once: a big installer would otherwise delay every version answer.
        self.installer_md5 = hashlib.md5(self.installer).hexdigest()
        self.installer_sha256 = hashlib.sha256(self.installer).hexdigest()
        self.files = content.static_files()
        self.openid_configs = content.default_openid_configs()
        if args.openid_config:
            with open(args.openid_config, encoding="utf-8") as f:
                self.openid_configs.update(json.load(f))
        self.version_service = args.version_service
        self.fail_package = args.fail_package
        self.url_spare = args.url_spare
        self.fail_url = args.fail_url
        self.fail_how = args.fail_how
        self.slow_kbps = args.slow_kbps
        self.collector = "ok"   # only switched at run time
        self.digest = "md5"     # only switched at run time

    def announced_digests(self):
        """The digest members of each edition in the version answer, as the digest switch has them."""
        md5, sha256 = self.installer_md5, self.installer_sha256
        return {"md5": {"md5": md5}, "sha256": {"sha256": sha256}, "both": {"md5": md5, "sha256": sha256},
                "wrong-md5": {"md5": hashlib.md5(b"another installer").hexdigest()},
                "wrong-sha256": {"md5": md5, "sha256": hashlib.sha256(b"another installer").hexdigest()},
                "absent": {}, "malformed": {"md5": md5[:-2] + "zz"}}[self.digest]

    def package_fails(self, path, raw_socket):
        """A: the announced address fails for all but the raw socket; AB: for everyone;
        ABC: every other package address (built-in and spare) fails as well;
        C: only the built-in and spare addresses fail, the announced one serves."""
        if path in content.CDN_PACKAGE_PATHS:
            return self.fail_package in ("AB", "ABC") or (self.fail_package == "A" and not raw_socket)
        return self.fail_package in ("ABC", "C")


class MarketServer(scripted_http.Server):
    def __init__(self, shared, market, port=0):
        self.market = market
        self.shared = shared
        self.tls = None
        # The base class's constructor would bind its own handler; bind ours.
        socketserver.ThreadingTCPServer.__init__(self, (scripted_http.HOST, port), MarketHandler)


def add_switches(ap):
    """The options that shape what the server answers; market_server.py passes them through."""
    ap.add_argument("--openid-config", help="JSON object: open id -> configuration; {base} = own address")
    ap.add_argument("--version-service", choices=VERSION_MODES, default="ok")
    ap.add_argument("--fail-package", choices=PACKAGE_MODES, default="none")
    ap.add_argument("--url-spare", choices=SPARE_MODES, default="off",
                    help="on: each edition of the version answer also names a second address")
    ap.add_argument("--fail-url", choices=FAIL_URL_MODES, default="none",
                    help="the first announced address answers 404, or cuts every answer half-way")
    ap.add_argument("--fail-how", choices=FAIL_HOW_MODES, default="404",
                    help="how a failing package address fails: 404, or close: the connection closes unanswered")
    ap.add_argument("--slow-kbps", type=int, default=0, help="package bodies at N KiB/s (0: full speed)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ready", required=True)
    ap.add_argument("--requests-log", required=True)
    ap.add_argument("--hits-log", required=True)
    ap.add_argument("--installer", required=True)
    add_switches(ap)
    ap.add_argument("--port", type=int, default=0, help="0: any free port")
    ap.add_argument("--lifetime", type=float, default=4 * 3600,
                    help="exit after this many seconds, so a forgotten server does not linger")
    args = ap.parse_args()

    server = MarketServer(MarketLog(os.path.abspath(args.requests_log), os.path.abspath(args.hits_log)),
                          Market(args), args.port)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    tmp = args.ready + ".tmp"
    with open(tmp, "w") as f:
        json.dump({"port": server.server_address[1]}, f)
    os.replace(tmp, args.ready)
    time.sleep(args.lifetime)   # SIGTERM ends the process earlier; threads are daemons


if __name__ == "__main__":
    main()

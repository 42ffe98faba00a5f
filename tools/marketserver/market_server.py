#!/usr/bin/env python3
"""Starts and stops the local market server that stands in for the market's version service, content
servers and analytics collector in the tests and the demo (plain HTTP on 127.0.0.1).

    market_server.py start --dir DIR --installer FILE [--openid-config FILE]
                     [--version-service ok|down|broken|no-edition|stall] [--fail-package none|A|AB|ABC|C]
                     [--url-spare off|on] [--fail-url none|404|cut] [--fail-how 404|close] [--slow-kbps N]
                     [--port P]
    market_server.py stop --dir DIR

start runs market_http.py detached and returns once it accepts connections; it writes DIR/market.json:
    {"port": P, "base": "http://127.0.0.1:P", "requests_log": "DIR/requests.log",
     "hits_log": "DIR/hits.log", "pids": [pid], "switches": {...},
     "installer": {"size": N, "md5": "...", "sha256": "..."},
     "files": {"/games/example.apk": {"size": N, "sha256": "..."}, ...}}
stop ends the process that start recorded in DIR/market.pid, and only if its command line names DIR.
"""

import argparse
import hashlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "testserver"))

import market_content as content  # noqa: E402
import market_http  # noqa: E402
import procutil  # noqa: E402


def _marker(directory):
    # The server's command line names DIR/ (its ready file and logs); stop signals no pid without it.
    return directory.rstrip("/") + "/"


def stop(directory):
    pid_file = os.path.join(directory, "market.pid")
    if os.path.exists(pid_file):
        with open(pid_file) as f:
            text = f.read().strip()
        if text.isdigit():
            procutil.stop_pids([int(text)], _marker(directory))
    for name in ("market.pid", "market.json", "market.ready.json"):
        path = os.path.join(directory, name)
        if os.path.exists(path):
            os.remove(path)


def _digest(data):
    return {"size": len(data), "sha256": hashlib.sha256(data).hexdigest()}


def start(directory, args):
    stop(directory)
    ready = os.path.join(directory, "market.ready.json")
    installer = os.path.abspath(args.installer)
    with open(installer, "rb") as f:
        installer_bytes = f.read()
    argv = [sys.executable, os.path.join(HERE, "market_http.py"), "--ready", ready,
            "--requests-log", os.path.join(directory, "requests.log"),
            "--hits-log", os.path.join(directory, "hits.log"),
            "--installer", installer,
            "--version-service", args.version_service, "--fail-package", args.fail_package,
            "--url-spare", args.url_spare, "--fail-url", args.fail_url, "--fail-how", args.fail_how,
            "--slow-kbps", str(args.slow_kbps), "--port", str(args.port)]
    if args.openid_config:
        argv += ["--openid-config", os.path.abspath(args.openid_config)]
    proc = procutil.spawn(argv, os.path.join(directory, "market.out.log"))
    with open(os.path.join(directory, "market.pid"), "w") as f:
        f.write(str(proc.pid))
    port = procutil.wait_ready_file(ready, proc)["port"]
    if not procutil.wait_accepting(port):
        raise RuntimeError("market server on port %d does not accept connections" % port)

    info = {"port": port, "base": "http://127.0.0.1:%d" % port,
            "requests_log": os.path.join(directory, "requests.log"),
            "hits_log": os.path.join(directory, "hits.log"), "pids": [proc.pid],
            "switches": {"version_service": args.version_service, "fail_package": args.fail_package,
                         "url_spare": args.url_spare, "fail_url": args.fail_url,
                         "fail_how": args.fail_how, "slow_kbps": args.slow_kbps},
            "installer": dict(_digest(installer_bytes), md5=hashlib.md5(installer_bytes).hexdigest()),
            "files": {path: _digest(data) for path, data in content.static_files().items()}}
    procutil.write_json(os.path.join(directory, "market.json"), info)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("command", choices=["start", "stop"])
    ap.add_argument("--dir", required=True, help="folder for the server's files (created if needed)")
    ap.add_argument("--installer", help="the installer package to serve (start only)")
    ap.add_argument("--port", type=int, default=0, help="a fixed port, as a test build's addresses name it")
    market_http.add_switches(ap)
    args = ap.parse_args()
    directory = os.path.realpath(args.dir)

    if args.command == "stop":
        if os.path.isdir(directory):
            stop(directory)
        return 0
    if not args.installer:
        ap.error("start needs --installer")
    os.makedirs(directory, exist_ok=True)
    try:
        start(directory, args)
    except (RuntimeError, OSError, ValueError) as e:
        print("market_server.py start: %s" % e, file=sys.stderr)
        stop(directory)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Starts and stops the local servers that the network tests talk to on 127.0.0.1.

    servers.py start --dir DIR [--big512]   start everything detached, write DIR/servers.json
    servers.py stop --dir DIR               stop what start started for DIR

The set: the scripted HTTP server on two plain ports and one TLS port (scripted_http.py), nginx
serving big files (nginx_fixture.py), the proxy in front of nginx that cuts whole-file downloads
half-way (cutproxy.py), and a forward HTTP proxy to the scripted server (forwardproxy.py). Each
keeps its output in DIR/logs/. Pids are recorded in DIR/pids.json as soon as each process exists,
so stop also cleans up after a start that failed half-way.
"""

import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import nginx_fixture  # noqa: E402
import procutil  # noqa: E402


def _marker(directory):
    # Every process of the set has DIR/ in its command line; stop signals no pid without it.
    return directory.rstrip("/") + "/"


def _recorded_pids(directory):
    path = os.path.join(directory, "pids.json")
    if not os.path.exists(path):
        return []
    try:
        with open(path) as f:
            return [int(p) for p in json.load(f)]
    except (ValueError, OSError):
        return []


def _record_pid(directory, pids, pid):
    pids.append(pid)
    procutil.write_json(os.path.join(directory, "pids.json"), pids)


def stop(directory):
    procutil.stop_pids(_recorded_pids(directory), _marker(directory))
    for name in ("pids.json", "servers.json"):
        path = os.path.join(directory, name)
        if os.path.exists(path):
            os.remove(path)


def _certificate(directory):
    """Self-signed certificate for 127.0.0.1 and localhost; kept if already there."""
    cert, key = os.path.join(directory, "cert.pem"), os.path.join(directory, "key.pem")
    if not (os.path.exists(cert) and os.path.exists(key)):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650",
                        "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                        "-keyout", key, "-out", cert],
                       check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return cert, key


def _python_server(directory, pids, name, args):
    """Starts tools/testserver/<name>.py detached; returns the ports from its ready file."""
    ready = os.path.join(directory, "run", name + ".ready.json")
    if os.path.exists(ready):
        os.remove(ready)
    proc = procutil.spawn([sys.executable, os.path.join(HERE, name + ".py"), "--ready", ready] + args,
                          os.path.join(directory, "logs", name + ".log"))
    _record_pid(directory, pids, proc.pid)
    return procutil.wait_ready_file(ready, proc)


def start(directory, big512):
    stop(directory)
    for sub in ("logs", "run"):
        os.makedirs(os.path.join(directory, sub), exist_ok=True)
    pids = []
    log = os.path.join(directory, "requests.log")
    cert, key = _certificate(directory)
    proxy_log = os.path.join(directory, "proxy.log")
    files = nginx_fixture.prepare_files(directory, ["big64", "big5g"] + (["big512"] if big512 else []))

    nginx_pid, nginx_port = nginx_fixture.start(directory)
    _record_pid(directory, pids, nginx_pid)
    ports = _python_server(directory, pids, "scripted_http",
                           ["--log", log, "--cert", cert, "--key", key])
    ports.update(_python_server(directory, pids, "cutproxy", ["--upstream", str(nginx_port)]))
    ports.update(_python_server(directory, pids, "forwardproxy",
                                ["--upstream", str(ports["http"]), "--log", proxy_log]))
    ports["nginx"] = nginx_port
    for name, port in ports.items():
        if not procutil.wait_accepting(port):
            raise RuntimeError("%s on port %d does not accept connections" % (name, port))

    info = {"http": ports["http"], "http2": ports["http2"], "https": ports["https"],
            "cutproxy": ports["cutproxy"], "nginx": nginx_port, "proxy": ports["proxy"],
            "requests_log": log, "proxy_log": proxy_log, "cert": cert, "files": files, "pids": pids}
    procutil.write_json(os.path.join(directory, "servers.json"), info)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("command", choices=["start", "stop"])
    ap.add_argument("--dir", required=True, help="folder for the servers' files (created if needed)")
    ap.add_argument("--big512", action="store_true", help="also serve a 512 MiB file (benchmark)")
    args = ap.parse_args()
    directory = os.path.realpath(args.dir)

    if args.command == "stop":
        if os.path.isdir(directory):
            stop(directory)
        return 0
    os.makedirs(directory, exist_ok=True)
    try:
        start(directory, args.big512)
    except (RuntimeError, OSError, subprocess.CalledProcessError) as e:
        detail = getattr(e, "stderr", None)
        print("servers.py start: %s%s" % (e, ("\n" + detail.decode(errors="replace")) if detail else ""),
              file=sys.stderr)
        stop(directory)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

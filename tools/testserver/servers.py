#!/usr/bin/env python3
"""Starts and stops the local servers that the network tests talk to on 127.0.0.1.

    servers.py start --dir DIR [--ca CA] [--big512]   start everything detached, write DIR/servers.json
    servers.py stop --dir DIR                         stop what start started for DIR

The set: the scripted HTTP server on two plain ports and three TLS ports (scripted_http.py), nginx
serving big files (nginx_fixture.py), the proxy in front of nginx that cuts whole-file downloads
half-way (cutproxy.py), and a forward HTTP proxy to the scripted server (forwardproxy.py). Each
keeps its output in DIR/logs/. Pids are recorded in DIR/pids.json as soon as each process exists,
so stop also cleans up after a start that failed half-way.

The TLS certificates come from the tests' certificate authority (tools/testca) in CA: --ca, else the
folder named by PELORA_TEST_CA (the test session's, whose root the Wine prefix trusts), else DIR/testca.
"""

import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "testca"))

import nginx_fixture  # noqa: E402
import procutil  # noqa: E402
import testca  # noqa: E402

# The scripted server's TLS listeners and the certificate of the authority each one shows.
TLS_LISTENERS = [("https", "server"), ("https_selfsigned", "selfsigned"), ("https_otherhost", "otherhost")]


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


def _tls_arguments(ca):
    arguments = []
    for name, certificate in TLS_LISTENERS:
        arguments += ["--tls", name, os.path.join(ca, certificate + ".pem"), os.path.join(ca, certificate + ".key")]
    return arguments


def _python_server(directory, pids, name, args):
    """Starts tools/testserver/<name>.py detached; returns the ports from its ready file."""
    ready = os.path.join(directory, "run", name + ".ready.json")
    if os.path.exists(ready):
        os.remove(ready)
    proc = procutil.spawn([sys.executable, os.path.join(HERE, name + ".py"), "--ready", ready] + args,
                          os.path.join(directory, "logs", name + ".log"))
    _record_pid(directory, pids, proc.pid)
    return procutil.wait_ready_file(ready, proc)


def start(directory, ca, big512):
    stop(directory)
    for sub in ("logs", "run"):
        os.makedirs(os.path.join(directory, sub), exist_ok=True)
    pids = []
    log = os.path.join(directory, "requests.log")
    testca.make(ca)
    proxy_log = os.path.join(directory, "proxy.log")
    files = nginx_fixture.prepare_files(directory, ["big64", "big5g"] + (["big512"] if big512 else []))

    nginx_pid, nginx_port = nginx_fixture.start(directory)
    _record_pid(directory, pids, nginx_pid)
    ports = _python_server(directory, pids, "scripted_http", ["--log", log] + _tls_arguments(ca))
    ports.update(_python_server(directory, pids, "cutproxy", ["--upstream", str(nginx_port)]))
    ports.update(_python_server(directory, pids, "forwardproxy",
                                ["--upstream", str(ports["http"]), "--log", proxy_log]))
    ports["nginx"] = nginx_port
    for name, port in ports.items():
        if not procutil.wait_accepting(port):
            raise RuntimeError("%s on port %d does not accept connections" % (name, port))

    info = {name: ports[name] for name in ["http", "http2", "cutproxy", "proxy"] + [n for n, _ in TLS_LISTENERS]}
    info.update({"nginx": nginx_port, "requests_log": log, "proxy_log": proxy_log, "testca": ca,
                 "files": files, "pids": pids})
    procutil.write_json(os.path.join(directory, "servers.json"), info)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("command", choices=["start", "stop"])
    ap.add_argument("--dir", required=True, help="folder for the servers' files (created if needed)")
    ap.add_argument("--ca", help="folder of the tests' certificate authority (default: $PELORA_TEST_CA, "
                                 "else DIR/testca); made if missing")
    ap.add_argument("--big512", action="store_true", help="also serve a 512 MiB file (benchmark)")
    args = ap.parse_args()
    directory = os.path.realpath(args.dir)
    ca = os.path.realpath(args.ca or os.environ.get("PELORA_TEST_CA") or os.path.join(directory, "testca"))

    if args.command == "stop":
        if os.path.isdir(directory):
            stop(directory)
        return 0
    os.makedirs(directory, exist_ok=True)
    try:
        start(directory, ca, args.big512)
    except (RuntimeError, OSError, subprocess.CalledProcessError) as e:
        detail = getattr(e, "stderr", None)
        print("servers.py start: %s%s" % (e, ("\n" + detail.decode(errors="replace")) if detail else ""),
              file=sys.stderr)
        stop(directory)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

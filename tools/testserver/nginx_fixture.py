"""nginx serving big files from DIR/www, as the market's real content server does (Range, sendfile).

Everything nginx writes (pid, temp files, logs) stays under DIR/nginx, so several fixture sets can
run side by side and none touches /etc/nginx or /var.
"""

import hashlib
import os
import random
import time

import procutil

NGINX = "/usr/sbin/nginx"
MIB = 1024 * 1024
FILES = {"big64": 64 * MIB, "big512": 512 * MIB}

CONFIG = """\
# Written by tools/testserver/nginx_fixture.py for one fixture set; regenerated at each start.
daemon off;                 # servers.py keeps the master's pid itself
master_process on;
worker_processes 2;
user root root;             # the fixture folder may be private to root (mkdtemp makes it 0700)
pid {prefix}/nginx.pid;
lock_file {prefix}/nginx.lock;
error_log {prefix}/error.log warn;

events {{ worker_connections 256; }}

http {{
    access_log {prefix}/access.log;
    client_body_temp_path {prefix}/tmp/body;
    proxy_temp_path {prefix}/tmp/proxy;
    fastcgi_temp_path {prefix}/tmp/fastcgi;
    uwsgi_temp_path {prefix}/tmp/uwsgi;
    scgi_temp_path {prefix}/tmp/scgi;
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    gzip off;
    keepalive_timeout 30s;

    server {{
        listen 127.0.0.1:{port};
        root {www};
    }}
}}
"""


def make_file(path, size):
    """Deterministic non-repeating bytes (seeded by size), so that a resume at a wrong offset
    always changes the SHA-256. An existing file of the right size is kept: generating 512 MiB
    takes seconds. Returns the SHA-256, cached beside the file keyed by size and mtime."""
    cache = path + ".sha256"
    if os.path.exists(path) and os.path.getsize(path) == size:
        stamp = "%d %d" % (size, os.stat(path).st_mtime_ns)
        if os.path.exists(cache):
            with open(cache) as f:
                cached_stamp, _, digest = f.read().strip().rpartition(" ")
            if cached_stamp == stamp:
                return digest
        digest = _sha256_file(path)
    else:
        rng = random.Random(size)
        sha = hashlib.sha256()
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            for _ in range(size // (16 * MIB)):
                block = rng.randbytes(16 * MIB)
                sha.update(block)
                f.write(block)
            rest = rng.randbytes(size % (16 * MIB))
            sha.update(rest)
            f.write(rest)
        os.replace(tmp, path)
        digest = sha.hexdigest()
        stamp = "%d %d" % (size, os.stat(path).st_mtime_ns)
    with open(cache, "w") as f:
        f.write("%s %s\n" % (stamp, digest))
    return digest


def _sha256_file(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        while True:
            block = f.read(4 * MIB)
            if not block:
                return sha.hexdigest()
            sha.update(block)


def prepare_files(directory, names):
    """Creates DIR/www/<name>.bin for each name; returns the servers.json "files" entries."""
    www = os.path.join(directory, "www")
    os.makedirs(www, exist_ok=True)
    files = {}
    for name in names:
        size = FILES[name]
        digest = make_file(os.path.join(www, name + ".bin"), size)
        files[name] = {"path": "/%s.bin" % name, "size": size, "sha256": digest}
    return files


def start(directory, attempts=5):
    """Starts nginx on a free port; returns (pid, port). A port picked free can be taken before
    nginx binds it, so a failed start is retried with another port."""
    prefix = os.path.join(directory, "nginx")
    os.makedirs(os.path.join(prefix, "tmp"), exist_ok=True)
    conf = os.path.join(prefix, "nginx.conf")
    pid_file = os.path.join(prefix, "nginx.pid")
    for _ in range(attempts):
        port = procutil.free_port()
        if os.path.exists(pid_file):
            os.remove(pid_file)
        with open(conf, "w") as f:
            f.write(CONFIG.format(prefix=prefix, port=port, www=os.path.join(directory, "www")))
        proc = procutil.spawn([NGINX, "-p", prefix, "-c", conf, "-e", prefix + "/error.log"],
                              os.path.join(prefix, "stderr.log"))
        # nginx writes its pid file only after it has bound its port; until then a listener on
        # that port could be someone else's.
        if _wait_pid_file(pid_file, proc) and procutil.wait_accepting(port, timeout=5):
            return proc.pid, port
        procutil.stop_pids([proc.pid], prefix)
        proc.wait(timeout=5)
    raise RuntimeError("nginx did not start; see %s/error.log" % prefix)


def _wait_pid_file(pid_file, proc, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and proc.poll() is None:
        try:
            with open(pid_file) as f:
                if f.read().strip() == str(proc.pid):
                    return True
        except OSError:
            pass
        time.sleep(0.02)
    return False

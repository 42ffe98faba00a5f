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
GIB = 1024 * MIB
FILES = {"big64": 64 * MIB, "big512": 512 * MIB}
# Sparse files: holes of zeros with marker blocks, for sizes past 32-bit offsets that would take too
# long to write and to hash whole.
SPARSE_FILES = {"big5g": 5 * GIB}
MARKER = 4096
MARKER_STEP = 512 * MIB
# Markers straddle these boundaries (half before, half after), where 32-bit offset arithmetic breaks.
STRADDLED = (2 * GIB, 4 * GIB)

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


def marker_offsets(size):
    """Where the marker blocks of a sparse file lie: every MARKER_STEP, across each straddled
    boundary and at the very end. A step marker that a straddling one would overlap is left out, so
    every marker's bytes are its own."""
    straddling = [b - MARKER // 2 for b in STRADDLED if b + MARKER // 2 <= size]
    offsets = set(straddling + [size - MARKER])
    for offset in range(0, size - MARKER + 1, MARKER_STEP):
        if not any(offset < s + MARKER and s < offset + MARKER for s in offsets):
            offsets.add(offset)
    return sorted(offsets)


def marker_block(offset):
    """MARKER deterministic bytes that depend on the offset and hold no zero byte, so a body
    written to a wrong place, or a hole left where a marker belongs, changes the block's digest."""
    blocks = b"".join(hashlib.sha256(b"marker %d %d" % (offset, i)).digest()
                      for i in range(MARKER // 32))
    return blocks.replace(b"\0", b"\x5a")


def make_sparse_file(path, size):
    """A file of `size` bytes that is a hole except for the marker blocks; created by truncate, so it
    takes no time and almost no disk. An existing file of the right size and markers is kept.
    Returns [[offset, SHA-256 of the block], ...]."""
    offsets = marker_offsets(size)
    blocks = {o: marker_block(o) for o in offsets}
    if not (os.path.exists(path) and os.path.getsize(path) == size and _has_blocks(path, blocks)):
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.truncate(size)
            for offset in offsets:
                f.seek(offset)
                f.write(blocks[offset])
        os.replace(tmp, path)
    return [[o, hashlib.sha256(blocks[o]).hexdigest()] for o in offsets]


def _has_blocks(path, blocks):
    with open(path, "rb") as f:
        for offset, block in blocks.items():
            f.seek(offset)
            if f.read(len(block)) != block:
                return False
    return True


def prepare_files(directory, names):
    """Creates DIR/www/<name>.bin for each name; returns the servers.json "files" entries."""
    www = os.path.join(directory, "www")
    os.makedirs(www, exist_ok=True)
    files = {}
    for name in names:
        path = os.path.join(www, name + ".bin")
        if name in SPARSE_FILES:
            size = SPARSE_FILES[name]
            files[name] = {"path": "/%s.bin" % name, "size": size,
                           "markers": make_sparse_file(path, size)}
        else:
            size = FILES[name]
            files[name] = {"path": "/%s.bin" % name, "size": size, "sha256": make_file(path, size)}
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

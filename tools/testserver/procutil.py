"""Starting detached server processes and stopping exactly those again, by pid."""

import json
import os
import signal
import socket
import subprocess
import time


def spawn(argv, log_path):
    """Starts argv in its own session with no tie to our stdin/stdout: a caller such as ctest waits
    for its pipes to close, so a server holding them would hang it. Output goes to log_path."""
    with open(log_path, "ab") as log:
        return subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                start_new_session=True, close_fds=True)


def write_json(path, value):
    """Written whole or not at all: a reader never sees half a file."""
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        json.dump(value, f, indent=2)
    os.replace(tmp, path)


def wait_ready_file(path, proc, timeout=10.0):
    """The JSON a server writes once it listens; RuntimeError if it dies or takes too long."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path):
            with open(path) as f:
                return json.load(f)
        if proc.poll() is not None:
            raise RuntimeError("%s exited with %s before it was ready" % (proc.args[1], proc.returncode))
        time.sleep(0.02)
    raise RuntimeError("%s not ready after %.0f s" % (proc.args[1], timeout))


def wait_accepting(port, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.02)
    return False


def free_port():
    """A port nobody listens on right now (for nginx, which cannot be told to take port 0)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _stat(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            data = f.read()
    except OSError:
        return None
    after_name = data[data.rindex(")") + 2:].split()
    return after_name[0], int(after_name[1])      # state, parent pid


def alive(pid):
    # A process whose parent is gone and nobody reaped stays a zombie: it counts as exited.
    st = _stat(pid)
    return st is not None and st[0] not in ("Z", "X")


def cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode("utf-8", "replace")
    except OSError:
        return ""


def children(pid):
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            st = _stat(int(entry))
            if st and st[1] == pid:
                found.append(int(entry))
    return found


def stop_pids(pids, marker, timeout=10.0):
    """SIGTERM to each pid that is still ours (its command line names `marker`, so a pid reused by
    some other program is left alone), then SIGKILL what is left after `timeout`. Children are
    included (nginx workers), as they may outlive a killed master."""
    ours = [p for p in pids if alive(p) and marker in cmdline(p)]
    family = ours + [c for p in ours for c in children(p)]
    for pid in ours:
        _signal(pid, signal.SIGTERM)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and any(alive(p) for p in family):
        time.sleep(0.05)
    for pid in family:
        if alive(pid):
            _signal(pid, signal.SIGKILL)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and any(alive(p) for p in family):
        time.sleep(0.05)


def _signal(pid, sig):
    try:
        os.kill(pid, sig)
    except OSError:
        pass

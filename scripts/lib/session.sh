# A private Wine prefix, a persistent wineserver and an Xvfb display for running the Windows programs;
# sourced by scripts/test and scripts/demo. stop_session undoes exactly what start_session started.
# Every failure says what failed and what to do about it.

session_xvfb_pid=""
session_wineserver_started=0
session_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

session_say() { printf 'session: %s\n' "$*" >&2; }

# wine_environment BUILD_DIR: exports WINEPREFIX (PELORA_WINEPREFIX, else BUILD_DIR/wineprefix), the Wine
# settings for quiet, fast runs and PELORA_RUN_32BIT (1 when this machine runs 32-bit programs). Where it
# cannot, `wine` is made to mean 64-bit Wine: the 32-bit loader, if installed, would fail on every start.
wine_environment() {
    local build
    # Wine takes only an absolute prefix.
    build=$(mkdir -p "$1" && cd "$1" && pwd) || return 1
    # PELORA_WINEPREFIX lets two people share a build folder without stopping each other's Wine.
    export WINEPREFIX="${PELORA_WINEPREFIX:-$build/wineprefix}"
    export WINEDEBUG=-all
    # Never offer the Mono and Gecko installers.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    if can_run_32bit; then
        export PELORA_RUN_32BIT=1
        return
    fi
    export PELORA_RUN_32BIT=0
    local shim="$build/wine64-only" name
    mkdir -p "$shim"
    # wineboot and friends start "wine-stable"; programs and tests start "wine". The loader is started
    # by its own path, as Debian's launcher does: Wine finds its libraries from there.
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/$name"
        chmod +x "$shim/$name"
    done
    export WINELOADER=/usr/lib/wine/wine64
    case ":$PATH:" in *":$shim:"*) ;; *) export PATH="$shim:$PATH" ;; esac
}

# start_session BUILD_DIR: wine_environment, then DISPLAY (a private Xvfb unless USE_DISPLAY=1 keeps the
# caller's), a prefix that runs every build this machine can run, a persistent wineserver, and the tests'
# certificate authority trusted in the prefix (PELORA_TEST_CA).
start_session() {
    local build=$1
    wine_environment "$build" || return 1
    if ! command -v wine >/dev/null || [ ! -x /usr/lib/wine/wine64 ]; then
        session_say "Wine is not installed; run scripts/bootstrap, which installs it"
        return 1
    fi
    if [ "$PELORA_RUN_32BIT" = 1 ] && [ ! -x /usr/lib/wine/wine ]; then
        session_say "32-bit Wine is not installed (wine32:i386); run scripts/bootstrap, which installs it"
        return 1
    fi
    if [ "${USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
        start_xvfb || return 1
    fi
    ensure_prefix "$build" || return 1
    # A persistent server makes each program start take a fraction of a second instead of seconds.
    if ! wineserver -p; then
        session_say "wineserver -p failed for $WINEPREFIX; end a stale one with 'WINEPREFIX=$WINEPREFIX wineserver -k'"
        return 1
    fi
    session_wineserver_started=1
    trust_test_authority "$build" || return 1
    if [ -n "$session_xvfb_pid" ]; then
        # Xvfb has no window manager: Wine would wait 2 s for one whenever a managed window hides.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    fi
    # Bring up Wine's own services now, detached from our output: started by a test later, they
    # would inherit its pipes and keep a reader such as ctest waiting for them to close.
    check_runs "64-bit" 'C:\windows\system32\cmd.exe' "$build" || return 1
    if [ "$PELORA_RUN_32BIT" = 1 ]; then
        check_runs "32-bit" 'C:\windows\syswow64\cmd.exe' "$build" || return 1
    fi
}

# A prefix must run what this machine can: one made while only 64-bit Wine was installed (or a 32-bit
# one) fails every 32-bit program without a word. Such a prefix is made anew.
prefix_fits() {
    grep -qs '^#arch=win64' "$WINEPREFIX/system.reg" || return 1
    [ "$PELORA_RUN_32BIT" = 0 ] || [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

# ensure_prefix BUILD_DIR: after wine_environment; makes the prefix when it is missing or does not fit.
ensure_prefix() {
    local build=$1 log="$1/wineprefix-setup.log"
    if [ -f "$WINEPREFIX/system.reg" ] && ! prefix_fits; then
        session_say "the Wine prefix $WINEPREFIX does not fit this machine (made without wine32, or 32-bit only); making it anew"
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    fi
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    session_say "creating the Wine prefix $WINEPREFIX (once)"
    mkdir -p "$(dirname "$WINEPREFIX")"
    if ! { wineboot --init && wineserver -w; } >"$log" 2>&1 </dev/null || ! prefix_fits; then
        tail -n 20 "$log" >&2
        session_say "could not create a Wine prefix in $WINEPREFIX (log: $log);"
        session_say "check that Wine is complete (scripts/bootstrap installs it), remove the folder and try again"
        return 1
    fi
}

# trust_test_authority BUILD_DIR: after wineserver runs. Makes the tests' certificate authority
# (tools/testca) in BUILD_DIR/testca once, exports its folder as PELORA_TEST_CA for the test fixtures, and
# adds its root to the prefix's machine Root store, where crypt32 (chains, WinVerifyTrust), WinINet and
# Schannel look for trusted roots. The registry entry is the one crypt32 writes itself; the host's own
# roots (/etc/ssl/certs, which Wine also trusts) are left alone. Quick once done: the prefix's registry
# file already holds the root.
trust_test_authority() {
    local ca thumbprint
    ca="$(cd "$1" && pwd)/testca" || return 1
    if ! python3 "$session_repo/tools/testca/testca.py" --dir "$ca"; then
        session_say "could not make the test certificate authority in $ca (see above); is openssl installed?"
        return 1
    fi
    export PELORA_TEST_CA="$ca"
    thumbprint=$(cat "$ca/root.sha1")
    # The registry file writes each backslash of a key name twice.
    grep -qF 'Root\\Certificates\\'"$thumbprint]" "$WINEPREFIX/system.reg" && return 0
    if ! wine reg import "Z:${ca//\//\\}\\root.reg" >"$1/wine-trust.log" 2>&1 </dev/null; then
        tail -n 20 "$1/wine-trust.log" >&2
        session_say "could not add the test root $ca/root.pem to the Root store of $WINEPREFIX"
        return 1
    fi
}

# check_runs WHAT PROGRAM BUILD: runs a Windows program of the prefix; says what to do when it cannot.
check_runs() {
    local what=$1 program=$2 log="$3/wine-check.log" status
    wine "$program" /c exit >"$log" 2>&1 </dev/null
    status=$?
    [ "$status" -eq 0 ] && return 0
    tail -n 20 "$log" >&2
    session_say "Wine cannot run $what programs in $WINEPREFIX ($program exited $status);"
    session_say "remove the prefix (rm -rf '$WINEPREFIX') so it is made anew, and run scripts/bootstrap if Wine is incomplete"
    return 1
}

start_xvfb() {
    local n=90
    if ! command -v Xvfb >/dev/null; then
        session_say "Xvfb is not installed; run scripts/bootstrap, which installs it"
        return 1
    fi
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    session_xvfb_pid=$!
    export DISPLAY=":$n"
    local tries=0
    until [ -e "/tmp/.X11-unix/X$n" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$session_xvfb_pid" 2>/dev/null; then
            session_say "Xvfb did not start on $DISPLAY; run 'Xvfb $DISPLAY' to see why, or set DISPLAY and USE_DISPLAY=1"
            return 1
        fi
        sleep 0.1
    done
}

stop_session() {
    if [ "$session_wineserver_started" = 1 ]; then
        wineserver -k >/dev/null 2>&1 || true
        session_wineserver_started=0
    fi
    if [ -n "$session_xvfb_pid" ]; then
        kill "$session_xvfb_pid" 2>/dev/null || true
        wait "$session_xvfb_pid" 2>/dev/null || true
        session_xvfb_pid=""
    fi
}

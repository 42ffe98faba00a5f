# A private Wine prefix, a persistent wineserver and an Xvfb display for running the Windows programs;
# sourced by scripts/test and scripts/demo. stop_session undoes exactly what start_session started.

session_xvfb_pid=""
session_wineserver_started=0

# start_session BUILD_DIR: exports WINEPREFIX, DISPLAY (a private Xvfb unless USE_DISPLAY=1 keeps the
# caller's) and the Wine settings for quiet, fast runs.
start_session() {
    local build=$1
    # PELORA_WINEPREFIX lets two people share a build folder without stopping each other's Wine.
    export WINEPREFIX="${PELORA_WINEPREFIX:-$build/wineprefix}"
    export WINEDEBUG=-all
    # Never offer the Mono and Gecko installers.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64

    if [ "${USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
        start_xvfb
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        printf 'session: creating the Wine prefix %s (once)\n' "$WINEPREFIX" >&2
        wineboot --init >/dev/null 2>&1
        wineserver -w
    fi
    # A persistent server makes each program start take a fraction of a second instead of seconds.
    wineserver -p
    session_wineserver_started=1
    if [ -n "$session_xvfb_pid" ]; then
        # Xvfb has no window manager: Wine would wait 2 s for one whenever a managed window hides.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    fi
    # Bring up Wine's own services now, detached from our output: started by a test later, they
    # would inherit its pipes and keep a reader such as ctest waiting for them to close.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}

start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    session_xvfb_pid=$!
    export DISPLAY=":$n"
    local tries=0
    until [ -e "/tmp/.X11-unix/X$n" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$session_xvfb_pid" 2>/dev/null; then
            printf 'session: Xvfb did not start on %s\n' "$DISPLAY" >&2
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

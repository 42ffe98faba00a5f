# Configuring and building one Windows target; sourced by scripts/test and scripts/demo after env.sh.

# The builds the tests and the demo run reach only this machine: every service address points at the
# local market server's port. A release build is configured apart, with the market's addresses.
PELORA_MARKET_PORT="${PELORA_TEST_MARKET_PORT:-47811}"

# configure_target BUILD_DIR TARGET: writes BUILD_DIR/configure-TARGET.log; non-zero on failure.
configure_target() {
    local build=$1 target=$2
    local market="http://127.0.0.1:$PELORA_MARKET_PORT"
    # shellcheck disable=SC2086
    cmake -S "$root" -B "$build/$target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$target.cmake" \
        -DPELORA_DEPS_DIR="$(deps_prefix "$target")" \
        -DPELORA_MAINLAND_BASE="$market" -DPELORA_INTL_BASE="$market" -DPELORA_ANALYTICS_BASE="$market" \
        ${PELORA_CMAKE_ARGS:-} \
        >"$build/configure-$target.log" 2>&1 || { cat "$build/configure-$target.log"; return 1; }
}

# build_target BUILD_DIR TARGET [CMAKE_TARGET...]: everything when no CMake target is named.
build_target() {
    local build=$1 target=$2
    shift 2
    local only=()
    [ $# -gt 0 ] && only=(--target "$@")
    cmake --build "$build/$target" --parallel "$(nproc)" "${only[@]}"
}

# port_free PORT: nothing listens on 127.0.0.1:PORT, so a local server can take it.
port_free() {
    python3 -c 'import socket, sys
s = socket.socket()
try:
    s.bind(("127.0.0.1", int(sys.argv[1])))
except OSError:
    sys.exit(1)' "$1"
}

# free_port: a port that nothing listens on now.
free_port() {
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

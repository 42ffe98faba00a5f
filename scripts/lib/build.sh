# Configuring and building one Windows target; sourced by scripts/test and scripts/demo after env.sh.

# The build the tests and the demo run reaches only this machine: every service address points at the
# local market server's port; the shipped i686 build keeps the real addresses.
PELORA_MARKET_PORT="${PELORA_TEST_MARKET_PORT:-47811}"

# configure_target BUILD_DIR TARGET: writes BUILD_DIR/configure-TARGET.log; non-zero on failure.
configure_target() {
    local build=$1 target=$2
    local addresses=()
    if [ "$target" = "$PELORA_TEST_TARGET" ]; then
        local market="http://127.0.0.1:$PELORA_MARKET_PORT"
        addresses=(-DPELORA_MAINLAND_BASE="$market" -DPELORA_INTL_BASE="$market" -DPELORA_ANALYTICS_BASE="$market")
    fi
    # shellcheck disable=SC2086
    cmake -S "$root" -B "$build/$target" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$target.cmake" \
        -DPELORA_DEPS_DIR="$(deps_prefix "$target")" "${addresses[@]}" ${PELORA_CMAKE_ARGS:-} \
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

# Choosing the builds a benchmark runs on; sourced by the bench/ scripts after env.sh.

# bench_builds [--build i686|x86_64] ARGS...: sets bench_targets (both builds unless one is named) and
# bench_args (the remaining arguments); non-zero on a bad build name.
bench_builds() {
    bench_targets=$PELORA_TARGETS
    bench_args=()
    while [ $# -gt 0 ]; do
        if [ "$1" = "--build" ]; then
            bench_targets=$(target_triple "${2:-}") || { echo "--build takes i686 or x86_64" >&2; return 1; }
            shift 2
        else
            bench_args+=("$1")
            shift
        fi
    done
}

# bench_program BUILD_DIR TARGET NAME: the program's path; non-zero with a word when it is not built.
bench_program() {
    local program="$1/$2/bin/$3"
    [ -f "$program" ] || { echo "no $program: build first (scripts/test)" >&2; return 1; }
    printf '%s\n' "$program"
}

# bench_heading TARGET: the line that says which build the figures below come from.
bench_heading() {
    case "$1" in
        i686-*) printf '\n== %s build (32-bit, the shipped program, under 32-bit Wine)\n' "$1" ;;
        *) printf '\n== %s build (64-bit, under 64-bit Wine)\n' "$1" ;;
    esac
}

# bench_skipped TARGET: after start_session; says so and succeeds when this machine cannot run the build.
bench_skipped() {
    case "$1" in
        i686-*) [ "$PELORA_RUN_32BIT" = 0 ] || return 1 ;;
        *) return 1 ;;
    esac
    printf "skipped: this machine's kernel cannot run 32-bit programs\n"
}

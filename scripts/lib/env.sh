# Shared settings of the build scripts; sourced, not run.

# Dependencies built for Windows live here, outside the repository, so a fresh clone reuses them.
PELORA_CACHE=${PELORA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pelora-deps}
# Both builds are tested; the shipped program is the 32-bit one, which the demo and wine-run use unless
# told otherwise.
# PELORA_TARGETS may name one of them, to build and test only that one while working on it.
PELORA_TARGETS="${PELORA_TARGETS:-i686-w64-mingw32 x86_64-w64-mingw32}"
PELORA_DEFAULT_TARGET=i686-w64-mingw32

# Folder that holds curl/ and lzma/ for one target.
deps_prefix() { printf '%s/%s\n' "$PELORA_CACHE" "$1"; }

# target_triple i686|x86_64|TRIPLE: the build's target triple; non-zero for anything else.
target_triple() {
    case "$1" in
        i686 | i686-w64-mingw32) printf 'i686-w64-mingw32\n' ;;
        x86_64 | x86_64-w64-mingw32) printf 'x86_64-w64-mingw32\n' ;;
        *) return 1 ;;
    esac
}

# can_run_32bit: this machine's kernel runs 32-bit x86 programs, as 32-bit Wine needs. Some kernels are
# booted without 32-bit emulation (ia32_emulation=off); there the i686 build is built but cannot run.
# The probe is the smallest 32-bit program: exit(0) through int 0x80.
can_run_32bit() {
    local probe status
    probe=$(mktemp "${TMPDIR:-/tmp}/pelora-ia32-probe.XXXXXX") || return 1
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\133\000\000\000\133\000\000\000\005\000\000\000\000\020\000\000\061\300\100\061\333\315\200' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    status=$?
    rm -f "$probe"
    return "$status"
}

# Shared settings of the build scripts; sourced, not run.

# Dependencies built for Windows live here, outside the repository, so a fresh clone reuses them.
PELORA_CACHE=${PELORA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pelora-deps}
# The shipped program is 32-bit; the tests run the 64-bit build under 64-bit Wine.
PELORA_TARGETS="i686-w64-mingw32 x86_64-w64-mingw32"
PELORA_TEST_TARGET=x86_64-w64-mingw32

# Folder that holds curl/ and lzma/ for one target.
deps_prefix() { printf '%s/%s\n' "$PELORA_CACHE" "$1"; }

# The shipped 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELORA_TARGET_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)

# The 64-bit build the tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELORA_TARGET_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)

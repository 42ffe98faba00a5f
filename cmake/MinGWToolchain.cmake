# Shared part of the toolchain files: cross-build for Windows with the MinGW-w64 compilers, posix
# thread model (std::thread and friends). The including file sets PELORA_TARGET_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${PELORA_TARGET_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELORA_TARGET_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PELORA_TARGET_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELORA_TARGET_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run the Windows programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

#pragma once
// The DLLs this program delay-loads instead of naming them in its import table (cmake/DelayLoad.cmake),
// all taken from the system folder. wWinMain binds them first thing, the way the loader binds an import
// table: a system that lacks one of them still refuses to start the program, instead of failing at the
// first call, deep in some unrelated path, where MinGW's delay-load helper raises an exception nothing
// handles. And no call goes through the x86-64 delay-load stubs of binutils 2.40, which lose the
// floating-point arguments (xmm0-xmm3) of a function's first call.

#include <windows.h>

#include <delayimp.h>

#include <cstddef>
#include <optional>
#include <string>

namespace app {

struct DelayedImportList {
    const ImgDelayDescr* const* descriptors;
    size_t count;
};

// The descriptors of this program's delay-loaded DLLs, one a DLL; written by the build.
DelayedImportList delayedImportList();

// What binding could not find: a DLL, or a function of it.
struct MissingImport {
    std::wstring dll;
    std::wstring function;  // empty when the DLL itself could not be loaded
};

// Loads each DLL of the list that the program calls from the system folder and fills in the address of
// every function it calls. The image is the program's own module. Nothing when all were found.
std::optional<MissingImport> bindDelayedImports(HMODULE image);

}  // namespace app

#pragma once
// Where this process takes its DLLs from. The program runs elevated from a folder anyone may have put a
// DLL into (the user's Downloads), so no DLL is looked for there by name: system DLLs come from the
// system folder, and the one DLL that ships beside the program is loaded by its full path. Nothing here
// logs: it runs before the log exists.

#include <windows.h>

#include <string>

namespace app {

// Restricts the search for DLLs named without a path to the system folder, where the system can
// (Windows 8, or 7 and Vista with the loader update of 2011), and drops the current folder from it
// everywhere. Elsewhere the program's folder stays first in that search, so every DLL the program
// loads itself goes through loadLibraryFrom. True when the search is restricted.
bool restrictLibrarySearch();

// Loads the DLL folder + name, its own dependencies from that folder and the system folder only. Null,
// with the system's error, when it cannot; always null for an empty folder.
HMODULE loadLibraryFrom(const std::wstring& folder, const std::wstring& name);

}  // namespace app

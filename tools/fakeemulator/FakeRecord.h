#pragma once
// What every fake emulator program writes: its own command line, one UTF-8 line per run, in a record
// file that the tests read back from the Linux side.

#include <string>

namespace fakeemulator {

std::string toUtf8(const std::wstring& text);

// PELORA_FAKE_RECORD_DIR as a Windows path ("/tmp/x" becomes "Z:\tmp\x"), else the temp folder.
std::wstring recordFolder();

// fileName in the record folder.
std::wstring recordPath(const wchar_t* fileName);

// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::wstring& folder);

// Appends GetCommandLineW, then `extra`, then a line feed to `fileName` in the record folder.
bool appendRecord(const wchar_t* fileName, const std::string& extra = std::string());

}  // namespace fakeemulator

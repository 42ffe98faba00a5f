#pragma once
// The process-wide skin package: the files of the 7z archive stored in the executable as resource
// "ZIPRES", unpacked into memory once at start-up on the main thread and only read afterwards, and
// the resource folder on disk whose files take precedence over the packaged ones.

#include <windows.h>

#include <optional>
#include <string>

namespace toolkit {

// Unpacks resource "ZIPRES"/resourceId of the module into the package (an empty package when the
// resource is missing, empty or damaged), then loads the text tables.
void loadSkinPackage(HMODULE module, int resourceId);

// The folder searched before the package; a trailing backslash is added when missing. Empty: none.
void setResourceFolder(const std::wstring& folder);
const std::wstring& resourceFolder();

// The file from disk when present there (resource folder + name, or an absolute name as it is) and
// not empty, otherwise the package entry, with "\\" in the name read as "/".
std::optional<std::string> readSkinFile(const std::wstring& name);

// The package entry alone, with "\\" in the name read as "/".
std::optional<std::string> readPackagedFile(const std::wstring& name);

// "C:..." names are absolute; everything else is relative to the resource folder.
bool isAbsoluteSkinName(const std::wstring& name);

}  // namespace toolkit

#pragma once
// File and folder operations that log their failures instead of reporting them. Any thread.

#include <string>

#include "utility/ScopedHandle.h"

namespace utility::ufile {

// Creates the folder and any missing parents; an existing folder is left alone.
void makeDir(const std::wstring& folder);

// Renames, replacing an existing target, copying across volumes. True on success.
bool moveFile(const std::wstring& from, const std::wstring& to);

void removeFile(const std::wstring& path);

// Opens the file for reading and lets others only read it: while the handle is open nobody can write,
// replace, rename or delete it, so what was checked through the handle stays what is there. Invalid
// when the file is missing or someone else holds it for writing (the last error says which).
UniqueHandle openHeldForReading(const std::wstring& path);

}  // namespace utility::ufile

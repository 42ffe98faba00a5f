#pragma once
// File and folder operations that log their failures instead of reporting them. Any thread.

#include <string>

namespace utility::ufile {

// Creates the folder and any missing parents; an existing folder is left alone.
void makeDir(const std::wstring& folder);

// Renames, replacing an existing target, copying across volumes. True on success.
bool moveFile(const std::wstring& from, const std::wstring& to);

void removeFile(const std::wstring& path);

}  // namespace utility::ufile

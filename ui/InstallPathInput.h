#pragma once
// A folder the user typed or picked, completed the way the installer wants it: a trailing
// backslash, the product's sub-folder when the user named a drive or a folder without the product
// in it, and a tidy form when it is valid. Pure apart from the validity test, which asks the disk.

#include <string>

namespace ui {

// Separators made "\\", doubled ones collapsed in one pass, blanks trimmed, one trailing "\\".
std::wstring tidyInstallPath(const std::wstring& path);

// text completed with installSubFolder as described; unchanged characters otherwise.
std::wstring completeInstallPath(const std::wstring& text, const std::wstring& installSubFolder,
                                 const std::wstring& productName);

}  // namespace ui

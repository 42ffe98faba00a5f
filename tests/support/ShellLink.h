#pragma once
// Desktop shortcuts as the shell's own link object reads them back.

#include <string>

namespace testsupport {

struct Link {
    std::wstring target, arguments, icon, folder;
    int iconIndex = -1;
};

std::wstring desktopFolder();

// Records a test failure when the file cannot be loaded as a link.
Link readLink(const std::wstring& file);

}  // namespace testsupport

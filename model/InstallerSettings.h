#pragma once
// The channel's settings for the emulator it installs, read from the open-id configuration, which holds
// each to its form (model/MarketAnswers.h): addresses are http(s), runApp is an Android package name,
// shortcutName a safe file name, and the texts for data.ini carry no control characters.

#include <string>

struct InstallerSettings {
    std::wstring launchImageH;  // landscape launch image address
    std::wstring launchImageV;  // portrait launch image address
    std::wstring windowTitle;
    bool adShow = true;
    std::wstring runApp;
    bool runAppStore = true;
    std::wstring qqLink;
    std::wstring shortcutName;
    std::wstring shortcutUrl;  // icon of the extra desktop shortcut
    bool cleanMode = false;
    std::wstring heapSize;
    int useRoot = -1;  // -1 unknown, 0 no, 1 yes
};

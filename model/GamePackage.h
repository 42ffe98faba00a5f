#pragma once
// One game package this downloader installs into the emulator after the emulator itself. From the
// open-id configuration each text comes held to its form (model/MarketAnswers.h); a package from the
// command line comes as the user gave it.

#include <string>

struct GamePackage {
    std::wstring app_download_url;
    std::wstring app_package_name;
    std::wstring gamename;
    std::wstring game_slt_url;
    std::wstring resolution;
    std::wstring gameid;
    std::wstring app_icon;
    std::wstring app_obb;  // empty when the game has no expansion file
    bool from_appstore = false;
    bool xapk = false;  // the package is an ".xapk" bundle rather than an ".apk"
};

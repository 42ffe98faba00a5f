#pragma once
// Where a game package's files go in the emulator's folder, what the emulator and its console tool
// are told about it and how the console's answer is read. Pure functions.

#include <optional>
#include <string>

#include "model/GamePackage.h"
#include "utility/UProcess.h"

namespace ui {

struct GameFiles {
    std::wstring application;  // <install>\<game>.apk or .xapk
    std::wstring expansion;  // <install>\<package>.obb
    std::wstring icon;  // <install>\<package>.ico
    std::wstring shortcut;  // name of the game's desktop shortcut; empty: the game has none
};

// installPath is taken as it is, followed by one backslash. Names are made safe as file names
// (utility::safeFileName), so no file leaves the install folder or the desktop.
GameFiles gameFiles(const std::wstring& installPath, const GamePackage& package);

// "installapk --index 0 --filename "<apk>" [--packagename <p> --fileobb "<obb>"] --wait --hide"
std::wstring installCommand(const GameFiles& files, const GamePackage& package);

// Why a game's console "installapk" run failed, as the analytics event names it: "timeout" when it
// did not end in time, "install" when it could not start or ended with another exit code than 0;
// nothing when it installed the game.
std::optional<std::wstring> installFailureReason(const utility::process::RunResult& run);

// What the main window does with the first game package once the emulator is installed: start the
// emulator on it at once with these arguments, or (nothing) fetch the packages itself.
std::optional<std::wstring> directLaunchArguments(const GamePackage& package);

}  // namespace ui

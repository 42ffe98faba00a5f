#pragma once
// Where a game package's files go in the emulator's folder and what the emulator and its console
// tool are told about it. Pure functions.

#include <optional>
#include <string>

#include "model/GamePackage.h"

namespace ui {

// A name from the channel's configuration made safe as one file name: path separators, ":" and the
// other characters Windows refuses become "_", so a name never leaves the install folder.
std::wstring safeFileName(const std::wstring& name);

struct GameFiles {
    std::wstring application;  // <install>\<game>.apk or .xapk
    std::wstring expansion;  // <install>\<package>.obb
    std::wstring icon;  // <install>\<package>.ico
};

// installPath is taken as it is, followed by one backslash.
GameFiles gameFiles(const std::wstring& installPath, const GamePackage& package);

// "installapk --index 0 --filename "<apk>" [--packagename <p> --fileobb "<obb>"] --wait --hide"
std::wstring installCommand(const GameFiles& files, const GamePackage& package);

// What the main window does with the first game package once the emulator is installed: start the
// emulator on it at once with these arguments, or (nothing) fetch the packages itself.
std::optional<std::wstring> directLaunchArguments(const GamePackage& package);

}  // namespace ui

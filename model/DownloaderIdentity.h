#pragma once
// What a downloader's own file name and command line say about it: the emulator edition, the market,
// the channel's open id, the game and its advertising id, and a game package to install afterwards.

#include <optional>
#include <string>

#include "model/GamePackage.h"

struct NameIdentity {
    std::wstring type;  // "pelora4", "pelora64", "pelora3", "pelora9" or anything else
    std::wstring market;
    std::wstring package;
    std::wstring openId;
    std::wstring googleId;
};

// From the executable's stem, such as "pelora4_en_com.example.game_12345_x"; nothing (every field
// empty) when the stem has fewer than four "_"-separated pieces.
NameIdentity identityFromStem(const std::wstring& stem);

// "name=...|package=...|apkurl=..." (optionally in one pair of double quotes): the game package it
// names, when it names a download address.
struct CommandLinePackage {
    std::wstring name;
    std::wstring package;
    std::wstring apkUrl;
    bool found = false;  // at least one key=value pair
};
CommandLinePackage packageFromCommandLine(const std::wstring& commandLine);

#pragma once
// The channel's settings written into the freshly installed emulator's "data.ini".

#include <string>

#include "model/InstallerSettings.h"

// Writes the keys of section "setting" that differ from the emulator's defaults into
// dataFolder + "data.ini", and removes the news autostart when ads are off or clean mode is on.
void writeChannelSettings(const std::wstring& dataFolder, const InstallerSettings& settings);

#pragma once
// Reading the market's two JSON answers: the version service's installer addresses per edition, and
// the channel's open-id configuration (game packages and installer settings).

#include <optional>
#include <string>
#include <vector>

#include "model/GamePackage.h"
#include "model/InstallerDigest.h"
#include "model/InstallerSettings.h"

class ConfigImp;

// Where the configured edition's installer lies: its address and, when the market names one, a second
// address to try when the first fails, with the digest of the installer both serve. Either address is
// empty when the answer has no usable text for it.
struct PlayerAddresses {
    std::wstring url;
    std::wstring spareUrl;
    InstallerDigest digest;
};

// The addresses for the configured edition; nullopt when the answer is not a JSON object. An address
// that is not http:// or https:// is left out.
std::optional<PlayerAddresses> playerAddressesFromVersionAnswer(const std::string& json, const ConfigImp& config);

// Appends the game packages of "result" and overwrites the settings present with the right type.
// A missing, empty or broken document changes nothing. Each text is held to what it means: names
// become safe file names, data.ini values lose their control characters, and package names, addresses,
// resolutions and game ids of any other form are left out as if absent, with a log line naming the
// member. A game package is kept when its address, game id or package name remains.
void readOpenIdConfig(const std::string& json, std::vector<GamePackage>& packages, InstallerSettings& settings);

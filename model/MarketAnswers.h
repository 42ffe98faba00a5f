#pragma once
// Reading the market's two JSON answers: the version service's installer addresses per edition, and
// the channel's open-id configuration (game packages and installer settings).

#include <optional>
#include <string>
#include <vector>

#include "model/GamePackage.h"
#include "model/InstallerSettings.h"

class ConfigImp;

// The installer address for the configured edition; nullopt when the answer is not a JSON object,
// an empty address when it is one without a usable entry for the edition.
std::optional<std::wstring> playerUrlFromVersionAnswer(const std::string& json, const ConfigImp& config);

// Appends the game packages of "result" and overwrites the settings present with the right type.
// A missing, empty or broken document changes nothing.
void readOpenIdConfig(const std::string& json, std::vector<GamePackage>& packages, InstallerSettings& settings);

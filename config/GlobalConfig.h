#pragma once
// The emulator's global settings file, of which the downloader reads one key.

#include <string>

#include "config/ConfigFile.h"

namespace config {

class GlobalConfig {
public:
    // Opens the file at path (normally globalConfigPath()).
    explicit GlobalConfig(const std::wstring& path);

    // "languageId", or empty.
    std::wstring languageId() const;

private:
    ConfigFile file_;
};

}  // namespace config

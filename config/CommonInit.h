#pragma once
// The start-up shared by the product's programs: data locations, the log writer, the global settings
// and the start-up language. The downloader calls it once, on the window thread, before other threads.

#include <string>

#include "config/GlobalConfig.h"

namespace config {

// Program kind 8, instance index -1. Overrides are normally empty.
void commonInit(const std::wstring& languageOverride, const std::wstring& installRootOverride);

int programKind();
// -1: the downloader belongs to no emulator instance.
int instanceIndex();
// The global settings holder; null before commonInit.
const GlobalConfig* globalConfig();

}  // namespace config

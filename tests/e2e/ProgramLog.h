#pragma once
// The downloader's diagnostic log, in the per-user application data of the Windows session the
// tests run in; every downloader started there appends to the same file.

#include <string>

#include "tests/e2e/FileTail.h"

namespace e2e {

std::wstring downloaderLogPath();

// The log from its current end on.
inline FileTail downloaderLog() { return FileTail(downloaderLogPath()); }

}  // namespace e2e

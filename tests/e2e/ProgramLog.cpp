#include "tests/e2e/ProgramLog.h"

#include "config/DataPaths.h"

namespace e2e {

std::wstring downloaderLogPath() { return config::logPath(config::kDownloaderKind); }

}  // namespace e2e

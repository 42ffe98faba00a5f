#include "config/CommonInit.h"

#include <windows.h>

#include <memory>

#include "common/LogWriter.h"
#include "config/DataPaths.h"
#include "config/RegionLanguage.h"

namespace config {

namespace {

constexpr int kNoInstance = -1;

int g_programKind = 0;
int g_instanceIndex = kNoInstance;
std::unique_ptr<GlobalConfig> g_globalConfig;

}  // namespace

void commonInit(const std::wstring& languageOverride, const std::wstring& installRootOverride) {
    g_programKind = kDownloaderKind;
    g_instanceIndex = kNoInstance;
    common::createLogWriter(logPath(g_programKind));
    setInstallRootOverride(installRootOverride);
    g_globalConfig = std::make_unique<GlobalConfig>(globalConfigPath());
    setRegionLanguage(
        chooseStartupLanguage(g_globalConfig->languageId(), languageOverride, ::GetUserDefaultUILanguage()));
}

int programKind() { return g_programKind; }

int instanceIndex() { return g_instanceIndex; }

const GlobalConfig* globalConfig() { return g_globalConfig.get(); }

}  // namespace config

#include "config/GlobalConfig.h"

namespace config {

GlobalConfig::GlobalConfig(const std::wstring& path) { file_.open(path); }

std::wstring GlobalConfig::languageId() const { return file_.getString("languageId", L""); }

}  // namespace config

#pragma once
// The two forms of an interface language: the long code of the multi-language table ("zh_CN") and
// the short code of the market settings and language file names ("cn"). Pure functions.

#include <string>
#include <utility>
#include <vector>

namespace ui {

// "en" for any code the downloader has no short form of.
std::wstring shortLanguageCode(const std::wstring& longCode);
// "en_US" for any short code without a long form.
std::wstring longLanguageCode(const std::wstring& shortCode);

using LanguageEntry = std::pair<std::wstring, std::wstring>;  // (long code, display name)

// The languages with the first one whose code is startupCode moved to the front, the rest in order.
std::vector<LanguageEntry> startupLanguageFirst(std::vector<LanguageEntry> languages, const std::wstring& startupCode);

}  // namespace ui

#pragma once
// The interface language chosen at start-up, as a long code such as "zh_CN" or "ko_KR".

#include <windows.h>

#include <string>

namespace config {

// Long code of a Windows UI language; empty for a language the product has no code for.
std::wstring languageCodeFor(LANGID uiLanguage);

// The first non-empty of: the global settings' "languageId", the explicit language, the UI language.
std::wstring chooseStartupLanguage(const std::wstring& settingsLanguage, const std::wstring& explicitLanguage,
                                   LANGID uiLanguage);

// The language chosen by common initialisation; empty before it.
const std::wstring& regionLanguage();
void setRegionLanguage(const std::wstring& code);

}  // namespace config

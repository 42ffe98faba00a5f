#include "config/RegionLanguage.h"

#include <map>

namespace config {

namespace {

std::wstring g_regionLanguage;

constexpr WORD kTraditionalChinese[] = {1028, 3076, 5124, 31748};

const std::map<WORD, const wchar_t*>& primaryLanguageCodes() {
    static const std::map<WORD, const wchar_t*> codes = {
        {LANG_KOREAN, L"ko_KR"},     {LANG_SPANISH, L"es_ES"},    {LANG_ENGLISH, L"en_US"},
        {LANG_FRENCH, L"fr_FR"},     {LANG_VIETNAMESE, L"vi_VN"}, {LANG_GERMAN, L"de_DE"},
        {LANG_THAI, L"th_TH"},       {LANG_JAPANESE, L"ja_JP"},   {LANG_RUSSIAN, L"ru_RU"},
        {LANG_INDONESIAN, L"in_ID"}, {LANG_UKRAINIAN, L"uk_UA"},  {LANG_ARABIC, L"ar_IL"},
        {LANG_PORTUGUESE, L"pt_PT"}, {LANG_PERSIAN, L"fa_IR"},    {LANG_TURKISH, L"tr_TR"},
        {LANG_HINDI, L"hi_IN"},      {LANG_ITALIAN, L"it_IT"},    {LANG_MALAY, L"ms_MY"},
    };
    return codes;
}

}  // namespace

std::wstring languageCodeFor(LANGID uiLanguage) {
    const WORD primary = PRIMARYLANGID(uiLanguage);
    if (primary == LANG_CHINESE) {
        for (WORD traditional : kTraditionalChinese) {
            if (uiLanguage == traditional) return L"zh_TW";
        }
        return L"zh_CN";
    }
    const auto& codes = primaryLanguageCodes();
    const auto found = codes.find(primary);
    return found == codes.end() ? std::wstring() : std::wstring(found->second);
}

std::wstring chooseStartupLanguage(const std::wstring& settingsLanguage, const std::wstring& explicitLanguage,
                                   LANGID uiLanguage) {
    if (!settingsLanguage.empty()) return settingsLanguage;
    if (!explicitLanguage.empty()) return explicitLanguage;
    return languageCodeFor(uiLanguage);
}

const std::wstring& regionLanguage() { return g_regionLanguage; }

void setRegionLanguage(const std::wstring& code) { g_regionLanguage = code; }

}  // namespace config

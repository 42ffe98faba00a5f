#include "ui/LanguageCodes.h"

#include <algorithm>

namespace ui {

namespace {

struct CodePair {
    const wchar_t* longCode;
    const wchar_t* shortCode;
};

// "hi_IN" maps to "in" although "in_ID" maps to "id"; the short form "in" leads back to "hi_IN".
constexpr CodePair kCodes[] = {
    {L"zh_TW", L"tw"}, {L"ko_KR", L"kr"}, {L"vi_VN", L"vn"}, {L"th_TH", L"th"}, {L"ru_RU", L"ru"},
    {L"pt_PT", L"pt"}, {L"tr_TR", L"tr"}, {L"es_ES", L"es"}, {L"ar_IL", L"ar"}, {L"ja_JP", L"jp"},
    {L"fa_IR", L"fa"}, {L"hi_IN", L"in"}, {L"de_DE", L"de"}, {L"fr_FR", L"fr"}, {L"in_ID", L"id"},
    {L"zh_CN", L"cn"}, {L"it_IT", L"it"}, {L"en_US", L"en"}, {L"ms_MY", L"my"}, {L"uk_UA", L"ua"},
};

}  // namespace

std::wstring shortLanguageCode(const std::wstring& longCode) {
    for (const CodePair& pair : kCodes) {
        if (longCode == pair.longCode) return pair.shortCode;
    }
    return L"en";
}

std::wstring longLanguageCode(const std::wstring& shortCode) {
    for (const CodePair& pair : kCodes) {
        if (shortCode == pair.shortCode) return pair.longCode;
    }
    return L"en_US";
}

std::vector<LanguageEntry> startupLanguageFirst(std::vector<LanguageEntry> languages, const std::wstring& startupCode) {
    auto found = std::find_if(languages.begin(), languages.end(),
                              [&](const LanguageEntry& entry) { return entry.first == startupCode; });
    if (found != languages.end()) std::rotate(languages.begin(), found, found + 1);
    return languages;
}

}  // namespace ui

#include "tests/e2e/LanguageFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "toolkit/GdiPlusSession.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TextTables.h"
#include "utility/UString.h"

namespace e2e {

void useEmbeddedSkin() {
    static toolkit::GdiPlusSession* const gdiPlus = [] {
        toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129);
        return new toolkit::GdiPlusSession();  // kept for the whole test program
    }();
    (void)gdiPlus;
}

model::LanguageStrings languageStrings(const std::wstring& code) {
    useEmbeddedSkin();
    model::LanguageStrings strings;
    std::optional<std::string> file = toolkit::readPackagedFile(L"language\\downloader_" + code + L".xml");
    if (!file) file = toolkit::readPackagedFile(L"language\\downloader_en.xml");
    EXPECT_TRUE(file && strings.load(utility::ustring::utf8ToWide(*file))) << utility::ustring::wideToUtf8(code);
    return strings;
}

std::wstring tableText(const std::wstring& longCode, const std::wstring& key) {
    useEmbeddedSkin();
    toolkit::setCurrentLanguage(longCode);
    toolkit::loadTextTables();
    const std::wstring text = toolkit::lookupText(key).value_or(L"");
    toolkit::setCurrentLanguage(L"");
    toolkit::loadTextTables();
    return text;
}

std::vector<std::pair<std::wstring, std::wstring>> tableLanguages() {
    useEmbeddedSkin();
    if (toolkit::languageCount() == 0) toolkit::loadTextTables();
    std::vector<std::pair<std::wstring, std::wstring>> languages;
    for (size_t i = 0; i < toolkit::languageCount(); ++i) {
        if (auto language = toolkit::languageAt(i)) languages.push_back(*language);
    }
    return languages;
}

}  // namespace e2e

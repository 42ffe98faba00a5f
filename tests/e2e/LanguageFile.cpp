#include "tests/e2e/LanguageFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "toolkit/GdiPlusSession.h"
#include "toolkit/SkinPackage.h"
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

std::wstring licenceText(const std::wstring& code) {
    const int id = code == L"cn" ? 130 : code == L"tw" ? 131 : 132;
    const HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"TXT");
    const HGLOBAL loaded = resource ? ::LoadResource(nullptr, resource) : nullptr;
    const auto* text = loaded ? static_cast<const wchar_t*>(::LockResource(loaded)) : nullptr;
    return text ? std::wstring(text, ::SizeofResource(nullptr, resource) / sizeof(wchar_t)) : std::wstring();
}

}  // namespace e2e

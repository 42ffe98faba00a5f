#include "ui/LicenceText.h"

#include <windows.h>

namespace ui {

std::wstring licenceText(const std::wstring& marketLanguage) {
    const int id = marketLanguage == L"cn" ? 130 : marketLanguage == L"tw" ? 131 : 132;
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"TXT");
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const auto* text = loaded ? static_cast<const wchar_t*>(::LockResource(loaded)) : nullptr;
    return text ? std::wstring(text, ::SizeofResource(module, resource) / sizeof(wchar_t)) : std::wstring();
}

}  // namespace ui

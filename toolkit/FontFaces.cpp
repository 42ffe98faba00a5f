#include "toolkit/FontFaces.h"

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "toolkit/Canvas.h"
#include "utility/ScopedHandle.h"

namespace toolkit {

namespace {

// Faces tried in order when the named one cannot draw a text: Chinese and Korean first, then the
// faces that carry Arabic, Persian, Cyrillic and Thai.
const wchar_t* const kFallbackFaces[] = {
    L"Microsoft YaHei", L"WenQuanYi Micro Hei", L"Segoe UI", L"Tahoma", L"DejaVu Sans", L"Loma",
    L"Leelawadee UI", L"Arial",
};

int CALLBACK noteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

using Ranges = std::vector<WCRANGE>;

Ranges glyphRanges(const std::wstring& face) {
    utility::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    LOGFONTW logFont{};
    logFont.lfHeight = -12;
    logFont.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(logFont.lfFaceName, face.c_str(), LF_FACESIZE);
    utility::UniqueGdiObject<HFONT> font(::CreateFontIndirectW(&logFont));
    if (!dc || !font) return {};
    SelectedObject selected(dc.get(), font.get());
    const DWORD size = ::GetFontUnicodeRanges(dc.get(), nullptr);
    if (size < sizeof(GLYPHSET)) return {};
    std::vector<unsigned char> buffer(size);
    auto* set = reinterpret_cast<GLYPHSET*>(buffer.data());
    if (!::GetFontUnicodeRanges(dc.get(), set)) return {};
    return Ranges(set->ranges, set->ranges + set->cRanges);
}

bool inRanges(const Ranges& ranges, wchar_t c) {
    for (const WCRANGE& range : ranges) {
        if (c >= range.wcLow && c < range.wcLow + range.cGlyphs) return true;
    }
    return false;
}

bool needsGlyph(wchar_t c) {
    // Surrogate halves are judged as covered: GetFontUnicodeRanges reports the basic plane only.
    return c > L' ' && c != 0x00A0 && !(c >= 0x200B && c <= 0x200F) && !(c >= 0xD800 && c <= 0xDFFF);
}

}  // namespace

bool isFaceInstalled(const std::wstring& face) {
    static std::map<std::wstring, bool> known;
    auto found = known.find(face);
    if (found != known.end()) return found->second;
    bool installed = false;
    if (!face.empty() && face.size() < LF_FACESIZE) {
        utility::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
        LOGFONTW logFont{};
        logFont.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(logFont.lfFaceName, face.c_str(), LF_FACESIZE);
        ::EnumFontFamiliesExW(dc.get(), &logFont, noteFound, reinterpret_cast<LPARAM>(&installed), 0);
    }
    return known.emplace(face, installed).first->second;
}

bool faceCovers(const std::wstring& face, std::wstring_view text) {
    static std::map<std::wstring, Ranges> rangesByFace;
    auto found = rangesByFace.find(face);
    if (found == rangesByFace.end()) found = rangesByFace.emplace(face, glyphRanges(face)).first;
    for (wchar_t c : text) {
        if (needsGlyph(c) && !inRanges(found->second, c)) return false;
    }
    return true;
}

std::wstring faceFor(const std::wstring& preferred, std::wstring_view text) {
    const bool preferredInstalled = isFaceInstalled(preferred);
    if (preferredInstalled && faceCovers(preferred, text)) return preferred;
    std::wstring firstInstalled;
    for (const wchar_t* face : kFallbackFaces) {
        if (!isFaceInstalled(face)) continue;
        if (firstInstalled.empty()) firstInstalled = face;
        if (faceCovers(face, text)) return face;
    }
    if (preferredInstalled) return preferred;
    return firstInstalled.empty() ? preferred : firstInstalled;
}

}  // namespace toolkit

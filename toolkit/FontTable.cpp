#include "toolkit/FontTable.h"

#include "toolkit/FontFaces.h"

namespace toolkit {

const FontSpec& FontTable::fontOf(int id) const {
    auto found = specs_.find(id);
    return found == specs_.end() ? default_ : found->second;
}

HFONT FontTable::font(int id, std::wstring_view text, DisplayScale scale) {
    const FontSpec& wanted = fontOf(id);
    FontKey key{faceFor(wanted.face, text), scale.toDevice(wanted.size), wanted.bold, wanted.underline, wanted.italic};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second.get();
    LOGFONTW logFont{};
    logFont.lfHeight = -std::get<1>(key);
    logFont.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = wanted.italic;
    logFont.lfUnderline = wanted.underline;
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfQuality = ANTIALIASED_QUALITY;  // grey coverage, which blends onto any background
    lstrcpynW(logFont.lfFaceName, std::get<0>(key).c_str(), LF_FACESIZE);
    return fonts_.emplace(std::move(key), utility::UniqueGdiObject<HFONT>(::CreateFontIndirectW(&logFont)))
        .first->second.get();
}

}  // namespace toolkit

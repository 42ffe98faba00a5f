#pragma once
// A window's fonts: a default and fonts by id, as the layout defines them and the program may
// redefine them. GDI fonts are made on first use for the face that can draw the text at hand.
// Window thread only.

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "toolkit/DisplayScale.h"
#include "utility/ScopedHandle.h"

namespace toolkit {

struct FontSpec {
    std::wstring face = L"Microsoft YaHei";
    int size = 12;  // layout pixels
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

class FontTable {
public:
    void setDefault(const FontSpec& font) { default_ = font; }
    // Defines or replaces font id.
    void define(int id, const FontSpec& font) { specs_[id] = font; }

    // The font of id; the default for -1 or an unknown id.
    const FontSpec& fontOf(int id) const;
    // A GDI font of id whose face can draw text, at the table's display scale or the one given.
    // Owned by the table.
    HFONT font(int id, std::wstring_view text) { return font(id, text, scale_); }
    HFONT font(int id, std::wstring_view text, DisplayScale scale);
    void setScale(DisplayScale scale) { scale_ = scale; }

private:
    using FontKey = std::tuple<std::wstring, int, bool, bool, bool>;

    DisplayScale scale_;
    FontSpec default_;
    std::map<int, FontSpec> specs_;
    std::map<FontKey, utility::UniqueGdiObject<HFONT>> fonts_;
};

}  // namespace toolkit

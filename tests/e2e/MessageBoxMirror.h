#pragma once
// The downloader's general message box ("MessageBoxWindow", layout common/xml_messagebox.xml) as a
// user should see it: a title, a centred text and a row of buttons (selections) the box adds between
// the two spacers of its "bottombar".

#include <string>

#include "tests/e2e/SkinMap.h"

namespace e2e {

void mirrorMessage(SkinMap& box, const std::wstring& title, const std::wstring& text);

// Appends a selection, primary (blue, white caption) or not (grey), after those already added; it can
// then be clicked by name.
void mirrorSelection(SkinMap& box, const std::wstring& name, const std::wstring& text, bool primary = true);

}  // namespace e2e

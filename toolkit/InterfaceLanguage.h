#pragma once
// Switching the toolkit's interface language while windows are open: the text table is loaded again
// in the new language's column, and every "@key" text and tooltip of every open skinned window
// follows. Window thread only.

#include <string>

namespace toolkit {

// longCode is a code of the table's first row ("zh_CN"); a code the table lacks gives its first
// language column.
void switchInterfaceLanguage(const std::wstring& longCode);

}  // namespace toolkit

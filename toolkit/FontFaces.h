#pragma once
// Which installed face draws a text. A skin names faces that a machine may lack (Wine has no
// Microsoft YaHei), and one face rarely covers Latin, Chinese, Korean, Thai and Arabic alike, so
// the face is chosen per text: the named one when installed and covering, else the first fallback
// that covers every character. Window thread only; answers are cached.

#include <string>
#include <string_view>

namespace toolkit {

bool isFaceInstalled(const std::wstring& face);

// Whether the face has a glyph for every character of text (blanks and controls aside).
bool faceCovers(const std::wstring& face, std::wstring_view text);

std::wstring faceFor(const std::wstring& preferred, std::wstring_view text);

}  // namespace toolkit

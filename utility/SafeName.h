#pragma once
// Checks for names and values that come from outside (the market's answers, a command line) and end up
// in file names, profile files and other programs' command lines. Pure functions; any thread.

#include <string>

namespace utility {

// The name made safe as one file name inside a given folder: path separators, control characters and
// the characters Windows refuses (<>:"|?*) become "_", every ".." goes, trailing dots and blanks go, and
// a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with or without an extension, in
// any case) gets a "_" in front. Empty when nothing usable remains. A well-formed name comes back as it
// is, and a safe name is its own safe name.
std::wstring safeFileName(const std::wstring& name);

// The text without control characters (below U+0020, and U+007F): a value that stays on its own line
// of a profile file.
std::wstring withoutControlCharacters(const std::wstring& text);

// An Android package name: dot-separated parts of ASCII letters, digits and "_", none of them empty
// ("com.example.game").
bool isAndroidPackageName(const std::wstring& text);

// An absolute http:// or https:// address (scheme in any case) with something after the scheme and none
// of the ASCII characters an address never holds as they are: control characters, blanks and "<>\"\\^`{|}".
bool isWebAddress(const std::wstring& text);

// A screen resolution as the emulator's console tool takes it: groups of ASCII digits separated by ","
// or "x" ("1280,720,240", "1280x720").
bool isScreenResolution(const std::wstring& text);

// Non-empty and only ASCII letters and digits.
bool isAsciiAlphanumeric(const std::wstring& text);

}  // namespace utility

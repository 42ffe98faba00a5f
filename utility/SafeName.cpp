#include "utility/SafeName.h"

#include <algorithm>
#include <string_view>

namespace utility {

namespace {

bool isControl(wchar_t c) { return c < L' ' || c == 0x7F; }
bool isAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool isAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool isOneOf(wchar_t c, std::wstring_view set) { return set.find(c) != std::wstring_view::npos; }
wchar_t asciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool startsWithNoCase(const std::wstring& text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](wchar_t a, wchar_t b) { return asciiUpper(a) == asciiUpper(b); });
}

// Each run of dots keeps at most one: pairs go from the left, so "..." keeps one and "...." none.
std::wstring withoutDoubleDots(const std::wstring& text) {
    std::wstring kept;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'.' && i + 1 < text.size() && text[i + 1] == L'.') {
            ++i;
            continue;
        }
        kept += text[i];
    }
    return kept;
}

// What Windows opens as a device instead of a file: "CON", "com1.txt", "Nul .tar.gz".
bool isDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    base.erase(base.find_last_not_of(L' ') + 1);
    std::transform(base.begin(), base.end(), base.begin(), asciiUpper);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (base == device) return true;
    }
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// One or more non-empty groups of member characters with one separator between each two.
template <typename Member, typename Separator>
bool areSeparatedGroups(const std::wstring& text, Member member, Separator separator) {
    bool inGroup = false;
    for (const wchar_t c : text) {
        if (member(c)) {
            inGroup = true;
        } else if (separator(c) && inGroup) {
            inGroup = false;
        } else {
            return false;
        }
    }
    return inGroup;
}

}  // namespace

std::wstring safeFileName(const std::wstring& name) {
    std::wstring safe = name;
    for (wchar_t& c : safe) {
        if (isControl(c) || isOneOf(c, L"\\/<>:\"|?*")) c = L'_';
    }
    safe = withoutDoubleDots(safe);
    // Windows drops them when it opens the file, so "x." would be "x" and "." the folder itself.
    safe.erase(safe.find_last_not_of(L". ") + 1);
    if (!safe.empty() && isDeviceName(safe)) safe.insert(0, 1, L'_');
    return safe;
}

std::wstring withoutControlCharacters(const std::wstring& text) {
    std::wstring kept = text;
    kept.erase(std::remove_if(kept.begin(), kept.end(), isControl), kept.end());
    return kept;
}

bool isAndroidPackageName(const std::wstring& text) {
    return areSeparatedGroups(
        text, [](wchar_t c) { return isAsciiLetter(c) || isAsciiDigit(c) || c == L'_'; },
        [](wchar_t c) { return c == L'.'; });
}

bool isWebAddress(const std::wstring& text) {
    size_t schemeLength = 0;
    if (startsWithNoCase(text, L"http://")) schemeLength = 7;
    if (startsWithNoCase(text, L"https://")) schemeLength = 8;
    if (schemeLength == 0 || text.size() == schemeLength) return false;
    return std::none_of(text.begin(), text.end(), [](wchar_t c) { return isControl(c) || isOneOf(c, L" <>\"\\^`{|}"); });
}

bool isScreenResolution(const std::wstring& text) {
    return areSeparatedGroups(text, isAsciiDigit, [](wchar_t c) { return c == L',' || c == L'x'; });
}

bool isAsciiAlphanumeric(const std::wstring& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](wchar_t c) { return isAsciiLetter(c) || isAsciiDigit(c); });
}

}  // namespace utility

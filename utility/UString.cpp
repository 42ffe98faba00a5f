#include "utility/UString.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>

namespace utility::ustring {

namespace {

constexpr wchar_t kBlank = L' ';

// Last "\\", or when there is none the last "/".
size_t lastSeparator(const std::wstring& path) {
    const size_t backslash = path.rfind(L'\\');
    return backslash != std::wstring::npos ? backslash : path.rfind(L'/');
}

template <typename String>
String trimmed(const String& text, bool leading) {
    size_t begin = 0;
    size_t end = text.size();
    while (leading && begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    return text.substr(begin, end - begin);
}

}  // namespace

std::wstring fileStem(const std::wstring& path) {
    const size_t separator = lastSeparator(path);
    if (separator == std::wstring::npos) return {};
    const std::wstring name = path.substr(separator + 1);
    return name.substr(0, name.rfind(L'.'));
}

std::wstring parentDir(const std::wstring& path) {
    if (path.size() < 2) return {};
    std::wstring folder = path;
    if (folder.back() == L'\\' || folder.back() == L'/') folder.pop_back();
    const size_t separator = lastSeparator(folder);
    return separator == std::wstring::npos ? std::wstring() : folder.substr(0, separator + 1);
}

std::wstring exeDir() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return parentDir(path);
}

std::wstring fromInt(int number) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%d", number);
    return text;
}

std::wstring fromUnsigned(unsigned long number) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%lu", number);
    return text;
}

std::wstring toWide(const char* bytes, int length, UINT codePage) {
    if (bytes == nullptr || length < -1 || length == 0) return {};
    const int units = ::MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (units <= 0) return {};
    std::wstring text(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes, length, text.data(), units);
    if (length == -1) text.pop_back();  // the converted terminator
    return text;
}

std::string toNarrow(const wchar_t* text, int length, UINT codePage) {
    if (text == nullptr || length < -1 || length == 0) return {};
    const int size = ::WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text, length, bytes.data(), size, nullptr, nullptr);
    if (length == -1) bytes.pop_back();
    return bytes;
}

std::wstring ansiToWide(const std::string& bytes) {
    return toWide(bytes.data(), static_cast<int>(bytes.size()), CP_ACP);
}

std::string wideToAnsi(const std::wstring& text) {
    return toNarrow(text.data(), static_cast<int>(text.size()), CP_ACP);
}

std::wstring utf8ToWide(const std::string& bytes) {
    return toWide(bytes.data(), static_cast<int>(bytes.size()), CP_UTF8);
}

std::string wideToUtf8(const std::wstring& text) {
    return toNarrow(text.data(), static_cast<int>(text.size()), CP_UTF8);
}

std::string ansiToUtf8(const std::string& bytes) { return wideToUtf8(ansiToWide(bytes)); }

bool headerValue(const char* headers, const char* name, std::string& out) {
    if (headers == nullptr || name == nullptr || *name == '\0') return false;
    const char* found = ::StrStrIA(headers, name);
    if (found == nullptr) return false;
    const char* rest = found + std::strlen(name);
    const char* lineEnd = std::strstr(rest, "\r\n");
    const std::string afterName = trimmed(
        lineEnd != nullptr ? std::string(rest, lineEnd) : std::string(rest), true);
    if (afterName.empty() || afterName.front() != ':') return false;
    out = trimmed(afterName.substr(1), true);
    return true;
}

bool isAllDigits(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool endsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::wstring replaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::vector<std::wstring> split(const std::wstring& text, const std::wstring& separator) {
    std::vector<std::wstring> pieces;
    if (text.empty() || separator.empty()) return pieces;
    size_t begin = 0;
    for (size_t at = text.find(separator); at != std::wstring::npos; at = text.find(separator, begin)) {
        pieces.push_back(trimmed(text.substr(begin, at - begin), true));
        begin = at + separator.size();
    }
    pieces.push_back(trimmed(text.substr(begin), true));
    return pieces;
}

std::map<std::wstring, std::wstring> parseKeyValues(const std::vector<std::wstring>& texts,
                                                    const std::wstring& separator) {
    std::map<std::wstring, std::wstring> values;
    if (separator.empty()) return values;
    for (const std::wstring& text : texts) {
        const size_t at = text.find(separator);
        if (at == std::wstring::npos) continue;
        std::wstring key = trimmed(text.substr(0, at), false);
        if (key.empty()) continue;
        for (wchar_t& c : key) {
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        values[key] = trimmed(text.substr(at + separator.size()), false);
    }
    return values;
}

bool lookup(const std::map<std::wstring, std::wstring>& values, const std::wstring& key, std::wstring& out) {
    const auto found = values.find(key);
    if (found == values.end()) return false;
    out = found->second;
    return true;
}

}  // namespace utility::ustring

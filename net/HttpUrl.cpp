#include "net/HttpUrl.h"

#include <cwchar>
#include <cwctype>

namespace utility {

namespace {

struct Scheme {
    const wchar_t* prefix;
    unsigned short port;
};

// A Location value may come with the line break before it still attached.
constexpr Scheme kSchemes[] = {
    {L"http://", 80}, {L"https://", 443}, {L"\r\nhttp://", 80}, {L"\r\nhttps://", 443}};

bool startsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
    }
    return true;
}

unsigned short leadingPort(const std::wstring& digits) {
    unsigned long value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') break;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
        value &= 0xFFFFFFFFul;
    }
    return static_cast<unsigned short>(value);
}

}  // namespace

bool isHttpsUrl(const std::wstring& url) { return startsWithNoCase(url, L"https://"); }

ParsedUrl parseUrl(const std::wstring& url) {
    ParsedUrl parsed;
    size_t skip = 0;
    for (const Scheme& scheme : kSchemes) {
        if (startsWithNoCase(url, scheme.prefix)) {
            skip = std::wcslen(scheme.prefix);
            parsed.port = scheme.port;
            break;
        }
    }
    const size_t slash = url.find(L'/', skip);
    std::wstring hostPart;
    if (slash == std::wstring::npos) {
        hostPart = url.substr(skip);
        parsed.path = url;
    } else {
        hostPart = url.substr(skip, slash - skip);
        parsed.path = url.substr(slash);
    }
    const size_t colon = hostPart.find(L':');
    if (colon == std::wstring::npos) {
        parsed.host = hostPart;
    } else {
        parsed.host = hostPart.substr(0, colon);
        parsed.port = leadingPort(hostPart.substr(colon + 1));
    }
    return parsed;
}

}  // namespace utility

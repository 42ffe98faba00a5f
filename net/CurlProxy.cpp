#include "net/CurlProxy.h"

#include <windows.h>
#include <shlwapi.h>

#include <curl/curl.h>

#include <memory>

#include "utility/UString.h"

namespace utility {

namespace {

struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;

struct CurlTextFree {
    void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlTextFree>;

// One part of a parsed URL; empty when it has none.
std::wstring urlPart(CURLU* url, CURLUPart which) {
    char* text = nullptr;
    if (curl_url_get(url, which, &text, 0) != CURLUE_OK) return {};
    const CurlText owner(text);
    return ustring::ansiToWide(text);
}

bool startsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// A bypass entry in libcurl's terms, or the host itself when the entry, decided here, matches it;
// empty when it does not apply.
std::wstring noProxyEntry(const std::wstring& pattern, const std::wstring& host) {
    if (::_wcsicmp(pattern.c_str(), L"<local>") == 0) return host.find(L'.') == std::wstring::npos ? host : L"";
    const bool domain = startsWith(pattern, L"*.");
    const std::wstring rest = domain ? pattern.substr(1) : pattern;
    if (rest.find_first_of(L"*?") == std::wstring::npos) return rest;
    return ::PathMatchSpecW(host.c_str(), pattern.c_str()) ? host : L"";
}

std::wstring noProxyList(const std::wstring& bypass, const std::wstring& host) {
    std::wstring list;
    for (const std::wstring& pattern : proxyListEntries(bypass)) {
        const std::wstring entry = noProxyEntry(pattern, host);
        if (entry.empty()) continue;
        if (!list.empty()) list += L',';
        list += entry;
    }
    return list;
}

}  // namespace

CurlProxyOptions curlProxyOptions(const SystemProxy& system, const std::string& url) {
    if (system.servers.empty()) return {};
    const UrlHandle parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
    const std::wstring proxy = proxyForScheme(system.servers, urlPart(parsed.get(), CURLUPART_SCHEME));
    if (proxy.empty()) return {};
    const std::wstring host = urlPart(parsed.get(), CURLUPART_HOST);
    return {ustring::wideToAnsi(proxy), ustring::wideToAnsi(noProxyList(system.bypass, host))};
}

}  // namespace utility

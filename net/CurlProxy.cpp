#include "net/CurlProxy.h"

#include <windows.h>
#include <shlwapi.h>

#include "net/CurlUrl.h"
#include "utility/UString.h"

namespace utility {

namespace {

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
    const CurlUrl parsed(url);
    if (!parsed.valid()) return {};
    const std::wstring proxy = proxyForScheme(system.servers, parsed.part(CURLUPART_SCHEME));
    if (proxy.empty()) return {};
    const std::wstring host = parsed.part(CURLUPART_HOST);
    return {ustring::wideToAnsi(proxy), ustring::wideToAnsi(noProxyList(system.bypass, host))};
}

}  // namespace utility

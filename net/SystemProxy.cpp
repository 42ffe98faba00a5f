#include "net/SystemProxy.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "common/LogPrint.h"

namespace utility {

namespace {

// WinINet hands out the option strings from GlobalAlloc.
struct GlobalFreer {
    void operator()(wchar_t* text) const { ::GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

enum PerConnectionOption { kFlags, kServers, kBypass, kOptionCount };

}  // namespace

SystemProxy currentSystemProxy() {
    INTERNET_PER_CONN_OPTIONW options[kOptionCount] = {};
    options[kFlags].dwOption = INTERNET_PER_CONN_FLAGS;
    options[kServers].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[kBypass].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    INTERNET_PER_CONN_OPTION_LISTW list{};
    list.dwSize = sizeof list;
    list.dwOptionCount = kOptionCount;
    list.pOptions = options;
    DWORD size = sizeof list;
    // No handle: the settings every new WinINet session starts from, read afresh from the registry.
    if (!::InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
        PEL_LOG(L"proxy settings not readable, error = %d", static_cast<int>(::GetLastError()));
        return {};
    }
    const GlobalText servers(options[kServers].Value.pszValue);
    const GlobalText bypass(options[kBypass].Value.pszValue);
    // The server list stays in the registry while the proxy is switched off.
    if ((options[kFlags].Value.dwValue & PROXY_TYPE_PROXY) == 0 || !servers) return {};
    return {servers.get(), bypass ? bypass.get() : L""};
}

std::vector<std::wstring> proxyListEntries(const std::wstring& list) {
    static const wchar_t kSeparators[] = L"; ,\t\r\n";
    std::vector<std::wstring> entries;
    size_t begin = list.find_first_not_of(kSeparators);
    while (begin != std::wstring::npos) {
        const size_t end = list.find_first_of(kSeparators, begin);
        entries.push_back(list.substr(begin, end - begin));
        begin = list.find_first_not_of(kSeparators, end);
    }
    return entries;
}

std::wstring proxyForScheme(const std::wstring& servers, const std::wstring& scheme) {
    std::wstring forEveryScheme;
    std::wstring socks;
    for (const std::wstring& entry : proxyListEntries(servers)) {
        const size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) {
            if (forEveryScheme.empty()) forEveryScheme = entry;
            continue;
        }
        const std::wstring name = entry.substr(0, equals);
        const std::wstring server = entry.substr(equals + 1);
        if (server.empty()) continue;
        if (::_wcsicmp(name.c_str(), scheme.c_str()) == 0) return server;
        // WinINet speaks SOCKS version 4 to a "socks=" proxy.
        if (::_wcsicmp(name.c_str(), L"socks") == 0) socks = L"socks4://" + server;
    }
    return !forEveryScheme.empty() ? forEveryScheme : socks;
}

}  // namespace utility

#pragma once
// The current user's proxy settings as WinINet reads them, for a back-end that does not read them
// itself (libcurl). Under Wine WinINet also takes http_proxy and no_proxy from the environment when
// the registry enables no proxy; reading through WinINet keeps both back-ends on the same proxy.

#include <string>
#include <vector>

namespace utility {

struct SystemProxy {
    // "host:port" for every scheme, or per scheme: "http=host:port;https=host:port;socks=host:port".
    // Empty: no proxy.
    std::wstring servers;
    // Hosts that go direct: names, patterns with "*" ("*.example.com", "10.*"), and "<local>" for
    // names without a dot.
    std::wstring bypass;
};

// Empty servers when no proxy is enabled or the settings cannot be read. Automatic configuration
// (detection, a script address) is not followed.
SystemProxy currentSystemProxy();

// Entries of a proxy or bypass list, which Windows separates by ";" (tolerating "," and blanks).
std::vector<std::wstring> proxyListEntries(const std::wstring& list);

// The proxy a URL of the scheme ("http", "https") goes through: the scheme's own entry, else the
// entry for every scheme, else the SOCKS entry as "socks4://host:port"; empty when none applies.
std::wstring proxyForScheme(const std::wstring& servers, const std::wstring& scheme);

}  // namespace utility

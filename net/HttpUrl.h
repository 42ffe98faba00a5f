#pragma once
// Splitting a URL into host, port and request target, as both HTTP back-ends send it.

#include <string>

namespace utility {

struct ParsedUrl {
    std::wstring host;
    unsigned short port = 80;
    // From the first "/" after the host, query included; the whole URL when there is no such "/".
    std::wstring path;
};

// Always succeeds: an unknown scheme means port 80 and the host from the start of the text.
ParsedUrl parseUrl(const std::wstring& url);

// "https://" at the start, in any case.
bool isHttpsUrl(const std::wstring& url);

}  // namespace utility

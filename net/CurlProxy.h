#pragma once
// The system proxy as libcurl options for one URL. libcurl on Windows would otherwise read only
// environment variables, which WinINet on Windows ignores.

#include <string>

#include "net/SystemProxy.h"

namespace utility {

struct CurlProxyOptions {
    // For CURLOPT_PROXY; empty: direct.
    std::string proxy;
    // For CURLOPT_NOPROXY, comma-separated. Bypass entries libcurl can express are handed on, so they
    // hold for redirect targets too ("*.example.com" as ".example.com", which takes in example.com
    // itself); "<local>" and other patterns are decided here for the URL's own host.
    std::string noProxy;
};

// url: ANSI code page. Direct when the URL cannot be parsed or no proxy serves its scheme.
CurlProxyOptions curlProxyOptions(const SystemProxy& system, const std::string& url);

}  // namespace utility

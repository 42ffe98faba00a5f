#pragma once
// The local HTTP servers that ctest starts for the network tests (tools/testserver/servers.py),
// read from the servers.json named by the environment variable PELORA_TEST_SERVERS.

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ServedFile {
    std::wstring path;  // on the nginx server, e.g. "/big64.bin"
    long long size = 0;
    std::string sha256;  // lowercase hex
};

// A sparse file too large to hash whole: 4096-byte marker blocks at known offsets, each with its
// SHA-256, zeros elsewhere.
struct MarkedFile {
    std::wstring path;
    long long size = 0;
    std::vector<std::pair<long long, std::string>> markers;
};

struct TestServers {
    int http = 0;      // the scripted server
    int http2 = 0;     // the same on a second port, as a redirect target
    int https = 0;     // the same over TLS, certified by the test authority for 127.0.0.1 and localhost
    int httpsSelfSigned = 0;  // the same over TLS with a self-signed certificate for 127.0.0.1
    int httpsOtherHost = 0;   // the same over TLS, certified by the test authority for other.example only
    int cutproxy = 0;  // in front of nginx: breaks each first (Range-less) transfer half way
    int nginx = 0;
    int proxy = 0;             // forward proxy: any host name, answered by the scripted server
    std::wstring requestsLog;  // raw requests as the scripted server received them
    std::wstring proxyLog;     // request lines as the forward proxy received them
    ServedFile big64;
    MarkedFile big5g;

    // Loaded once; a test fails cleanly (all ports 0) when the servers are not running.
    static const TestServers& get();

    // "http://127.0.0.1:PORT" + path
    static std::wstring url(int port, const std::wstring& path);
    static std::wstring httpsUrl(int port, const std::wstring& path);
};

// The scripted server's generated body: byte i of a resource is (i * 31 + 7 + generation) & 0xFF;
// the generation is 0 except for resources that change between requests.
std::string servedBytes(size_t size, int generation = 0);

// For a URL inside a query: everything but letters, digits, "/" and "." percent-encoded.
std::wstring percentEncoded(const std::wstring& text);

// The raw requests the scripted server logged whose request line contains the text.
std::string loggedRequestsFor(const std::string& requestLineText);

}  // namespace testsupport

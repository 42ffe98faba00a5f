#include "tests/support/TestServers.h"

#include <rapidjson/document.h>

#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "tests/support/TestFiles.h"
#include "utility/UString.h"

namespace testsupport {

namespace {

int portOf(const rapidjson::Document& document, const char* name) {
    const auto member = document.FindMember(name);
    return member != document.MemberEnd() && member->value.IsInt() ? member->value.GetInt() : 0;
}

TestServers load() {
    TestServers servers;
    const char* infoPath = std::getenv("PELORA_TEST_SERVERS");
    if (infoPath == nullptr) return servers;
    const std::string text = readFile(fromLinuxPath(infoPath));
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    if (document.HasParseError() || !document.IsObject()) return servers;
    servers.http = portOf(document, "http");
    servers.http2 = portOf(document, "http2");
    servers.https = portOf(document, "https");
    servers.httpsSelfSigned = portOf(document, "https_selfsigned");
    servers.httpsOtherHost = portOf(document, "https_otherhost");
    servers.cutproxy = portOf(document, "cutproxy");
    servers.nginx = portOf(document, "nginx");
    servers.proxy = portOf(document, "proxy");
    if (document.HasMember("requests_log")) servers.requestsLog = fromLinuxPath(document["requests_log"].GetString());
    if (document.HasMember("proxy_log")) servers.proxyLog = fromLinuxPath(document["proxy_log"].GetString());
    if (document.HasMember("files") && document["files"].HasMember("big64")) {
        const auto& big = document["files"]["big64"];
        servers.big64.path = utility::ustring::utf8ToWide(big["path"].GetString());
        servers.big64.size = big["size"].GetInt64();
        servers.big64.sha256 = big["sha256"].GetString();
    }
    if (document.HasMember("files") && document["files"].HasMember("big5g")) {
        const auto& big = document["files"]["big5g"];
        servers.big5g.path = utility::ustring::utf8ToWide(big["path"].GetString());
        servers.big5g.size = big["size"].GetInt64();
        for (const auto& marker : big["markers"].GetArray()) {
            servers.big5g.markers.emplace_back(marker[0].GetInt64(), marker[1].GetString());
        }
    }
    return servers;
}

}  // namespace

const TestServers& TestServers::get() {
    static const TestServers servers = load();
    return servers;
}

std::wstring TestServers::url(int port, const std::wstring& path) {
    return L"http://127.0.0.1:" + std::to_wstring(port) + path;
}

std::wstring TestServers::httpsUrl(int port, const std::wstring& path) {
    return L"https://127.0.0.1:" + std::to_wstring(port) + path;
}

std::string servedBytes(size_t size, int generation) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7 + generation) & 0xFF);
    return bytes;
}

std::wstring percentEncoded(const std::wstring& text) {
    std::wstring encoded;
    for (wchar_t c : text) {
        if (std::iswalnum(c) || c == L'/' || c == L'.') {
            encoded += c;
        } else {
            wchar_t hex[4];
            std::swprintf(hex, 4, L"%%%02X", static_cast<unsigned>(c));
            encoded += hex;
        }
    }
    return encoded;
}

std::string loggedRequestsFor(const std::string& requestLineText) {
    const std::string log = readFile(TestServers::get().requestsLog);
    std::string found;
    static const std::string kEnd = "\n=== end\n";
    size_t begin = 0;
    while ((begin = log.find("=== ", begin)) != std::string::npos) {
        const size_t bodyStart = log.find('\n', begin) + 1;
        const size_t end = log.find(kEnd, bodyStart);
        if (bodyStart == 0 || end == std::string::npos) break;
        const std::string request = log.substr(bodyStart, end - bodyStart);
        if (request.substr(0, request.find("\r\n")).find(requestLineText) != std::string::npos) found += request;
        begin = end + kEnd.size();
    }
    return found;
}

}  // namespace testsupport

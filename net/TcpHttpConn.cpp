#include "net/TcpHttpConn.h"

#include <cstdlib>
#include <cstring>

#include "net/HttpUrl.h"
#include "utility/UString.h"

namespace utility {

namespace {

int statusOf(const std::string& headers) {
    const size_t space = headers.find(' ');
    return space == std::string::npos ? -1 : std::atoi(headers.c_str() + space + 1);
}

int64_t contentLengthOf(const std::string& headers) {
    static const char kName[] = "Content-Length: ";
    const size_t at = headers.find(kName);
    return at == std::string::npos ? -1 : _strtoi64(headers.c_str() + at + std::strlen(kName), nullptr, 10);
}

bool isChunked(const std::string& headers) {
    std::string encoding;
    return ustring::headerValue(headers.c_str(), "Transfer-Encoding", encoding) &&
           ::lstrcmpiA(encoding.c_str(), "chunked") == 0;
}

// The body's description from the raw header block of the final answer.
void describeBody(const std::string& headers, HttpResponseHead& head) {
    head.contentLength = contentLengthOf(headers);
    head.chunked = isChunked(headers);
    std::string value;
    if (ustring::headerValue(headers.c_str(), "\r\nETag", value) ||
        ustring::headerValue(headers.c_str(), "\r\nLast-Modified", value)) {
        head.validator = value;
    }
    if (ustring::headerValue(headers.c_str(), "\r\nContent-Range", value)) readContentRange(value, head);
}

std::wstring placeKey(const std::wstring& host, unsigned short port, const std::wstring& path) {
    return host + L":" + std::to_wstring(port) + path;
}

}  // namespace

void CTcpHttpConn::release() {
    close();
    delete this;
}

void CTcpHttpConn::close() { socket_.close(); }

bool CTcpHttpConn::open() { return socket_.open(); }

bool CTcpHttpConn::connect(const std::wstring& host, unsigned short port) {
    const std::string name = ustring::wideToAnsi(host);
    if (name.empty()) return false;
    host_ = host;
    port_ = port;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::inet_addr(name.c_str());
    if (address.sin_addr.s_addr != INADDR_NONE) return socket_.connect(address);

    const hostent* entry = ::gethostbyname(name.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET) return false;
    for (char** each = entry->h_addr_list; *each != nullptr; ++each) {
        std::memcpy(&address.sin_addr, *each, sizeof address.sin_addr);
        if (socket_.connect(address)) return true;
    }
    return false;
}

std::wstring CTcpHttpConn::buildGetRequest(const std::wstring& host, const std::wstring& path,
                                           const std::wstring& extraHeaders) {
    const auto carries = [&](const wchar_t* name) { return extraHeaders.find(name) != std::wstring::npos; };
    std::wstring request = L"GET " + path + L" HTTP/1.1\r\n";
    if (!carries(L"Content-Type")) request += L"Content-Type:application/x-www-form-urlencoded\r\n";
    if (!carries(L"Host:")) request += L"Host:" + host + L"\r\n";
    if (!carries(L"Cache-Control:")) request += L"Cache-Control:no-cache\r\nPragma:no-cache\r\n";
    if (!extraHeaders.empty()) {
        request += extraHeaders;
        if (!ustring::endsWith(extraHeaders, std::wstring(L"\r\n"))) request += L"\r\n";
    }
    if (!carries(L"User-Agent:")) request += L"User-Agent:okhttp/3.5.0L\r\n";
    request += L"\r\n";
    return request;
}

bool CTcpHttpConn::sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) {
    path_ = path;
    const std::string bytes = ustring::wideToAnsi(buildGetRequest(host, path, extraHeaders));
    return socket_.sendAll(bytes.data(), static_cast<int>(bytes.size()));
}

bool CTcpHttpConn::sendPost(const std::wstring&, const std::wstring&, const char*, int) { return false; }

// One byte per receive, so no body byte is taken from the socket.
bool CTcpHttpConn::receiveHeaderBlock(std::string& headers) {
    headers.clear();
    while (!ustring::endsWith(headers, std::string("\r\n\r\n"))) {
        if (headers.size() >= kMaxHeaderBytes) return false;
        char byte = 0;
        if (socket_.receive(&byte, 1) < 1) return false;
        headers.push_back(byte);
    }
    return true;
}

bool CTcpHttpConn::recvHeader(HttpResponseHead& head) {
    std::string headers;
    int& status = head.status;
    std::set<std::wstring> visited{placeKey(host_, port_, path_)};
    for (int hops = 0;; ++hops) {
        if (!receiveHeaderBlock(headers)) return false;
        status = statusOf(headers);
        if (status < 0) return false;
        if (status != 301 && status != 302) break;

        std::string location;
        if (hops == kMaxRedirects || !ustring::headerValue(headers.c_str(), "location", location)) return false;
        std::wstring url = ustring::ansiToWide(location);
        // A relative Location stays on the same server.
        if (!url.empty() && url.front() == L'/') url = L"http://" + host_ + L":" + std::to_wstring(port_) + url;
        const ParsedUrl next = parseUrl(url);
        if (!visited.insert(placeKey(next.host, next.port, next.path)).second) return false;

        close();
        if (!open() || !connect(next.host, next.port) || !sendGet(next.host, next.path, L"")) return false;
    }
    describeBody(headers, head);
    return true;
}

int CTcpHttpConn::read(char* buffer, int size) { return socket_.receive(buffer, size); }

}  // namespace utility

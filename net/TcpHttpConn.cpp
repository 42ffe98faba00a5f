#include "net/TcpHttpConn.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/LogPrint.h"
#include "net/HttpUrl.h"
#include "utility/UString.h"

namespace utility {

namespace {

int statusOf(const std::string& headers) {
    const size_t space = headers.find(' ');
    return space == std::string::npos ? -1 : std::atoi(headers.c_str() + space + 1);
}

int64_t contentLengthOf(const std::string& headers) {
    std::string value;
    return ustring::headerValue(headers.c_str(), "\r\nContent-Length", value) ? _strtoi64(value.c_str(), nullptr, 10)
                                                                                : -1;
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

// Below 0x20 or DEL: such a character in the request line could end it and start a line of its own.
bool hasControlCharacter(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

// "Name: value" lines joined by CR LF, the last one with or without its CR LF: no bare CR or LF, and
// no empty line, which would end the request's head early.
bool isHeaderBlock(const std::wstring& block) {
    for (size_t start = 0; start < block.size();) {
        const size_t end = block.find(L"\r\n", start);
        const std::wstring line = block.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (line.empty() || line.find_first_of(L"\r\n") != std::wstring::npos) return false;
        if (end == std::wstring::npos) break;
        start = end + 2;
    }
    return true;
}

std::wstring withEncodedBlanks(const std::wstring& path) {
    std::wstring encoded;
    for (wchar_t c : path) {
        if (c == L' ') {
            encoded += L"%20";
        } else {
            encoded += c;
        }
    }
    return encoded;
}

// Fails with WSAEINVAL, logged, for a request that must not go out.
bool refuse(const wchar_t* what) {
    PEL_LOG(L"request refused: %s", what);
    ::WSASetLastError(WSAEINVAL);
    return false;
}

// The host's IPv4 addresses, at most CTcpHttpConn::kMaxAddresses. gethostbyname can be neither bounded
// nor broken off: a close() that comes while it runs takes effect when it returns.
std::vector<in_addr> addressesOf(const std::wstring& host) {
    std::vector<in_addr> found;
    const std::string name = ustring::wideToAnsi(host);
    if (name.empty()) return found;
    in_addr literal{};
    literal.s_addr = ::inet_addr(name.c_str());
    if (literal.s_addr != INADDR_NONE) return {literal};
    const hostent* entry = ::gethostbyname(name.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET) return found;
    for (char** each = entry->h_addr_list;
         *each != nullptr && found.size() < static_cast<size_t>(CTcpHttpConn::kMaxAddresses); ++each) {
        in_addr address{};
        std::memcpy(&address, *each, sizeof address);
        found.push_back(address);
    }
    return found;
}

sockaddr_in socketAddress(const in_addr& address, unsigned short port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = ::htons(port);
    result.sin_addr = address;
    return result;
}

}  // namespace

void CTcpHttpConn::release() {
    close();
    delete this;
}

void CTcpHttpConn::close() { socket_.cancel(); }

bool CTcpHttpConn::open() {
    limits_ = transferLimits();
    return socket_.open();
}

// The next socket of the same transfer; fails once close() came, which open() cannot undo here.
bool CTcpHttpConn::reopen() {
    socket_.close();
    return socket_.open();
}

bool CTcpHttpConn::connect(const std::wstring& host, unsigned short port) {
    host_ = host;
    port_ = port;
    const DWORD begin = ::GetTickCount();
    const std::vector<in_addr> addresses = addressesOf(host);
    for (size_t i = 0; i < addresses.size(); ++i) {
        const DWORD spent = ::GetTickCount() - begin;
        if (spent >= limits_.connectMs) {
            ::WSASetLastError(WSAETIMEDOUT);
            break;
        }
        // An equal share of the time left, so that a silent address leaves time for the next.
        const DWORD share = (limits_.connectMs - spent) / static_cast<DWORD>(addresses.size() - i);
        if ((i == 0 || reopen()) && socket_.connect(socketAddress(addresses[i], port), share)) {
            return socket_.setStallTimeout(limits_.stallMs);
        }
        if (socket_.cancelled()) break;
    }
    return false;
}

std::wstring CTcpHttpConn::buildGetRequest(const std::wstring& host, const std::wstring& path,
                                           const std::wstring& extraHeaders) {
    const auto carries = [&](const wchar_t* name) { return extraHeaders.find(name) != std::wstring::npos; };
    std::wstring request = L"GET " + withEncodedBlanks(path) + L" HTTP/1.1\r\n";
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
    if (hasControlCharacter(host) || hasControlCharacter(path)) return refuse(L"control character in host or path");
    if (!isHeaderBlock(extraHeaders)) return refuse(L"header block with a bare CR or LF, or an empty line");
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
    std::set<std::wstring> visited{placeKey(host_, port_, path_)};
    for (int hops = 0;; ++hops) {
        if (!receiveHeaderBlock(headers)) return false;
        head.status = statusOf(headers);
        if (head.status < 0) return false;
        if (head.status != 301 && head.status != 302) break;
        if (hops >= limits_.maxRedirects || !followRedirect(headers, visited)) return false;
    }
    describeBody(headers, head);
    return true;
}

// Sends the request again to where the answer points, on a new socket.
bool CTcpHttpConn::followRedirect(const std::string& headers, std::set<std::wstring>& visited) {
    std::string location;
    if (!ustring::headerValue(headers.c_str(), "\r\nLocation", location)) return false;
    std::wstring url = ustring::ansiToWide(location);
    if (hasControlCharacter(url)) return refuse(L"control character in a redirect's Location");
    // A relative Location stays on the same server.
    if (!url.empty() && url.front() == L'/') url = L"http://" + host_ + L":" + std::to_wstring(port_) + url;
    const ParsedUrl next = parseUrl(url);
    if (!visited.insert(placeKey(next.host, next.port, next.path)).second) return false;
    // reopen(), not open(): a close() from outside stays in force across the hop.
    return reopen() && connect(next.host, next.port) && sendGet(next.host, next.path, L"");
}

int CTcpHttpConn::read(char* buffer, int size) { return socket_.receive(buffer, size); }

}  // namespace utility

#include "net/WinInetHttpConn.h"

namespace utility {

namespace {

// Always from the network, never into the cache, any certificate name, transfer as is.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_CACHE_ASYNC |
                                INTERNET_FLAG_TRANSFER_ASCII;
constexpr DWORD_PTR kContext = 1;

void closeHandle(std::atomic<HINTERNET>& handle) {
    if (HINTERNET closing = handle.exchange(nullptr)) ::InternetCloseHandle(closing);
}

}  // namespace

void CWinInetHttpConn::release() {
    close();
    delete this;
}

void CWinInetHttpConn::close() {
    closeHandle(request_);
    closeHandle(connection_);
    closeHandle(session_);
}

bool CWinInetHttpConn::open() {
    session_ = ::InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return session_.load() != nullptr;
}

bool CWinInetHttpConn::connect(const std::wstring& host, unsigned short port) {
    connection_ = ::InternetConnectW(session_.load(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                     kContext);
    return connection_.load() != nullptr;
}

bool CWinInetHttpConn::openRequest(const wchar_t* verb, const std::wstring& path, DWORD flags) {
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    request_ = ::HttpOpenRequestW(connection_.load(), verb, path.c_str(), L"HTTP/1.1", nullptr, acceptTypes, flags,
                                  kContext);
    return request_.load() != nullptr;
}

bool CWinInetHttpConn::sendGetWithFlags(const std::wstring& path, const std::wstring& extraHeaders, DWORD flags) {
    return openRequest(L"GET", path, flags) &&
           ::HttpSendRequestW(request_.load(), extraHeaders.c_str(), static_cast<DWORD>(extraHeaders.size()), nullptr,
                              0);
}

bool CWinInetHttpConn::sendGet(const std::wstring&, const std::wstring& path, const std::wstring& extraHeaders) {
    return sendGetWithFlags(path, extraHeaders, kRequestFlags);
}

bool CWinInetHttpsConn::sendGet(const std::wstring&, const std::wstring& path, const std::wstring& extraHeaders) {
    return sendGetWithFlags(path, extraHeaders, kRequestFlags | INTERNET_FLAG_SECURE);
}

bool CWinInetHttpConn::sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body,
                                int length) {
    if (!openRequest(L"POST", path, kRequestFlags)) return false;
    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = extraHeaders.c_str();
    buffers.dwHeadersLength = buffers.dwHeadersTotal = static_cast<DWORD>(extraHeaders.size());
    buffers.lpvBuffer = const_cast<char*>(body);
    buffers.dwBufferLength = buffers.dwBufferTotal = static_cast<DWORD>(length);
    return ::HttpSendRequestExW(request_.load(), &buffers, nullptr, 0, kContext) &&
           ::HttpEndRequestW(request_.load(), nullptr, 0, kContext);
}

// One header of the answer as text; empty when it has none.
std::string CWinInetHttpConn::queryText(DWORD query) const {
    char value[512] = {};
    DWORD size = sizeof value - 1;
    if (!::HttpQueryInfoA(request_.load(), query, value, &size, nullptr)) return {};
    return std::string(value, size);
}

bool CWinInetHttpConn::recvHeader(HttpResponseHead& head) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!::HttpQueryInfoW(request_.load(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) {
        return false;
    }
    head.status = static_cast<int>(value);
    // As text: the numeric query holds only 32 bits.
    const std::string length = queryText(HTTP_QUERY_CONTENT_LENGTH);
    head.contentLength = length.empty() ? -1 : _strtoi64(length.c_str(), nullptr, 10);
    head.validator = queryText(HTTP_QUERY_ETAG);
    if (head.validator.empty()) head.validator = queryText(HTTP_QUERY_LAST_MODIFIED);
    readContentRange(queryText(HTTP_QUERY_CONTENT_RANGE), head);
    return true;
}

int CWinInetHttpConn::read(char* buffer, int size) {
    DWORD read = 0;
    if (!::InternetReadFile(request_.load(), buffer, static_cast<DWORD>(size), &read)) return -1;
    return static_cast<int>(read);
}

}  // namespace utility

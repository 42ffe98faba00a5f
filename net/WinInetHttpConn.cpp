#include "net/WinInetHttpConn.h"

#include <cstring>
#include <vector>

#include "common/LogPrint.h"
#include "utility/UString.h"

namespace utility {

namespace {

// Always from the network, never into the cache, transfer as is; redirects are followed here, not by
// WinINet. WinINet's certificate checks all stay on: the answers name the installer that runs elevated.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_CACHE_ASYNC |
                                INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_NO_AUTO_REDIRECT;

// WinINet's own time-outs exceed the limits by this much, so that the waits here end first and a
// time-out reads the same whichever step it ends.
constexpr DWORD kOwnTimeoutSlackMs = 1000;

struct UrlTarget {
    bool secure = false;
    std::wstring host;
    unsigned short port = 0;
    std::wstring path;
};

bool isRedirect(int status) {
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD ||
           status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == HTTP_STATUS_PERMANENT_REDIRECT;
}

// As WinINet and browsers do: 301, 302 and 303 go on as a GET without body, 307 and 308 as they were.
bool keepsMethod(int status) {
    return status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == HTTP_STATUS_PERMANENT_REDIRECT;
}

// A Location, absolute or relative, against the address that answered with it.
std::wstring combinedUrl(const std::wstring& base, const std::wstring& location) {
    std::vector<wchar_t> combined(base.size() + location.size() + 64);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD length = static_cast<DWORD>(combined.size());
        if (::InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &length, ICU_ENCODE_SPACES_ONLY)) {
            return std::wstring(combined.data(), length);
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        combined.resize(length + 1);
    }
    return {};
}

// An http:// or https:// address split for InternetConnect and HttpOpenRequest.
bool crackedUrl(const std::wstring& url, UrlTarget& target) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    if (parts.dwHostNameLength == 0) return false;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (target.path.empty()) target.path = L"/";
    // The fragment never goes to the server.
    const std::wstring extra(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    target.path += extra.substr(0, extra.find(L'#'));
    return true;
}

void setTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
    ::InternetSetOptionW(handle, option, &milliseconds, sizeof milliseconds);
}

bool refused() {
    ::SetLastError(ERROR_OPERATION_ABORTED);
    return false;
}

bool isCertificateError(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
        return true;
    default:
        return false;
    }
}

}  // namespace

CWinInetHttpConn::CWinInetHttpConn(bool secure) : state_(WinInetCallState::create()), secure_(secure) {}

CWinInetHttpConn::~CWinInetHttpConn() {
    close();
    state_->release();
}

void CWinInetHttpConn::release() { delete this; }

// The flag first, so that a step about to begin refuses; then the wait of a running step ends. The
// handles close under the lock, never under a call that is being made.
void CWinInetHttpConn::close() {
    closed_ = true;
    state_->cancel();
    std::lock_guard<std::mutex> guard(callLock_);
    request_.reset();
    connection_.reset();
    session_.reset();
}

// A call that failed or was given up on ends the transfer: under Wine the next read after a failed
// one reports a clean end of the body.
bool CWinInetHttpConn::abandon(DWORD error) {
    PEL_LOG(L"WinINet transfer ends, error %lu", error);
    close();
    ::SetLastError(error);
    return false;
}

// The end of a call that may have pended: error is the call's last error when it returned FALSE.
bool CWinInetHttpConn::finished(BOOL done, DWORD error) {
    if (done) return true;
    if (error == ERROR_IO_PENDING && state_->awaitCall()) return true;
    return abandon(error == ERROR_IO_PENDING ? ::GetLastError() : error);
}

bool CWinInetHttpConn::open() {
    std::lock_guard<std::mutex> guard(callLock_);
    if (closed_) return refused();
    limits_ = transferLimits();
    session_.reset(::InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    return session_ &&
           ::InternetSetStatusCallbackW(session_.get(), &WinInetCallState::onStatus) != INTERNET_INVALID_STATUS_CALLBACK;
}

bool CWinInetHttpConn::connect(const std::wstring& host, unsigned short port) {
    std::lock_guard<std::mutex> guard(callLock_);
    if (closed_) return refused();
    host_ = host;
    port_ = port;
    return connectHandle();
}

// Under the lock. A request closes before its connection: closing a parent frees the handles of its
// children, whose values WinINet may then give to new handles. WinINet's own time-outs, a little
// longer than the limits that end the waits here, end a call given up on, so that its handle closes
// and the shared state goes.
bool CWinInetHttpConn::connectHandle() {
    request_.reset();
    connection_.reset();
    connection_.reset(::InternetConnectW(session_.get(), host_.c_str(), port_, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                         0, state_->context()));
    if (!connection_) return false;
    state_->addRef();
    setTimeout(connection_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, limits_.connectMs + kOwnTimeoutSlackMs);
    setTimeout(connection_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, limits_.stallMs + kOwnTimeoutSlackMs);
    setTimeout(connection_.get(), INTERNET_OPTION_SEND_TIMEOUT, limits_.stallMs + kOwnTimeoutSlackMs);
    return true;
}

DWORD CWinInetHttpConn::requestFlags() const { return kRequestFlags | (secure_ ? INTERNET_FLAG_SECURE : 0); }

bool CWinInetHttpConn::sendGet(const std::wstring&, const std::wstring& path, const std::wstring& extraHeaders) {
    path_ = path;
    return sendFollowingRedirects(L"GET", extraHeaders, {});
}

bool CWinInetHttpConn::sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body,
                                int length) {
    path_ = path;
    return sendFollowingRedirects(L"POST", extraHeaders, std::string(body, static_cast<size_t>(length)));
}

bool CWinInetHttpConn::sendFollowingRedirects(const wchar_t* verb, const std::wstring& extraHeaders,
                                              std::string body) {
    for (int redirects = 0;; ++redirects) {
        if (!sendRequest(verb, extraHeaders, body)) return false;
        std::wstring location;
        const int status = redirectStatus(location);
        if (status == 0) return true;
        if (redirects == limits_.maxRedirects) {
            PEL_LOG(L"more than %d redirects", limits_.maxRedirects);
            return abandon(ERROR_HTTP_REDIRECT_FAILED);
        }
        if (!moveTo(location)) {
            PEL_LOG(L"cannot follow the redirect to %s", location.c_str());
            return abandon(ERROR_HTTP_REDIRECT_FAILED);
        }
        if (!keepsMethod(status)) {
            verb = L"GET";
            body.clear();
        }
    }
}

// The call's headers and body stay in the shared state, where a call that outlives this connection
// can still read them.
bool CWinInetHttpConn::sendRequest(const wchar_t* verb, const std::wstring& extraHeaders, const std::string& body) {
    std::unique_lock<std::mutex> lock(callLock_);
    if (closed_) return refused();
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    request_.reset();
    request_.reset(::HttpOpenRequestW(connection_.get(), verb, path_.c_str(), L"HTTP/1.1", nullptr, acceptTypes,
                                      requestFlags(), state_->context()));
    if (!request_) return false;
    state_->addRef();
    std::wstring& headers = state_->requestHeaders();
    std::string& content = state_->requestBody();
    headers = extraHeaders;
    content = body;
    state_->beginRequest(limits_);
    const BOOL sent = ::HttpSendRequestW(request_.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                         content.empty() ? nullptr : &content[0], static_cast<DWORD>(content.size()));
    const DWORD error = sent ? ERROR_SUCCESS : ::GetLastError();
    lock.unlock();
    if (finished(sent, error)) return true;
    const DWORD failure = ::GetLastError();
    if (isCertificateError(failure)) {
        PEL_LOG(L"server certificate of %s refused, error %lu", host_.c_str(), failure);
        ::SetLastError(failure);
    }
    return false;
}

// The redirect status of the answer, with its Location; 0 for an answer to keep, a redirect without
// Location among them.
int CWinInetHttpConn::redirectStatus(std::wstring& location) {
    std::lock_guard<std::mutex> guard(callLock_);
    if (closed_) return 0;
    const int status = statusCode();
    if (!isRedirect(status)) return 0;
    location = ustring::ansiToWide(queryText(HTTP_QUERY_LOCATION));
    return location.empty() ? 0 : status;
}

bool CWinInetHttpConn::moveTo(const std::wstring& location) {
    const std::wstring port = std::to_wstring(port_);
    const std::wstring here = (secure_ ? L"https://" : L"http://") + host_ + L":" + port + path_;
    UrlTarget next;
    if (!crackedUrl(combinedUrl(here, location), next)) return false;
    std::lock_guard<std::mutex> guard(callLock_);
    if (closed_) return refused();
    secure_ = next.secure;
    host_ = next.host;
    port_ = next.port;
    path_ = next.path;
    return connectHandle();
}

// Under the lock. 0 when the answer has none.
int CWinInetHttpConn::statusCode() const {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!::HttpQueryInfoW(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) {
        return 0;
    }
    return static_cast<int>(value);
}

// Under the lock. One header of the answer as text; empty when it has none.
std::string CWinInetHttpConn::queryText(DWORD query) const {
    std::string value(256, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(value.size());
        if (::HttpQueryInfoA(request_.get(), query, &value[0], &size, nullptr)) {
            value.resize(size);
            return value;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        value.resize(size + 1);
    }
    return {};
}

bool CWinInetHttpConn::recvHeader(HttpResponseHead& head) {
    std::lock_guard<std::mutex> guard(callLock_);
    if (closed_) return refused();
    head.status = statusCode();
    if (head.status == 0) return false;
    // As text: the numeric query holds only 32 bits.
    const std::string length = queryText(HTTP_QUERY_CONTENT_LENGTH);
    head.contentLength = length.empty() ? -1 : _strtoi64(length.c_str(), nullptr, 10);
    head.validator = queryText(HTTP_QUERY_ETAG);
    if (head.validator.empty()) head.validator = queryText(HTTP_QUERY_LAST_MODIFIED);
    readContentRange(queryText(HTTP_QUERY_CONTENT_RANGE), head);
    return true;
}

int CWinInetHttpConn::read(char* buffer, int size) {
    if (size <= 0) return 0;
    state_->beginRead(limits_);
    for (;;) {
        DWORD got = 0;
        switch (readAvailable(static_cast<DWORD>(size), got)) {
        case ReadStep::Data:
            std::memcpy(buffer, state_->data(), got);
            return static_cast<int>(got);
        case ReadStep::End:
            return 0;
        case ReadStep::Failed:
            return -1;
        case ReadStep::Again:
            if (!state_->expired()) break;
            abandon(ERROR_INTERNET_TIMEOUT);
            return -1;
        }
    }
}

// One look at the body: the bytes that have arrived, or a wait for the next ones. The bytes land in
// the shared state, since a read that pends may write after this connection has gone.
CWinInetHttpConn::ReadStep CWinInetHttpConn::readAvailable(DWORD size, DWORD& got) {
    std::unique_lock<std::mutex> lock(callLock_);
    if (closed_) {
        refused();
        return ReadStep::Failed;
    }
    INTERNET_BUFFERSA& block = state_->readBlock(size);
    BOOL done = ::InternetReadFileExA(request_.get(), &block, IRF_NO_WAIT, state_->context());
    if (done && block.dwBufferLength > 0) {
        got = block.dwBufferLength;
        return ReadStep::Data;
    }
    // Windows answers "nothing yet" and "the end" alike with no bytes; the query tells them apart,
    // waiting for the next byte if need be.
    if (done) {
        done = ::InternetQueryDataAvailable(request_.get(), &state_->available(), 0, 0);
        if (done) return state_->available() == 0 ? ReadStep::End : ReadStep::Again;
    }
    // Under Wine a read with nothing there pends instead, and completes, without data, once some has come.
    const DWORD error = ::GetLastError();
    lock.unlock();
    return finished(done, error) ? ReadStep::Again : ReadStep::Failed;
}

}  // namespace utility

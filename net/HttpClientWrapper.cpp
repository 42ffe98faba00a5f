#include "net/HttpClientWrapper.h"

#include <windows.h>

#include <memory>

#include "common/LogPrint.h"
#include "net/ChunkedBodyReader.h"
#include "net/HttpDownloadSinks.h"
#include "net/HttpUrl.h"
#include "net/TcpHttpConn.h"
#include "net/WinInetHttpConn.h"
#include "utility/UString.h"

namespace utility {

namespace {

constexpr int kErrorOpen = 10;
constexpr int kErrorConnect = 12;
constexpr int kErrorSend = 16;
constexpr int kErrorHeader = 17;
constexpr int kErrorBody = 19;
constexpr int kMemoryAttempts = 2;
constexpr DWORD kMemoryRetryWaitMs = 200;
constexpr DWORD kOwnStopTimeoutMs = 2000;

// Reports the failed step with the error the failing call left behind; returns the kind of failure.
TransferFailure fail(IHttpClientSink& sink, int code, TransferFailure failure) {
    const DWORD lastError = ::GetLastError();
    sink.onHttpError(code, static_cast<int>(lastError));
    return failure;
}

bool isSuccessStatus(int status) { return status >= 200 && status <= 299; }

// Size of what an earlier attempt left in the file; 0 when there is none.
int64_t existingFileSize(const std::wstring& path) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return 0;
    return size.QuadPart;
}

// Body blocks until the announced length is reached or the connection ends.
TransferFailure receiveBody(IHttpConnection& connection, const HttpResponseHead& head, IHttpClientSink& sink) {
    const std::unique_ptr<char[]> buffer(new char[CHttpClientWrapper::kBlockSize]);
    ChunkedBodyReader chunks;
    int64_t remaining = head.contentLength;
    for (;;) {
        const int n = head.chunked ? chunks.read(connection, buffer.get(), CHttpClientWrapper::kBlockSize)
                              : connection.read(buffer.get(), CHttpClientWrapper::kBlockSize);
        if (n < 0) return fail(sink, kErrorBody, TransferFailure::BrokenBody);
        if (n == 0) {
            // ended before the announced length
            if (remaining >= 0) return fail(sink, kErrorBody, TransferFailure::BrokenBody);
            break;
        }
        if (!sink.onHttpRecvData(buffer.get(), n)) return fail(sink, kErrorBody, TransferFailure::Declined);
        if (remaining > 0) {
            remaining -= n;
            if (remaining <= 0) break;
        }
    }
    sink.onHttpFinished();
    return TransferFailure::None;
}

}  // namespace

CHttpClientWrapper::~CHttpClientWrapper() { closeConnection(); }

IHttpConnection* CHttpClientWrapper::createConnection(const std::wstring& url) const {
    if (isHttpsUrl(url)) return new CWinInetHttpsConn();
    if (useRawSocket_) return new CTcpHttpConn();
    return new CWinInetHttpConn();
}

bool CHttpClientWrapper::transfer(const std::wstring& url, IHttpClientSink& sink) {
    IHttpConnection* connection = createConnection(url);
    // A stop that came before the connection was attached had nothing to close; it fails the transfer
    // as an aborted open, so the caller hears of it like of any other failure.
    TransferFailure failure = TransferFailure::Stopped;
    if (attachConnection(connection)) {
        failure = exchange(*connection, url, sink);
        detachConnection();
    } else {
        ::SetLastError(ERROR_OPERATION_ABORTED);
        fail(sink, kErrorOpen, failure);
    }
    connection->release();
    // A stop breaks the transfer at whatever step it is in; that step's failure is the stop's doing.
    if (failure != TransferFailure::None && (m_bPause || stopSource().stopRequested())) {
        failure = TransferFailure::Stopped;
    }
    lastFailure_ = failure;
    return failure == TransferFailure::None;
}

// The stop check and the attachment happen under one lock with stop(): either stop() sees the
// connection and closes it (a closed connection never opens), or this sees the stop.
bool CHttpClientWrapper::attachConnection(IHttpConnection* connection) {
    std::lock_guard<std::mutex> guard(connectionLock_);
    if (m_bPause || stopSource().stopRequested()) return false;
    connection_ = connection;
    return true;
}

void CHttpClientWrapper::detachConnection() {
    std::lock_guard<std::mutex> guard(connectionLock_);
    connection_ = nullptr;
}

TransferFailure CHttpClientWrapper::exchange(IHttpConnection& connection, const std::wstring& url,
                                             IHttpClientSink& sink) {
    if (!connection.open()) return fail(sink, kErrorOpen, TransferFailure::NoAnswer);
    const ParsedUrl parsed = parseUrl(url);
    host_ = parsed.host;
    port_ = parsed.port;
    path_ = parsed.path;
    if (!connection.connect(host_, port_)) return fail(sink, kErrorConnect, TransferFailure::NoAnswer);
    if (!connection.sendGet(host_, path_, headerBlock())) return fail(sink, kErrorSend, TransferFailure::NoAnswer);
    HttpResponseHead head;
    if (!connection.recvHeader(head)) return fail(sink, kErrorHeader, TransferFailure::NoAnswer);
    if (!sink.onHttpRecvHeader(head)) {
        return isSuccessStatus(head.status) ? TransferFailure::Declined : TransferFailure::ErrorStatus;
    }
    return receiveBody(connection, head, sink);
}

std::wstring CHttpClientWrapper::headerBlock() {
    headers_.emplace(L"Content-Type", L"application/x-www-form-urlencoded");
    headers_.emplace(L"User-Agent", L"okhttp/3.5.0L");
    std::wstring block;
    for (const auto& [name, value] : headers_) block += name + L": " + value + L"\r\n";
    return block;
}

bool CHttpClientWrapper::download2mem(std::string& out, const std::wstring& url) {
    CHttpDownload2MemSink sink(out, stopSource());
    return transfer(url, sink);
}

bool CHttpClientWrapper::download2mem_ex(std::string& out, const std::wstring& url) {
    for (int attempt = 0; attempt < kMemoryAttempts; ++attempt) {
        useRawSocket_ = false;
        out.clear();
        if (download2mem(out, url)) return true;
        if (m_bPause) return false;
        stopSource().wait(kMemoryRetryWaitMs);
        if (stopSource().stopRequested()) return false;
    }
    return false;
}

bool CHttpClientWrapper::download2file(const std::wstring& url, const std::wstring& path, IHttpDownloadSink* sink) {
    CHttpDownload2FileSink fileSink(path, stopSource(), sink, startSize_, startSize_ > 0 ? partialValidator_ : "");
    const bool succeeded = transfer(url, fileSink);
    if (fileSink.startedFile()) {
        partialWritten_ = true;
        partialValidator_ = fileSink.validator();
    }
    restartFromZero_ = fileSink.restartNeeded();
    return succeeded;
}

// An attempt resumes only a file that holds bytes from this call's address: a file left by another
// address always starts afresh.
void CHttpClientWrapper::prepareAttempt(const std::wstring& path) {
    headers_.erase(L"Range");
    headers_.erase(L"If-Range");
    startSize_ = 0;
    if (!partialWritten_ || restartFromZero_) return;
    startSize_ = existingFileSize(path);
    PEL_LOG(L"start size %I64d", static_cast<long long>(startSize_));
    if (startSize_ <= 0) return;
    headers_[L"Range"] = L"bytes=" + std::to_wstring(startSize_) + L"-";
    if (!partialValidator_.empty()) headers_[L"If-Range"] = ustring::ansiToWide(partialValidator_);
}

bool CHttpClientWrapper::download2file_ex(IHttpDownloadSink* sink, const std::wstring& path, const std::wstring& url,
                                          int attempts, int waitMs, bool rawSocket, const PartialFile* earlier) {
    useRawSocket_ = rawSocket;
    std::wstring target = url;
    if (rawSocket && target.compare(0, 5, L"https") == 0) target.replace(0, 5, L"http");
    partialUrl_ = target;
    partialWritten_ = earlier != nullptr && earlier->url == target;
    partialValidator_ = partialWritten_ ? earlier->validator : std::string();
    restartFromZero_ = false;
    // Nothing transferred yet: a call without attempts fails as one that got no answer.
    lastFailure_ = TransferFailure::NoAnswer;

    bool succeeded = false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        PEL_LOG(L"download %s", path.c_str());
        prepareAttempt(path);
        succeeded = download2file(target, path, sink);
        // A part that did not fit is asked for again at once, as the whole file.
        if (!succeeded && restartFromZero_ && !m_bPause) {
            prepareAttempt(path);
            succeeded = download2file(target, path, sink);
        }
        if (succeeded) {
            PEL_LOG(L"download %s sucess", path.c_str());
            break;
        }
        if (m_bPause) {
            PEL_LOG(L"m_bPause is true");
            break;
        }
        stopSource().wait(static_cast<DWORD>(waitMs));
        if (stopSource().stopRequested()) break;
    }
    // A later transfer on this client must not ask for a part of some other file.
    headers_.erase(L"Range");
    headers_.erase(L"If-Range");
    return succeeded;
}

std::optional<CHttpClientWrapper::PartialFile> CHttpClientWrapper::partialFile() const {
    if (!partialWritten_) return std::nullopt;
    return PartialFile{partialUrl_, partialValidator_};
}

void CHttpClientWrapper::closeConnection() {
    std::lock_guard<std::mutex> guard(connectionLock_);
    if (connection_ != nullptr) connection_->close();
}

void CHttpClientWrapper::stop() {
    if (stopSource_ == nullptr) ownRecord_.requestStop();
    {
        std::lock_guard<std::mutex> guard(connectionLock_);
        m_bPause = true;
        if (connection_ != nullptr) connection_->close();
    }
    if (stopSource_ == nullptr) ownRecord_.stop(kOwnStopTimeoutMs);
}

}  // namespace utility

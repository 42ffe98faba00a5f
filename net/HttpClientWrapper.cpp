#include "net/HttpClientWrapper.h"

#include <windows.h>
#include <shlwapi.h>

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

// Reports the failed step with the error the failing call left behind.
bool fail(IHttpClientSink& sink, int code) {
    const DWORD lastError = ::GetLastError();
    sink.onHttpError(code, static_cast<int>(lastError));
    return false;
}

bool isChunked(const std::string& headers) {
    std::string encoding;
    return ustring::headerValue(headers.c_str(), "Transfer-Encoding", encoding) &&
           ::lstrcmpiA(encoding.c_str(), "chunked") == 0;
}

// Size of what an earlier attempt left in the file; 0 when there is none.
int existingFileSize(const std::wstring& path) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return 0;
    return static_cast<int>(size.LowPart);
}

// Body blocks until the announced length is reached or the connection ends.
bool receiveBody(IHttpConnection& connection, const std::string& headers, int contentLength, IHttpClientSink& sink) {
    const std::unique_ptr<char[]> buffer(new char[CHttpClientWrapper::kBlockSize]);
    const bool chunked = isChunked(headers);
    ChunkedBodyReader chunks;
    int remaining = contentLength;
    for (;;) {
        const int n = chunked ? chunks.read(connection, buffer.get(), CHttpClientWrapper::kBlockSize)
                              : connection.read(buffer.get(), CHttpClientWrapper::kBlockSize);
        if (n < 0) return fail(sink, kErrorBody);
        if (n == 0) {
            if (remaining >= 0) return fail(sink, kErrorBody);  // ended before the announced length
            break;
        }
        if (!sink.onHttpRecvData(buffer.get(), n)) return fail(sink, kErrorBody);
        if (remaining > 0) {
            remaining -= n;
            if (remaining <= 0) break;
        }
    }
    sink.onHttpFinished();
    return true;
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
    {
        std::lock_guard<std::mutex> guard(connectionLock_);
        connection_ = connection;
    }
    // A stop that came before the connection existed had nothing to close; it fails the transfer
    // as an aborted open, so the caller hears of it like of any other failure.
    bool succeeded = false;
    if (m_bPause) {
        ::SetLastError(ERROR_OPERATION_ABORTED);
        fail(sink, kErrorOpen);
    } else {
        succeeded = exchange(*connection, url, sink);
    }
    {
        std::lock_guard<std::mutex> guard(connectionLock_);
        connection_ = nullptr;
    }
    connection->release();
    return succeeded;
}

bool CHttpClientWrapper::exchange(IHttpConnection& connection, const std::wstring& url, IHttpClientSink& sink) {
    if (!connection.open()) return fail(sink, kErrorOpen);
    const ParsedUrl parsed = parseUrl(url);
    host_ = parsed.host;
    port_ = parsed.port;
    path_ = parsed.path;
    if (!connection.connect(host_, port_)) return fail(sink, kErrorConnect);
    if (!connection.sendGet(host_, path_, headerBlock())) return fail(sink, kErrorSend);
    std::string headers;
    int status = 0;
    int contentLength = -1;
    if (!connection.recvHeader(headers, status, contentLength)) return fail(sink, kErrorHeader);
    if (!sink.onHttpRecvHeader(status, contentLength)) return false;
    return receiveBody(connection, headers, contentLength, sink);
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
    m_bPause = false;
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
    CHttpDownload2FileSink fileSink(path, stopSource(), sink, startSize_);
    return transfer(url, fileSink);
}

bool CHttpClientWrapper::download2file_ex(IHttpDownloadSink* sink, const std::wstring& path, const std::wstring& url,
                                          int attempts, int waitMs, bool rawSocket) {
    m_bPause = false;
    useRawSocket_ = rawSocket;
    std::wstring target = url;
    if (rawSocket && target.compare(0, 5, L"https") == 0) target.replace(0, 5, L"http");

    bool succeeded = false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        PEL_LOG(L"download %s", path.c_str());
        headers_.erase(L"Range");
        startSize_ = 0;
        if (attempt > 0) {
            startSize_ = existingFileSize(path);
            PEL_LOG(L"start size %d", startSize_);
            if (startSize_ > 0) headers_[L"Range"] = L"bytes=" + std::to_wstring(startSize_) + L"-";
        }
        if (download2file(target, path, sink)) {
            PEL_LOG(L"download %s sucess", path.c_str());
            succeeded = true;
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
    return succeeded;
}

void CHttpClientWrapper::closeConnection() {
    std::lock_guard<std::mutex> guard(connectionLock_);
    if (connection_ != nullptr) connection_->close();
}

void CHttpClientWrapper::stop() {
    if (stopSource_ != nullptr) {
        m_bPause = true;
        closeConnection();
        return;
    }
    ownRecord_.requestStop();
    m_bPause = true;
    closeConnection();
    ownRecord_.stop(kOwnStopTimeoutMs);
}

}  // namespace utility

#pragma once
// HTTP through WinINet, the default back-end; the HTTPS variant starts with TLS. WinINet decodes
// chunked bodies itself.
// The calls run asynchronously, each wait bounded by the transfer limits and ended at once by close()
// from another thread: under Wine a synchronous read ignores a closed handle and waits to fill its whole
// buffer. Redirects (301, 302, 303, 307, 308) are followed here, at most maxRedirects of them, since
// Wine's own following never gives up on a loop.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <mutex>
#include <string>

#include "net/HttpConnection.h"
#include "net/InternetHandle.h"
#include "net/TransferLimits.h"
#include "net/WinInetCallState.h"

namespace utility {

class CWinInetHttpConn : public IHttpConnection {
public:
    CWinInetHttpConn() : CWinInetHttpConn(false) {}
    CWinInetHttpConn(const CWinInetHttpConn&) = delete;
    CWinInetHttpConn& operator=(const CWinInetHttpConn&) = delete;

    void release() override;
    // Ends the waiting step and closes request, connection and session; any thread.
    void close() override;
    bool open() override;
    bool connect(const std::wstring& host, unsigned short port) override;
    bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) override;
    bool sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body, int length) override;
    // WinINet decodes chunked bodies itself, so the head never says chunked.
    bool recvHeader(HttpResponseHead& head) override;
    // What has arrived, up to size bytes, waiting at most stallMs for the first of them.
    int read(char* buffer, int size) override;

protected:
    explicit CWinInetHttpConn(bool secure);
    ~CWinInetHttpConn() override;

private:
    enum class ReadStep { Data, Again, End, Failed };

    bool sendFollowingRedirects(const wchar_t* verb, const std::wstring& extraHeaders, std::string body);
    bool sendRequest(const wchar_t* verb, const std::wstring& extraHeaders, const std::string& body);
    bool connectHandle();
    bool moveTo(const std::wstring& location);
    int redirectStatus(std::wstring& location);
    ReadStep readAvailable(DWORD size, DWORD& got);
    bool finished(BOOL done, DWORD error);
    bool abandon(DWORD error);
    DWORD requestFlags() const;
    int statusCode() const;
    std::string queryText(DWORD query) const;

    WinInetCallState* const state_;
    // Held for every call on the handles, none of which blocks in asynchronous mode, and by close().
    std::mutex callLock_;
    std::atomic<bool> closed_{false};
    UniqueInternetHandle session_;
    UniqueInternetHandle connection_;
    UniqueInternetHandle request_;
    TransferLimits limits_;
    // Where the request goes; a redirect moves it.
    bool secure_;
    std::wstring host_;
    unsigned short port_ = 0;
    std::wstring path_;
};

class CWinInetHttpsConn : public CWinInetHttpConn {
public:
    CWinInetHttpsConn() : CWinInetHttpConn(true) {}
};

}  // namespace utility

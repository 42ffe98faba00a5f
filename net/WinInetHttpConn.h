#pragma once
// HTTP through WinINet, the default back-end; the HTTPS variant adds TLS. WinINet follows redirects
// and decodes chunked bodies itself.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <string>

#include "net/HttpConnection.h"

namespace utility {

class CWinInetHttpConn : public IHttpConnection {
public:
    void release() override;
    // Closes request, connection and session; any thread, which is how a blocked read is broken.
    void close() override;
    bool open() override;
    bool connect(const std::wstring& host, unsigned short port) override;
    bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) override;
    bool sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body, int length) override;
    // WinINet decodes chunked bodies itself, so the head never says chunked.
    bool recvHeader(HttpResponseHead& head) override;
    int read(char* buffer, int size) override;

protected:
    std::string queryText(DWORD query) const;
    bool openRequest(const wchar_t* verb, const std::wstring& path, DWORD flags);
    bool sendGetWithFlags(const std::wstring& path, const std::wstring& extraHeaders, DWORD flags);

private:
    std::atomic<HINTERNET> session_{nullptr};
    std::atomic<HINTERNET> connection_{nullptr};
    std::atomic<HINTERNET> request_{nullptr};
};

class CWinInetHttpsConn : public CWinInetHttpConn {
public:
    bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) override;
};

}  // namespace utility

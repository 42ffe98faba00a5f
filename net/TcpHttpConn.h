#pragma once
// HTTP/1.1 GET written by hand over a TCP socket: the fallback when WinINet fails. Follows 301 and
// 302 itself (at most kMaxRedirects hops, never a loop) and leaves chunked bodies to the caller.

#include <set>
#include <string>

#include "net/HttpConnection.h"
#include "net/TcpSocket.h"

namespace utility {

class CTcpHttpConn : public IHttpConnection {
public:
    static constexpr int kMaxRedirects = 10;
    // A header block larger than this is not an HTTP answer we can use.
    static constexpr size_t kMaxHeaderBytes = 64 * 1024;

    void release() override;
    void close() override;
    bool open() override;
    bool connect(const std::wstring& host, unsigned short port) override;
    bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) override;
    bool sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body, int length) override;
    bool recvHeader(HttpResponseHead& head) override;
    int read(char* buffer, int size) override;

    // The request text sendGet puts on the wire (before conversion to the ANSI code page).
    static std::wstring buildGetRequest(const std::wstring& host, const std::wstring& path,
                                        const std::wstring& extraHeaders);

private:
    bool receiveHeaderBlock(std::string& headers);
    bool followRedirect(const std::string& headers);

    CTcpSocket socket_;
    std::wstring host_;
    unsigned short port_ = 0;
    std::wstring path_;
};

}  // namespace utility

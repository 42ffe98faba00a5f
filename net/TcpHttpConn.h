#pragma once
// HTTP/1.1 GET written by hand over a TCP socket: the fallback when WinINet fails. Follows 301 and
// 302 itself (at most the transfer limits' redirects, never a loop) and leaves chunked bodies to the
// caller. The transfer limits read at open() bound it: resolving and connecting together take at most
// connectMs (a host's addresses share it), and a silence of stallMs fails the step. Only the name
// lookup (gethostbyname) cannot be bounded or broken off.

#include <set>
#include <string>

#include "net/HttpConnection.h"
#include "net/TcpSocket.h"
#include "net/TransferLimits.h"

namespace utility {

class CTcpHttpConn : public IHttpConnection {
public:
    // A header block larger than this is not an HTTP answer we can use.
    static constexpr size_t kMaxHeaderBytes = 64 * 1024;
    // Addresses of one host name tried in turn; they share the connect time.
    static constexpr int kMaxAddresses = 4;

    void release() override;
    void close() override;
    bool open() override;
    bool connect(const std::wstring& host, unsigned short port) override;
    // Refuses, sending nothing, a host or path with control characters, and a header block whose CR
    // or LF is not part of a line end: none of them may add a line to the request.
    bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) override;
    bool sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body, int length) override;
    bool recvHeader(HttpResponseHead& head) override;
    int read(char* buffer, int size) override;

    // The request text sendGet puts on the wire (before conversion to the ANSI code page); blanks in
    // the path go out as %20.
    static std::wstring buildGetRequest(const std::wstring& host, const std::wstring& path,
                                        const std::wstring& extraHeaders);

private:
    bool reopen();
    bool receiveHeaderBlock(std::string& headers);
    bool followRedirect(const std::string& headers, std::set<std::wstring>& visited);

    CTcpSocket socket_;
    TransferLimits limits_;
    std::wstring host_;
    unsigned short port_ = 0;
    std::wstring path_;
};

}  // namespace utility

#pragma once
// One HTTP GET through some back-end: open, connect, send, read the header, read the body in blocks.
// A connection serves one transfer on one thread; close() may also be called from another thread to
// break a blocked call, and once closed a connection never opens again.
// Every blocking step is bounded by the transfer limits (net/TransferLimits.h).

#include <string>

#include "net/HttpResponseHead.h"

namespace utility {

class IHttpConnection {
public:
    // Closes, then frees the object.
    virtual void release() = 0;
    // Any thread; sticky: a later open, connect, send or read fails.
    virtual void close() = 0;
    virtual bool open() = 0;
    virtual bool connect(const std::wstring& host, unsigned short port) = 0;
    // extraHeaders: "Name: value\r\n" lines.
    virtual bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) = 0;
    virtual bool sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body,
                          int length) = 0;
    // The head of the final answer, after any redirects the back-end follows.
    virtual bool recvHeader(HttpResponseHead& head) = 0;
    // Bytes read, 0 at the end, negative on failure (including a stall past the limit).
    virtual int read(char* buffer, int size) = 0;

protected:
    virtual ~IHttpConnection() = default;
};

}  // namespace utility

#pragma once
// One HTTP GET through some back-end: open, connect, send, read the header, read the body in blocks.
// A connection serves one transfer on one thread; close() may also be called from another thread to
// break a blocked call.

#include <string>

namespace utility {

class IHttpConnection {
public:
    // Closes, then frees the object.
    virtual void release() = 0;
    virtual void close() = 0;
    virtual bool open() = 0;
    virtual bool connect(const std::wstring& host, unsigned short port) = 0;
    // extraHeaders: "Name: value\r\n" lines.
    virtual bool sendGet(const std::wstring& host, const std::wstring& path, const std::wstring& extraHeaders) = 0;
    virtual bool sendPost(const std::wstring& path, const std::wstring& extraHeaders, const char* body,
                          int length) = 0;
    // contentLength is -1 when the answer has none. headers is filled by back-ends that see them raw.
    virtual bool recvHeader(std::string& headers, int& status, int& contentLength) = 0;
    // Bytes read, 0 at the end, negative on failure.
    virtual int read(char* buffer, int size) = 0;

protected:
    virtual ~IHttpConnection() = default;
};

}  // namespace utility

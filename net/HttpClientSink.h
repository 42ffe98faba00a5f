#pragma once
// What one HTTP transfer reports to: errors by step, the header, body blocks and the end.

#include "net/HttpConnection.h"

namespace utility {

class IHttpClientSink {
public:
    // The step that failed (10 open, 12 connect, 16 send, 17 header, 19 body) and GetLastError().
    virtual void onHttpError(int code, int lastError) = 0;
    // False fails the transfer without a further error call.
    virtual bool onHttpRecvHeader(const HttpResponseHead& head) = 0;
    // At most the client's block size. False aborts the transfer (error 19).
    virtual bool onHttpRecvData(const char* data, int length) = 0;
    virtual void onHttpFinished() = 0;

protected:
    ~IHttpClientSink() = default;
};

}  // namespace utility

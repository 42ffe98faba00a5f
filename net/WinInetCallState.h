#pragma once
// What the asynchronous WinINet calls of one connection share with the thread that waits for them.
// A call given up on (a stop, a time-out) may still complete later and write its result, its byte
// count and its data; everything such a call can write lives here, and this object lives until WinINet
// has sent its last notice, the handle-closing one, for every handle made with it as context, however
// long after the connection that is.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <string>

#include "net/TransferLimits.h"
#include "utility/ScopedHandle.h"

namespace utility {

class WinInetCallState {
public:
    // With one reference, the creator's.
    static WinInetCallState* create();
    WinInetCallState(const WinInetCallState&) = delete;
    WinInetCallState& operator=(const WinInetCallState&) = delete;

    void addRef();
    void release();

    // The context for InternetConnect and HttpOpenRequest. A handle made with it needs a reference of
    // its own (addRef once it exists), which its closing notice gives back.
    DWORD_PTR context() { return reinterpret_cast<DWORD_PTR>(this); }
    // The status callback to install on the session; its own notices (context 0) are ignored.
    static void CALLBACK onStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info, DWORD length);

    // Ends every present and later wait. Any thread.
    void cancel();

    // Starts the bound of a request: connectMs while the name is resolved and the server connected,
    // stallMs from each later notice (sent, answer coming, connection closing...).
    void beginRequest(const TransferLimits& limits);
    // Starts the bound of a body read: stallMs from now, whatever WinINet reports meanwhile.
    void beginRead(const TransferLimits& limits);
    bool expired() const { return remainingMs() == 0; }
    // Waits for the call that returned ERROR_IO_PENDING. False with the last error set when the call
    // failed (its own error), the bound passed (ERROR_INTERNET_TIMEOUT) or cancel() came
    // (ERROR_OPERATION_ABORTED). Each completion is taken by the wait of its call, and a call given up
    // on ends the connection, so no completion is left over for a later call.
    bool awaitCall();

    // A read block of `size` bytes for InternetReadFileEx; the bytes are at data().
    INTERNET_BUFFERSA& readBlock(DWORD size);
    const char* data() const { return buffer_.get(); }
    // For InternetQueryDataAvailable.
    DWORD& available() { return available_; }
    // What a request sends, kept for as long as its call may read it.
    std::wstring& requestHeaders() { return headers_; }
    std::string& requestBody() { return body_; }

private:
    WinInetCallState();
    ~WinInetCallState() = default;

    void complete(const INTERNET_ASYNC_RESULT& result);
    void noteProgress(DWORD status);
    void startBound(DWORD boundMs, bool renewedByNotices);
    DWORD remainingMs() const;

    std::atomic<long> references_{1};
    UniqueHandle completed_;
    UniqueHandle cancelled_;
    std::atomic<bool> failed_{false};
    std::atomic<DWORD> error_{ERROR_SUCCESS};

    // The running step's bound: boundMs_ from since_; notices move it while renewedByNotices_.
    std::atomic<DWORD> since_{0};
    std::atomic<DWORD> boundMs_{0};
    std::atomic<bool> renewedByNotices_{false};
    std::atomic<DWORD> connectMs_{0};
    std::atomic<DWORD> stallMs_{0};

    std::unique_ptr<char[]> buffer_;
    DWORD bufferSize_ = 0;
    INTERNET_BUFFERSA block_{};
    DWORD available_ = 0;
    std::wstring headers_;
    std::string body_;
};

}  // namespace utility

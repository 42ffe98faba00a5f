#pragma once
// The one HTTP client of the downloader: blocking GET transfers into a file or into memory, with
// retries that resume a partial file. Runs on the caller's (worker) thread; stop() comes from another.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "net/HttpClientSink.h"
#include "net/HttpConnection.h"
#include "net/TransferFailure.h"
#include "utility/TaskThread.h"

namespace utility {

class CHttpClientWrapper {
public:
    // Progress of a file download, implemented by the model and the main window.
    class IHttpDownloadSink {
    public:
        // Before each block is written. received counts the whole file, earlier attempts included;
        // total is the expected file size or -1. False aborts the transfer.
        virtual bool onDownloadProgress(const char* data, int length, int64_t received, int64_t total) = 0;
        virtual bool onDownloadFinished() = 0;

    protected:
        ~IHttpDownloadSink() = default;
    };

    // What a file download left unfinished at its path: the address it came from, as requested (after
    // any change of https:// into http://), and the validator (ETag or Last-Modified) of the answer that
    // began the file.
    struct PartialFile {
        std::wstring url;
        std::string validator;
    };

    // Largest body block read and handed on at once: under Wine, reads of 256 KiB move several times
    // as much per CPU second as reads of 32 KiB.
    static constexpr int kBlockSize = 256 * 1024;

    CHttpClientWrapper() = default;
    ~CHttpClientWrapper();
    CHttpClientWrapper(const CHttpClientWrapper&) = delete;
    CHttpClientWrapper& operator=(const CHttpClientWrapper&) = delete;

    // One transfer appended to out; an answer larger than the memory limit fails.
    bool download2mem(std::string& out, const std::wstring& url);
    // Up to two attempts through WinINet, 200 ms apart.
    bool download2mem_ex(std::string& out, const std::wstring& url);
    // One transfer into the file; continues it when a resumed attempt is under way.
    bool download2file(const std::wstring& url, const std::wstring& path, IHttpDownloadSink* sink);
    // Up to `attempts` transfers, waitMs apart; a retry resumes what an earlier attempt of this call wrote,
    // asking with If-Range for the same version of the file; an answer that does not continue the file
    // exactly restarts it from 0. rawSocket: plain HTTP over our own socket, https:// turned into http://.
    // earlier: what an earlier call left in the file; when it came from the same address, the first
    // attempt continues it too, else the file starts afresh.
    bool download2file_ex(IHttpDownloadSink* sink, const std::wstring& path, const std::wstring& url, int attempts,
                          int waitMs, bool rawSocket, const PartialFile* earlier = nullptr);
    // After download2file_ex: what the file holds when it holds bytes from the call's address (written by
    // it or continued from `earlier`); nothing when the call left another address's file untouched.
    std::optional<PartialFile> partialFile() const;

    // How the last transfer ended. The thread that runs the transfers.
    TransferFailure lastFailure() const { return lastFailure_; }

    // Ends the running transfer and the retries, and refuses every later transfer. Any thread.
    void stop();

    // The worker record whose stop event and flag this client observes (not owned). Without one the
    // client uses a record of its own.
    void setStopSource(TaskThread* source) { stopSource_ = source; }

private:
    TaskThread& stopSource() { return stopSource_ != nullptr ? *stopSource_ : ownRecord_; }
    IHttpConnection* createConnection(const std::wstring& url) const;
    bool transfer(const std::wstring& url, IHttpClientSink& sink);
    bool attachConnection(IHttpConnection* connection);
    void detachConnection();
    void prepareAttempt(const std::wstring& path);
    TransferFailure exchange(IHttpConnection& connection, const std::wstring& url, IHttpClientSink& sink);
    std::wstring headerBlock();
    void closeConnection();

    std::wstring host_;
    unsigned short port_ = 0;
    std::wstring path_;
    std::map<std::wstring, std::wstring> headers_;
    // Set and cleared by the transfer thread only; stop() may close it under the lock, never free it.
    IHttpConnection* connection_ = nullptr;
    std::mutex connectionLock_;
    bool useRawSocket_ = false;
    TaskThread ownRecord_;
    TaskThread* stopSource_ = nullptr;
    int64_t startSize_ = 0;
    // Set for good by stop(); guarded by connectionLock_ where it meets connection_.
    std::atomic<bool> m_bPause{false};

    TransferFailure lastFailure_ = TransferFailure::None;

    // The file of the running (or last) download2file_ex call: the address it asks, whether the file holds
    // bytes from that address (written by this call or continued from an earlier one), and the validator
    // (ETag or Last-Modified) of the answer that started it.
    std::wstring partialUrl_;
    bool partialWritten_ = false;
    std::string partialValidator_;
    // The last file transfer's answer did not continue the file: the next request starts it from 0.
    bool restartFromZero_ = false;
};

}  // namespace utility

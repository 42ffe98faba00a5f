#pragma once
// The two places a transfer's body goes: a byte string, or a file with progress reports.

#include <cstdint>
#include <string>

#include "net/HttpClientSink.h"
#include "net/HttpClientWrapper.h"
#include "utility/ScopedHandle.h"
#include "utility/TaskThread.h"

namespace utility {

class CHttpDownload2MemSink : public IHttpClientSink {
public:
    // Refuses an answer larger than the transfer limits' memory size.
    CHttpDownload2MemSink(std::string& out, const TaskThread& stopSource);

    void onHttpError(int code, int lastError) override;
    bool onHttpRecvHeader(const HttpResponseHead& head) override;
    bool onHttpRecvData(const char* data, int length) override;
    void onHttpFinished() override {}

private:
    std::string& out_;
    const TaskThread& stopSource_;
    const size_t limit_;
};

class CHttpDownload2FileSink : public IHttpClientSink {
public:
    // startSize: bytes the file already holds from an earlier attempt, 0 to start it afresh.
    // expectedValidator: the ETag or Last-Modified of the answer that began the file, when known.
    CHttpDownload2FileSink(std::wstring path, const TaskThread& stopSource,
                           CHttpClientWrapper::IHttpDownloadSink* downloadSink, int64_t startSize,
                           std::string expectedValidator = {})
        : path_(std::move(path)),
          stopSource_(stopSource),
          downloadSink_(downloadSink),
          startSize_(startSize),
          expectedValidator_(std::move(expectedValidator)) {}

    void onHttpError(int code, int lastError) override;
    bool onHttpRecvHeader(const HttpResponseHead& head) override;
    bool onHttpRecvData(const char* data, int length) override;
    void onHttpFinished() override;

    // After the transfer: the file was begun anew by it, with the answer's validator.
    bool startedFile() const { return startedFile_; }
    const std::string& validator() const { return validator_; }
    // The answer was a part that does not continue the file; the file was emptied for a fresh start.
    bool restartNeeded() const { return restartNeeded_; }

private:
    bool continues(const HttpResponseHead& head) const;
    bool startFile(const HttpResponseHead& head);
    bool continueFile(const HttpResponseHead& head);
    bool refusePart();

    UniqueHandle file_;
    std::wstring path_;
    const TaskThread& stopSource_;
    CHttpClientWrapper::IHttpDownloadSink* downloadSink_;
    int64_t received_ = 0;
    int64_t total_ = 0;
    int64_t startSize_;
    std::string expectedValidator_;
    bool startedFile_ = false;
    std::string validator_;
    bool restartNeeded_ = false;
};

}  // namespace utility

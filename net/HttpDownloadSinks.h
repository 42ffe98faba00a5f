#pragma once
// The two places a transfer's body goes: a byte string, or a file with progress reports.

#include <string>

#include "net/HttpClientSink.h"
#include "net/HttpClientWrapper.h"
#include "utility/ScopedHandle.h"
#include "utility/TaskThread.h"

namespace utility {

class CHttpDownload2MemSink : public IHttpClientSink {
public:
    CHttpDownload2MemSink(std::string& out, const TaskThread& stopSource) : out_(out), stopSource_(stopSource) {}

    void onHttpError(int code, int lastError) override;
    bool onHttpRecvHeader(int status, int contentLength) override;
    bool onHttpRecvData(const char* data, int length) override;
    void onHttpFinished() override {}

private:
    std::string& out_;
    const TaskThread& stopSource_;
};

class CHttpDownload2FileSink : public IHttpClientSink {
public:
    // startSize: bytes the file already holds from an earlier attempt, 0 to start it afresh.
    CHttpDownload2FileSink(std::wstring path, const TaskThread& stopSource,
                           CHttpClientWrapper::IHttpDownloadSink* downloadSink, int startSize)
        : path_(std::move(path)), stopSource_(stopSource), downloadSink_(downloadSink), startSize_(startSize) {}

    void onHttpError(int code, int lastError) override;
    bool onHttpRecvHeader(int status, int contentLength) override;
    bool onHttpRecvData(const char* data, int length) override;
    void onHttpFinished() override;

private:
    bool startFile();
    bool continueFile(int contentLength);

    UniqueHandle file_;
    std::wstring path_;
    const TaskThread& stopSource_;
    CHttpClientWrapper::IHttpDownloadSink* downloadSink_;
    int received_ = 0;
    int total_ = 0;
    int startSize_;
};

}  // namespace utility

#include "net/HttpDownloadSinks.h"

#include <windows.h>

#include "common/LogPrint.h"
#include "net/TransferLimits.h"

namespace utility {

namespace {

constexpr int kStatusOk = 200;
constexpr int kStatusPartial = 206;

// The file is opened as a step of the header handling; its failures are logged under that name.
constexpr char kHeaderStep[] = "utility::CHttpDownload2FileSink::onHttpRecvHeader";

bool isSuccess(int status) { return status >= 200 && status <= 299; }

HANDLE openForWriting(const std::wstring& path, DWORD disposition) {
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

CHttpDownload2MemSink::CHttpDownload2MemSink(std::string& out, const TaskThread& stopSource)
    : out_(out), stopSource_(stopSource), limit_(transferLimits().memoryAnswerBytes) {}

void CHttpDownload2MemSink::onHttpError(int code, int lastError) {
    PEL_LOG(L"CHttpDownload2MemSink http code %d, error = %d", code, lastError);
}

bool CHttpDownload2MemSink::onHttpRecvHeader(const HttpResponseHead& head) {
    if (!isSuccess(head.status)) {
        PEL_LOG(L"onHttpRecvHeader error status %d", head.status);
        return false;
    }
    PEL_LOG(L"on http header size : %I64d", static_cast<long long>(head.contentLength));
    if (head.contentLength > static_cast<int64_t>(limit_)) {
        PEL_LOG(L"answer of %I64d bytes is larger than %u, refused", static_cast<long long>(head.contentLength),
                static_cast<unsigned>(limit_));
        return false;
    }
    return true;
}

bool CHttpDownload2MemSink::onHttpRecvData(const char* data, int length) {
    if (stopSource_.stopRequested()) return false;
    if (out_.size() + static_cast<size_t>(length) > limit_) {
        PEL_LOG(L"answer grew past %u bytes, refused", static_cast<unsigned>(limit_));
        return false;
    }
    out_.append(data, static_cast<size_t>(length));
    return true;
}

void CHttpDownload2FileSink::onHttpError(int code, int lastError) {
    PEL_LOG(L"CHttpDownload2FileSink http code %d, error = %d", code, lastError);
}

bool CHttpDownload2FileSink::onHttpRecvHeader(const HttpResponseHead& head) {
    PEL_LOG(L"onHttpRecvHeader status %d, total %I64d", head.status, static_cast<long long>(head.contentLength));
    if (!isSuccess(head.status)) {
        PEL_LOG(L"onHttpRecvHeader error");
        return false;
    }
    total_ = head.contentLength;
    received_ = 0;
    if (startSize_ < 1) return startFile(head);
    // A server that ignores Range, or whose file changed (If-Range), sends the whole file: appending
    // it would corrupt the download.
    if (head.status == kStatusOk) {
        PEL_LOG(L"range not honoured, downloading %s from the start", path_.c_str());
        return startFile(head);
    }
    if (!continues(head)) return refusePart();
    return continueFile(head);
}

// A part continues the file only if it starts exactly at its end and comes from the same version.
bool CHttpDownload2FileSink::continues(const HttpResponseHead& head) const {
    if (head.status != kStatusPartial || head.rangeStart != startSize_) {
        PEL_LOG(L"part starts at %I64d, the file holds %I64d bytes", static_cast<long long>(head.rangeStart),
                static_cast<long long>(startSize_));
        return false;
    }
    if (!expectedValidator_.empty() && !head.validator.empty() && head.validator != expectedValidator_) {
        PEL_LOG(L"the file changed on the server since the download began");
        return false;
    }
    return true;
}

// The part is of no use; the file is emptied so that the next request begins it afresh.
bool CHttpDownload2FileSink::refusePart() {
    PEL_LOG(L"downloading %s from the start", path_.c_str());
    file_.reset(openForWriting(path_, CREATE_ALWAYS));
    file_.reset();
    restartNeeded_ = true;
    return false;
}

bool CHttpDownload2FileSink::startFile(const HttpResponseHead& head) {
    file_.reset(openForWriting(path_, CREATE_ALWAYS));
    if (!file_) {
        PEL_LOG_AS(kHeaderStep, L"create file error; filename %s lasterror:%d", path_.c_str(), ::GetLastError());
        return false;
    }
    startedFile_ = true;
    validator_ = head.validator;
    return true;
}

bool CHttpDownload2FileSink::continueFile(const HttpResponseHead& head) {
    received_ = startSize_;
    if (head.rangeTotal > 0) {
        total_ = head.rangeTotal;
    } else if (head.contentLength > 0) {
        total_ = head.contentLength + startSize_;
    }
    file_.reset(openForWriting(path_, OPEN_ALWAYS));
    const LARGE_INTEGER noMove{};
    if (!file_ || !::SetFilePointerEx(file_.get(), noMove, nullptr, FILE_END)) {
        PEL_LOG_AS(kHeaderStep, L"downloader error open file error: lasterror %d", ::GetLastError());
        return false;
    }
    return true;
}

bool CHttpDownload2FileSink::onHttpRecvData(const char* data, int length) {
    if (stopSource_.stopRequested()) return false;
    received_ += length;
    if (downloadSink_ != nullptr && !downloadSink_->onDownloadProgress(data, length, received_, total_)) return false;
    DWORD written = 0;
    return ::WriteFile(file_.get(), data, static_cast<DWORD>(length), &written, nullptr) &&
           written == static_cast<DWORD>(length);
}

void CHttpDownload2FileSink::onHttpFinished() {
    PEL_LOG(L"http finish, recv = %I64d, total = %I64d", static_cast<long long>(received_),
            static_cast<long long>(total_));
    if (downloadSink_ != nullptr) downloadSink_->onDownloadFinished();
    file_.reset();
}

}  // namespace utility

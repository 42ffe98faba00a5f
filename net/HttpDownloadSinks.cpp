#include "net/HttpDownloadSinks.h"

#include <windows.h>

#include "common/LogPrint.h"

namespace utility {

namespace {

constexpr int kStatusOk = 200;

// The file is opened as a step of the header handling; its failures are logged under that name.
constexpr char kHeaderStep[] = "utility::CHttpDownload2FileSink::onHttpRecvHeader";

bool isSuccess(int status) { return status >= 200 && status <= 299; }

HANDLE openForWriting(const std::wstring& path, DWORD disposition) {
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

void CHttpDownload2MemSink::onHttpError(int code, int lastError) {
    PEL_LOG(L"CHttpDownload2MemSink http code %d, error = %d", code, lastError);
}

bool CHttpDownload2MemSink::onHttpRecvHeader(int status, int contentLength) {
    if (!isSuccess(status)) {
        PEL_LOG(L"onHttpRecvHeader error status %d", status);
        return false;
    }
    PEL_LOG(L"on http header size : %d", contentLength);
    return true;
}

bool CHttpDownload2MemSink::onHttpRecvData(const char* data, int length) {
    if (stopSource_.stopRequested()) return false;
    out_.append(data, static_cast<size_t>(length));
    return true;
}

void CHttpDownload2FileSink::onHttpError(int code, int lastError) {
    PEL_LOG(L"CHttpDownload2FileSink http code %d, error = %d", code, lastError);
}

bool CHttpDownload2FileSink::onHttpRecvHeader(int status, int contentLength) {
    PEL_LOG(L"onHttpRecvHeader status %d, total %d", status, contentLength);
    if (!isSuccess(status)) {
        PEL_LOG(L"onHttpRecvHeader error");
        return false;
    }
    total_ = contentLength;
    received_ = 0;
    if (startSize_ < 1) return startFile();
    // A server that ignores Range sends the whole file: appending it would corrupt the download.
    if (status == kStatusOk) {
        PEL_LOG(L"range not honoured, downloading %s from the start", path_.c_str());
        return startFile();
    }
    return continueFile(contentLength);
}

bool CHttpDownload2FileSink::startFile() {
    file_.reset(openForWriting(path_, CREATE_ALWAYS));
    if (!file_) {
        PEL_LOG_AS(kHeaderStep, L"create file error; filename %s lasterror:%d", path_.c_str(), ::GetLastError());
        return false;
    }
    return true;
}

bool CHttpDownload2FileSink::continueFile(int contentLength) {
    received_ = startSize_;
    if (contentLength > 0) total_ = contentLength + startSize_;
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
    PEL_LOG(L"http finish, recv = %d, total = %d", received_, total_);
    if (downloadSink_ != nullptr) downloadSink_->onDownloadFinished();
    file_.reset();
}

}  // namespace utility

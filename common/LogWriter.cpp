#include "common/LogWriter.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>

namespace common {

// The log file as the writer thread sees it: opened once, appended to, restarted empty on demand.
// It owns its handle itself, so the log depends on nothing above it.
class LogWriter::File {
public:
    explicit File(const std::wstring& path) : path_(path) {
        open(OPEN_ALWAYS);
        // A log left in UTF-16 by an older format cannot be appended to as UTF-8: start it anew.
        if (startsWithUtf16Mark()) restart();
    }
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool write(const std::string& text) {
        if (!isOpen()) return false;
        DWORD written = 0;
        return ::WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size();
    }

    long long size() const {
        LARGE_INTEGER size{};
        return isOpen() && ::GetFileSizeEx(handle_, &size) ? size.QuadPart : 0;
    }

    void restart() {
        close();
        open(CREATE_ALWAYS);
    }

private:
    // Append-only access: every write lands at the current end, even if another process appends too.
    void open(DWORD disposition) {
        handle_ = ::CreateFileW(path_.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    void close() {
        if (isOpen()) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    bool startsWithUtf16Mark() const {
        unsigned char mark[2] = {};
        DWORD read = 0;
        return isOpen() && ::ReadFile(handle_, mark, sizeof mark, &read, nullptr) && read == 2 &&
               mark[0] == 0xFF && mark[1] == 0xFE;
    }

    const std::wstring path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

LogWriter::LogWriter(std::wstring path)
    : file_(std::make_unique<File>(path)), thread_([this] { run(); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        stopping_ = true;
    }
    wakeUp_.notify_one();
    thread_.join();
}

void LogWriter::submit(const char* line, size_t length) {
    if (pendingSize_.load(std::memory_order_relaxed) > kPendingLimit) return;
    size_t size = 0;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        pending_.append(line, length);
        size = pending_.size();
        pendingSize_.store(size, std::memory_order_relaxed);
    }
    if (size >= kPendingLimit) wakeUp_.notify_one();
}

bool LogWriter::flush() {
    std::unique_lock<std::timed_mutex> lock(mutex_, std::chrono::milliseconds(kFlushPatienceMs));
    if (!lock.owns_lock()) return false;
    writePending();
    return true;
}

void LogWriter::run() {
    std::unique_lock<std::timed_mutex> lock(mutex_);
    while (!stopping_) {
        wakeUp_.wait_for(lock, std::chrono::milliseconds(kWakeIntervalMs),
                         [this] { return stopping_ || pending_.size() >= kPendingLimit; });
        writePending();
    }
    writePending();  // lines submitted before a stop that came before the first wait
}

// Called with mutex_ held. A failed write loses the lines, as a log must not stop the program.
void LogWriter::writePending() {
    if (pending_.empty()) return;
    file_->write(pending_);
    pending_.clear();
    pendingSize_.store(0, std::memory_order_relaxed);
    if (file_->size() >= kRestartSize) file_->restart();
}

namespace {

LogWriter* g_processWriter = nullptr;

void flushAtExit() { g_processWriter->flush(); }

}  // namespace

void createLogWriter(const std::wstring& path) {
    if (path.empty() || g_processWriter != nullptr) return;
    g_processWriter = new LogWriter(path);
    // The last half second of lines often explains why the process ended; don't lose it.
    std::atexit(flushAtExit);
}

LogWriter* processLogWriter() { return g_processWriter; }

}  // namespace common

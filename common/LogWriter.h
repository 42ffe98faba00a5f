#pragma once
// Collects finished log lines in memory and appends them to the log file from one background thread,
// so callers never wait for the disk.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace common {

class LogWriter {
public:
    static constexpr size_t kPendingLimit = 4096;
    static constexpr long long kRestartSize = 4 * 1024 * 1024;
    static constexpr int kWakeIntervalMs = 500;
    static constexpr int kFlushPatienceMs = 500;

    // Starts the writer thread on the file at path.
    explicit LogWriter(std::wstring path);
    // Writes what is still pending and ends the thread. The process-wide writer is never destroyed.
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Queues one complete line; dropped while more than kPendingLimit bytes wait. Any thread.
    void submit(const char* line, size_t length);
    // Writes the pending lines now, on the calling thread. False, with the lines left pending, when the
    // lock stays held for kFlushPatienceMs: a thread terminated while holding it never lets go, and
    // the flush at process exit must not hang on it.
    bool flush();

private:
    class File;
    void run();
    void writePending();

    std::unique_ptr<File> file_;  // guarded by mutex_
    std::timed_mutex mutex_;
    std::condition_variable_any wakeUp_;
    std::string pending_;
    // Mirrors pending_.size() so the admission check can read it without the lock.
    std::atomic<size_t> pendingSize_{0};
    bool stopping_ = false;
    std::thread thread_;
};

// Creates the process-wide writer once; does nothing for an empty path or when one exists.
// Its pending lines are written when the process ends normally.
void createLogWriter(const std::wstring& path);

// The process-wide writer, or null before createLogWriter.
LogWriter* processLogWriter();

}  // namespace common

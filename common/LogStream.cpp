#include "common/LogStream.h"

#include <windows.h>

#include <cstdio>

#include "common/LogWriter.h"

namespace common {

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

LogStream::LogStream(const char* function, int line) : std::strstream(buffer_, kCapacity, std::ios::out) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char prefix[kCapacity];
    const int length = std::snprintf(prefix, sizeof prefix, "%02d-%02d\t%02d:%02d:%02d.%03d\t%04lu\t%s\t(%d):",
                                     now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                                     now.wMilliseconds, ::GetCurrentThreadId(), function, line);
    if (length < 0 || length >= kCapacity) {
        setstate(std::ios::badbit);
        return;
    }
    write(prefix, length);
}

LogStream::~LogStream() {
    LogWriter* writer = processLogWriter();
    if (writer == nullptr) return;
    write("\r\n", 2);
    if (fail()) return;
    writer->submit(buffer_, static_cast<size_t>(pcount()));
}

}  // namespace common

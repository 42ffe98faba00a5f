#pragma once
// One log line built in a fixed 1024-byte buffer: the constructor writes the prefix, insertions
// append the message, the destructor ends the line and submits it. A line that does not fit is dropped.

// std::strstream is deprecated but is the stream that writes into a caller's fixed buffer and fails,
// rather than grows, when the buffer is full.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#pragma push_macro("__DEPRECATED")
#undef __DEPRECATED
#include <strstream>
#pragma pop_macro("__DEPRECATED")

namespace common {

class LogStream : public std::strstream {
public:
    static constexpr int kCapacity = 1024;

    LogStream(const char* function, int line);
    ~LogStream() override;
    LogStream(const LogStream&) = delete;
    LogStream& operator=(const LogStream&) = delete;

private:
    char buffer_[kCapacity];
};

}  // namespace common

#pragma GCC diagnostic pop

#pragma once
// Short answers (the JSON documents of the package and installer lookups) fetched into memory through
// libcurl: redirects followed, TLS servers accepted only with a certificate Windows trusts for their name
// (net/CurlPeerCheck.h), through the user's system proxy, within the transfer limits
// (utility::transferLimits()). Blocking; any thread.

#include <cstddef>
#include <limits>
#include <string>

#include "utility/TaskThread.h"

// Write target of one transfer: the bytes received so far, on the C heap so that growing it can fail
// softly instead of throwing inside libcurl.
struct MemoryChunk {
    MemoryChunk() = default;
    ~MemoryChunk();
    MemoryChunk(const MemoryChunk&) = delete;
    MemoryChunk& operator=(const MemoryChunk&) = delete;

    char* memory = nullptr;
    size_t size = 0;
    // Most bytes the chunk takes; a body without an announced length is only stopped here.
    size_t limit = std::numeric_limits<size_t>::max();
};

// libcurl write callback; chunk is a MemoryChunk. Returns the bytes taken, or 0 (libcurl then aborts)
// when the chunk would pass its limit or cannot grow, leaving it as it was.
size_t WriteMemoryCallback(char* data, size_t size, size_t count, void* chunk);

class PelCurlDownloader {
public:
    // url: ANSI code page. The whole body goes into out whatever the HTTP status; out is untouched
    // when the transfer fails. A stop requested on stopSource (when given) ends the transfer as failed,
    // noticed within a second (about 200 ms under Wine): libcurl asks that often, even while nothing
    // arrives.
    static bool downloadMemory(const std::string& url, std::string& out,
                               const utility::TaskThread* stopSource = nullptr);
};

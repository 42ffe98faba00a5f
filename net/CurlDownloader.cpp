#include "net/CurlDownloader.h"

#include <windows.h>

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "common/LogPrint.h"
#include "net/CurlPeerCheck.h"
#include "net/CurlProxy.h"
#include "net/SystemProxy.h"
#include "net/TransferLimits.h"
#include "utility/UString.h"

namespace {

struct EasyCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

// curl_global_init is not thread-safe itself; a function-local static runs it exactly once.
void initCurlOnce() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialised;
}

// count + n, or the largest size (which no allocation can satisfy) when that does not fit.
size_t grownSize(size_t count, size_t size, size_t elements) {
    constexpr size_t kLargest = std::numeric_limits<size_t>::max();
    if (elements != 0 && size > kLargest / elements) return kLargest;
    const size_t n = size * elements;
    return n > kLargest - count ? kLargest : count + n;
}

constexpr unsigned long kMsPerSecond = 1000;

// libcurl's low-speed check counts whole seconds; a stall shorter than one still gets one.
long stallSeconds(unsigned long stallMs) {
    return static_cast<long>(stallMs < kMsPerSecond ? 1 : (stallMs + kMsPerSecond - 1) / kMsPerSecond);
}

void setLimits(CURL* curl, MemoryChunk& chunk) {
    const utility::TransferLimits limits = utility::transferLimits();
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectMs));
    // Below 1 byte a second for the stall time. libcurl averages the speed over its last 5 seconds, so
    // silence after some bytes fails up to about 5 s later than silence from the start (measured under
    // Wine with a 2 s stall: 10 bytes then silence ends after ~7 s, no byte at all after ~2-3 s).
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallSeconds(limits.stallMs));
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
    // An announced length is refused before the body; the chunk's limit stops one without a length.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.memoryAnswerBytes));
    chunk.limit = limits.memoryAnswerBytes;
}

// libcurl calls this at least once a second, also while nothing arrives (about every 200 ms in a stalled
// transfer under Wine); non-zero ends the transfer.
int stopCheck(void* stopSource, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const utility::TaskThread*>(stopSource)->stopRequested() ? 1 : 0;
}

void setStopCheck(CURL* curl, const utility::TaskThread* stopSource) {
    if (stopSource == nullptr) return;
    curl_xferinfo_callback check = stopCheck;
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, check);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<utility::TaskThread*>(stopSource));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

// Both options are always set, empty when direct: libcurl then never reads the proxy environment
// variables, which WinINet on Windows ignores (Wine's WinINet takes http_proxy and no_proxy only when the
// registry enables no proxy, and currentSystemProxy() reports what it took).
void setProxy(CURL* curl, const std::string& url) {
    const utility::CurlProxyOptions proxy = utility::curlProxyOptions(utility::currentSystemProxy(), url);
    if (!proxy.proxy.empty()) {
        PEL_LOG(L"curl proxy %s, direct for \"%s\"", utility::ustring::ansiToWide(proxy.proxy).c_str(),
                utility::ustring::ansiToWide(proxy.noProxy).c_str());
    }
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, proxy.noProxy.c_str());
}

void setOptions(CURL* curl, MemoryChunk& chunk, const std::string& url, const utility::TaskThread* stopSource) {
    curl_write_callback writer = WriteMemoryCallback;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &chunk);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    utility::setPeerCheck(curl);
    setLimits(curl, chunk);
    setStopCheck(curl, stopSource);
    setProxy(curl, url);
}

}  // namespace

MemoryChunk::~MemoryChunk() { std::free(memory); }

size_t WriteMemoryCallback(char* data, size_t size, size_t count, void* target) {
    auto& chunk = *static_cast<MemoryChunk*>(target);
    if (size == 0 || count == 0) return 0;
    const size_t wanted = grownSize(chunk.size, size, count);
    if (wanted > chunk.limit) {
        PEL_LOG(L"answer grew past %u bytes, refused", static_cast<unsigned>(chunk.limit));
        return 0;
    }
    const size_t n = wanted - chunk.size;
    // realloc keeps the old block when it fails, so a refused growth loses nothing received so far.
    auto* grown = static_cast<char*>(std::realloc(chunk.memory, wanted));
    if (grown == nullptr) {
        PEL_LOG(L"not enough memory error %d", static_cast<int>(::GetLastError()));
        return 0;
    }
    chunk.memory = grown;
    std::memcpy(chunk.memory + chunk.size, data, n);
    chunk.size = wanted;
    return n;
}

bool PelCurlDownloader::downloadMemory(const std::string& url, std::string& out,
                                       const utility::TaskThread* stopSource) try {
    PEL_LOG(L"PelCurlDownloader::downloadMemory start");
    initCurlOnce();
    const EasyHandle curl(curl_easy_init());
    if (!curl) {
        PEL_LOG(L"curl init error");
        return false;
    }
    MemoryChunk chunk;
    setOptions(curl.get(), chunk, url, stopSource);
    const CURLcode result = curl_easy_perform(curl.get());
    if (result != CURLE_OK) {
        PEL_LOG(L"curl download error %s", utility::ustring::ansiToWide(curl_easy_strerror(result)).c_str());
        return false;
    }
    PEL_LOG(L"curl download sucess %d", static_cast<int>(chunk.size));
    out.assign(chunk.size == 0 ? "" : chunk.memory, chunk.size);
    return true;
} catch (...) {
    return false;  // no memory for the copy or a log text; assign leaves out as it was
}

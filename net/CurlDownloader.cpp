#include "net/CurlDownloader.h"

#include <windows.h>

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "common/LogPrint.h"
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

void setOptions(CURL* curl, MemoryChunk& chunk, const std::string& url) {
    curl_write_callback writer = WriteMemoryCallback;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &chunk);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
}

}  // namespace

MemoryChunk::~MemoryChunk() { std::free(memory); }

size_t WriteMemoryCallback(char* data, size_t size, size_t count, void* target) {
    auto& chunk = *static_cast<MemoryChunk*>(target);
    if (size == 0 || count == 0) return 0;
    const size_t wanted = grownSize(chunk.size, size, count);
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
                                       const utility::TaskThread* /*stopSource*/) try {
    PEL_LOG(L"PelCurlDownloader::downloadMemory start");
    initCurlOnce();
    const EasyHandle curl(curl_easy_init());
    if (!curl) {
        PEL_LOG(L"curl init error");
        return false;
    }
    MemoryChunk chunk;
    setOptions(curl.get(), chunk, url);
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

// One file download from a local server to disk, timed, in one of four ways:
//   net_bench.exe winsock-bare|wininet-bare|wrapper-raw|wrapper-wininet URL PATH
// Prints one line "mode=... ok=... bytes=... seconds=... cpu_seconds=... peak_ws=... base_ws=... calls=...".
// bench/net_bench.py starts it once per mode so each peak working set belongs to one way alone.

#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "net/HttpClientWrapper.h"
#include "net/HttpUrl.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace {

// The bare loops read in the wrapper's blocks, so that "vs bare" measures only the wrapper's own cost.
constexpr int kBlockSize = utility::CHttpClientWrapper::kBlockSize;
constexpr size_t kMaxHeaderBytes = 64 * 1024;

struct Outcome {
    bool ok = false;
    long long bytes = 0;
    long long calls = 0;
};

double cpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double wallSeconds() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

SIZE_T peakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// Opened as the wrapper's file sink opens it, so both write through the same kind of handle.
utility::UniqueHandle createOutput(const std::wstring& path) {
    return utility::UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool writeAll(HANDLE file, const char* data, int length) {
    DWORD written = 0;
    return ::WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) &&
           written == static_cast<DWORD>(length);
}

struct SocketCloser {
    SOCKET socket;
    ~SocketCloser() { ::closesocket(socket); }
};

// The raw back-end's calls without its layers: header byte by byte, then 32 KiB receives.
Outcome winsockBare(const std::wstring& url, const std::wstring& path) {
    Outcome outcome;
    const utility::ParsedUrl parsed = utility::parseUrl(url);
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return outcome;
    const SocketCloser closer{s};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(parsed.port);
    address.sin_addr.s_addr = ::inet_addr(utility::ustring::wideToAnsi(parsed.host).c_str());
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return outcome;

    const std::string request = "GET " + utility::ustring::wideToAnsi(parsed.path) + " HTTP/1.1\r\nHost: " +
                                utility::ustring::wideToAnsi(parsed.host) + "\r\n\r\n";
    if (::send(s, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
        return outcome;
    }
    std::string header;
    while (header.size() < 4 || header.compare(header.size() - 4, 4, "\r\n\r\n") != 0) {
        char byte = 0;
        if (header.size() >= kMaxHeaderBytes || ::recv(s, &byte, 1, 0) != 1) return outcome;
        header.push_back(byte);
    }
    const size_t lengthAt = header.find("Content-Length: ");
    if (header.compare(0, 12, "HTTP/1.1 200") != 0 || lengthAt == std::string::npos) return outcome;
    const long long length = std::atoll(header.c_str() + lengthAt + 16);

    const utility::UniqueHandle file = createOutput(path);
    if (!file) return outcome;
    const std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    while (outcome.bytes < length) {
        const int n = ::recv(s, buffer.get(), kBlockSize, 0);
        if (n <= 0 || !writeAll(file.get(), buffer.get(), n)) return outcome;
        outcome.bytes += n;
        ++outcome.calls;
    }
    outcome.ok = outcome.bytes == length;
    return outcome;
}

struct InternetCloser {
    HINTERNET handle;
    ~InternetCloser() {
        if (handle != nullptr) ::InternetCloseHandle(handle);
    }
};

// The WinINet back-end's calls without its layers.
Outcome wininetBare(const std::wstring& url, const std::wstring& path) {
    Outcome outcome;
    const utility::ParsedUrl parsed = utility::parseUrl(url);
    const InternetCloser session{::InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
    if (session.handle == nullptr) return outcome;
    const InternetCloser connection{::InternetConnectW(session.handle, parsed.host.c_str(), parsed.port, nullptr,
                                                       nullptr, INTERNET_SERVICE_HTTP, 0, 1)};
    if (connection.handle == nullptr) return outcome;
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    const InternetCloser request{::HttpOpenRequestW(connection.handle, L"GET", parsed.path.c_str(), L"HTTP/1.1",
                                                    nullptr, acceptTypes,
                                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 1)};
    if (request.handle == nullptr || !::HttpSendRequestW(request.handle, nullptr, 0, nullptr, 0)) return outcome;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request.handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status != 200) {
        return outcome;
    }

    const utility::UniqueHandle file = createOutput(path);
    if (!file) return outcome;
    const std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    for (;;) {
        DWORD n = 0;
        if (!::InternetReadFile(request.handle, buffer.get(), kBlockSize, &n)) return outcome;
        if (n == 0) break;
        if (!writeAll(file.get(), buffer.get(), static_cast<int>(n))) return outcome;
        outcome.bytes += n;
        ++outcome.calls;
    }
    outcome.ok = true;
    return outcome;
}

// Progress as the model's sink would receive it, without the model's work.
class CountingSink : public utility::CHttpClientWrapper::IHttpDownloadSink {
public:
    bool onDownloadProgress(const char*, int length, int64_t, int64_t) override {
        bytes += length;
        ++calls;
        return true;
    }
    bool onDownloadFinished() override { return true; }

    long long bytes = 0;
    long long calls = 0;
};

Outcome wrapper(const std::wstring& url, const std::wstring& path, bool rawSocket) {
    CountingSink sink;
    utility::CHttpClientWrapper client;
    Outcome outcome;
    outcome.ok = client.download2file_ex(&sink, path, url, 1, 0, rawSocket);
    outcome.bytes = sink.bytes;
    outcome.calls = sink.calls;
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: net_bench.exe winsock-bare|wininet-bare|wrapper-raw|wrapper-wininet URL PATH\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::wstring url = utility::ustring::ansiToWide(argv[2]);
    const std::wstring path = utility::ustring::ansiToWide(argv[3]);
    if (mode != "winsock-bare" && mode != "wininet-bare" && mode != "wrapper-raw" && mode != "wrapper-wininet") {
        std::fprintf(stderr, "net_bench: unknown mode %s\n", mode.c_str());
        return 2;
    }
    // As the downloader's start-up does before any transfer.
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;

    const SIZE_T baseWorkingSet = peakWorkingSet();
    const double cpuBefore = cpuSeconds();
    const double wallBefore = wallSeconds();
    Outcome outcome;
    if (mode == "winsock-bare") {
        outcome = winsockBare(url, path);
    } else if (mode == "wininet-bare") {
        outcome = wininetBare(url, path);
    } else {
        outcome = wrapper(url, path, mode == "wrapper-raw");
    }
    const double seconds = wallSeconds() - wallBefore;
    const double cpu = cpuSeconds() - cpuBefore;

    std::printf("mode=%s ok=%d bytes=%lld seconds=%.4f cpu_seconds=%.4f peak_ws=%llu base_ws=%llu calls=%lld\n",
                mode.c_str(), outcome.ok ? 1 : 0, outcome.bytes, seconds, cpu,
                static_cast<unsigned long long>(peakWorkingSet()), static_cast<unsigned long long>(baseWorkingSet),
                outcome.calls);
    std::fflush(stdout);
    ::WSACleanup();
    return outcome.ok ? 0 : 1;
}

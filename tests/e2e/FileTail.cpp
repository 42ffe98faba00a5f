#include "tests/e2e/FileTail.h"

#include <windows.h>

#include "tests/support/TestFiles.h"

namespace e2e {

FileTail::FileTail(std::wstring path) : path_(std::move(path)) { skipToEnd(); }

std::string FileTail::text() const {
    // Shared read access: the writers keep their files open for appending.
    const HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart != mark_) {
        // A file shorter than the mark was started anew (the log restarts when it grows too big).
        const long long from = size.QuadPart > mark_ ? mark_ : 0;
        LARGE_INTEGER at{};
        at.QuadPart = from;
        ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        bytes.resize(static_cast<size_t>(size.QuadPart - from));
        DWORD read = 0;
        if (!::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
        bytes.resize(read);
    }
    ::CloseHandle(file);
    return bytes;
}

bool FileTail::waitFor(const std::string& utf8, std::chrono::milliseconds timeout) const {
    return testsupport::waitUntil([&] { return contains(utf8); }, timeout);
}

size_t FileTail::count(const std::string& utf8) const {
    const std::string all = text();
    size_t n = 0;
    for (size_t at = all.find(utf8); !utf8.empty() && at != std::string::npos; at = all.find(utf8, at + utf8.size())) ++n;
    return n;
}

void FileTail::skipToEnd() {
    const long long size = testsupport::fileSize(path_);
    mark_ = size < 0 ? 0 : size;
}

}  // namespace e2e

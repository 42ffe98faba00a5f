#include "toolkit/DiskFile.h"

#include <windows.h>

#include "utility/ScopedHandle.h"

namespace toolkit {

std::optional<std::string> readDiskFile(const std::wstring& path, size_t maxBytes) {
    utility::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return std::nullopt;
    // ReadFile takes 32-bit lengths; skin files are far smaller.
    if (size.QuadPart <= 0 || ULONGLONG(size.QuadPart) > maxBytes || size.QuadPart > MAXDWORD) return std::nullopt;
    std::string bytes(size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr) || read != bytes.size())
        return std::nullopt;
    return bytes;
}

}  // namespace toolkit

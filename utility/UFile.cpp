#include "utility/UFile.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "common/LogPrint.h"

namespace utility::ufile {

void makeDir(const std::wstring& folder) {
    if (::PathFileExistsW(folder.c_str())) return;
    const int result = ::SHCreateDirectory(nullptr, folder.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS) {
        PEL_LOG(L"make dir failed! error = %d.", result);
    }
}

bool moveFile(const std::wstring& from, const std::wstring& to) {
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
    if (::MoveFileExW(from.c_str(), to.c_str(), kFlags)) return true;
    PEL_LOG(L"move file from [ %s ] to [ %s ] flag = %d failed! error = %d.", from.c_str(), to.c_str(), kFlags,
            ::GetLastError());
    return false;
}

void removeFile(const std::wstring& path) {
    if (!::DeleteFileW(path.c_str())) {
        PEL_LOG(L"removeFile file from [ %s ] error = %d.", path.c_str(), ::GetLastError());
    }
}

UniqueHandle openHeldForReading(const std::wstring& path) {
    return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace utility::ufile

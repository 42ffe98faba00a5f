#include "model/JoinPath.h"

namespace model {

std::wstring joinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    constexpr wchar_t kSeparators[] = L"\\/";
    const size_t folderEnd = folder.find_last_not_of(kSeparators);
    const size_t nameBegin = name.find_first_not_of(kSeparators);
    const std::wstring head = folderEnd == std::wstring::npos ? std::wstring() : folder.substr(0, folderEnd + 1);
    const std::wstring tail = nameBegin == std::wstring::npos ? std::wstring() : name.substr(nameBegin);
    return head + L"\\" + tail;
}

}  // namespace model

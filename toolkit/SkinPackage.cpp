#include "toolkit/SkinPackage.h"

#include <algorithm>

#include "common/LogPrint.h"
#include "toolkit/DiskFile.h"
#include "toolkit/SkinArchive.h"
#include "toolkit/TextTables.h"

namespace toolkit {
namespace {

struct PackageState {
    SkinEntries entries;
    std::wstring resourceFolder;
};

PackageState& state() {
    static PackageState instance;
    return instance;
}

SkinEntries unpackResource(HMODULE module, int resourceId) {
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"ZIPRES");
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = resource ? ::SizeofResource(module, resource) : 0;
    if (!data || size == 0) {
        PEL_LOG(L"no skin package in resource ZIPRES/%d: error %lu", resourceId, ::GetLastError());
        return {};
    }
    return unpackSkinArchive(data, size);
}

}  // namespace

void loadSkinPackage(HMODULE module, int resourceId) {
    state().entries = unpackResource(module, resourceId);
    PEL_LOG(L"skin package holds %u files", unsigned(state().entries.size()));
    loadTextTables();
}

void setResourceFolder(const std::wstring& folder) {
    std::wstring& stored = state().resourceFolder;
    stored = folder;
    if (!stored.empty() && stored.back() != L'\\' && stored.back() != L'/') stored += L'\\';
}

const std::wstring& resourceFolder() { return state().resourceFolder; }

bool isAbsoluteSkinName(const std::wstring& name) { return name.size() >= 2 && name[1] == L':'; }

std::optional<std::string> readSkinFile(const std::wstring& name) {
    const bool absolute = isAbsoluteSkinName(name);
    if (absolute || !resourceFolder().empty()) {
        if (auto bytes = readDiskFile(absolute ? name : resourceFolder() + name)) return bytes;
    }
    return readPackagedFile(name);
}

std::optional<std::string> readPackagedFile(const std::wstring& name) {
    std::wstring key = name;
    std::replace(key.begin(), key.end(), L'\\', L'/');
    const auto found = state().entries.find(key);
    if (found == state().entries.end()) return std::nullopt;
    return found->second;
}

}  // namespace toolkit

#pragma once
// A value under HKEY_CURRENT_USER set for one case and put back afterwards exactly as it was (type and
// bytes), or deleted when it did not exist: the install folder a previous installation recorded,
// which the downloader reuses and the fake installer rewrites; the display's LogPixels.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class RegistryValueGuard {
public:
    RegistryValueGuard(std::wstring key, std::wstring name);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    bool set(const std::wstring& value) const;
    bool setDword(DWORD value) const;
    bool remove() const;
    // The value as a string; nothing when it is missing or not a string.
    std::optional<std::wstring> current() const;
    std::optional<DWORD> currentDword() const;

private:
    struct Raw {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
    };
    std::optional<Raw> read() const;
    bool write(DWORD type, const BYTE* bytes, DWORD size) const;

    std::wstring key_;
    std::wstring name_;
    std::optional<Raw> saved_;
};

}  // namespace testsupport

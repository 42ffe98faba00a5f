#pragma once
// A string value under HKEY_CURRENT_USER set for one case and put back afterwards (deleted when it
// did not exist): the install folder a previous installation recorded, which the downloader reuses
// and the fake installer rewrites.

#include <optional>
#include <string>

namespace e2e {

class RegistryValueGuard {
public:
    RegistryValueGuard(std::wstring key, std::wstring name);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    bool set(const std::wstring& value) const;
    bool remove() const;
    std::optional<std::wstring> current() const;

private:
    std::wstring key_;
    std::wstring name_;
    std::optional<std::wstring> saved_;
};

}  // namespace e2e

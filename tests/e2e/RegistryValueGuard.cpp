#include "tests/e2e/RegistryValueGuard.h"

#include <windows.h>

#include <vector>

#include "utility/ScopedHandle.h"

namespace e2e {

RegistryValueGuard::RegistryValueGuard(std::wstring key, std::wstring name)
    : key_(std::move(key)), name_(std::move(name)), saved_(current()) {}

RegistryValueGuard::~RegistryValueGuard() {
    if (saved_) {
        set(*saved_);
    } else {
        remove();
    }
}

bool RegistryValueGuard::set(const std::wstring& value) const {
    utility::UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryValueGuard::remove() const {
    utility::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, key.receive()) != ERROR_SUCCESS) return true;
    const LONG result = ::RegDeleteValueW(key.get(), name_.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

std::optional<std::wstring> RegistryValueGuard::current() const {
    utility::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 1);
    if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value.data());
}

}  // namespace e2e

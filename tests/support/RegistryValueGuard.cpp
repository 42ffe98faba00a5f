#include "tests/support/RegistryValueGuard.h"

#include <cstring>

#include "utility/ScopedHandle.h"

namespace testsupport {

RegistryValueGuard::RegistryValueGuard(std::wstring key, std::wstring name)
    : key_(std::move(key)), name_(std::move(name)), saved_(read()) {}

RegistryValueGuard::~RegistryValueGuard() {
    if (saved_) {
        write(saved_->type, saved_->bytes.data(), static_cast<DWORD>(saved_->bytes.size()));
    } else {
        remove();
    }
}

bool RegistryValueGuard::write(DWORD type, const BYTE* bytes, DWORD size) const {
    utility::UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), name_.c_str(), 0, type, bytes, size) == ERROR_SUCCESS;
}

bool RegistryValueGuard::set(const std::wstring& value) const {
    return write(REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool RegistryValueGuard::setDword(DWORD value) const {
    return write(REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

bool RegistryValueGuard::remove() const {
    utility::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, key.receive()) != ERROR_SUCCESS) return true;
    const LONG result = ::RegDeleteValueW(key.get(), name_.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

std::optional<RegistryValueGuard::Raw> RegistryValueGuard::read() const {
    utility::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    Raw raw;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &raw.type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    raw.bytes.resize(size);
    if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &raw.type, raw.bytes.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    raw.bytes.resize(size);
    return raw;
}

std::optional<std::wstring> RegistryValueGuard::current() const {
    const std::optional<Raw> raw = read();
    if (!raw || (raw->type != REG_SZ && raw->type != REG_EXPAND_SZ)) return std::nullopt;
    std::wstring value(reinterpret_cast<const wchar_t*>(raw->bytes.data()), raw->bytes.size() / sizeof(wchar_t));
    return std::wstring(value.c_str());  // up to the terminating zero
}

std::optional<DWORD> RegistryValueGuard::currentDword() const {
    const std::optional<Raw> raw = read();
    if (!raw || raw->type != REG_DWORD || raw->bytes.size() != sizeof(DWORD)) return std::nullopt;
    DWORD value = 0;
    std::memcpy(&value, raw->bytes.data(), sizeof(value));
    return value;
}

}  // namespace testsupport

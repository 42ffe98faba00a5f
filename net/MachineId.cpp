#include "net/MachineId.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "utility/Digest.h"
#include "utility/UString.h"

namespace utility::machine {

namespace {

bool isAllZero(const BYTE (&address)[MAX_ADAPTER_ADDRESS_LENGTH]) {
    return std::all_of(std::begin(address), std::end(address), [](BYTE b) { return b == 0; });
}

std::wstring addressText(const BYTE (&address)[MAX_ADAPTER_ADDRESS_LENGTH]) {
    wchar_t text[13] = {};
    std::swprintf(text, 13, L"%02X%02X%02X%02X%02X%02X", address[0], address[1], address[2], address[3], address[4],
                  address[5]);
    return text;
}

std::wstring joined(const std::vector<std::wstring>& parts, const std::wstring& separator) {
    std::wstring text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += separator;
        text += parts[i];
    }
    return text;
}

}  // namespace

std::vector<std::wstring> adapterAddresses(const IP_ADAPTER_INFO* first) {
    std::vector<std::wstring> addresses;
    for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        if (!isAllZero(adapter->Address)) addresses.push_back(addressText(adapter->Address));
    }
    return addresses;
}

std::vector<std::wstring> adapterAddresses() {
    ULONG size = 0;
    const DWORD sizing = ::GetAdaptersInfo(nullptr, &size);
    if ((sizing != ERROR_SUCCESS && sizing != ERROR_BUFFER_OVERFLOW) || size == 0) return {};
    // The list is a chain of IP_ADAPTER_INFO inside one buffer; unique_ptr<T[]> of that type keeps
    // the buffer aligned for it.
    const size_t count = (size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO);
    std::unique_ptr<IP_ADAPTER_INFO[]> buffer(new IP_ADAPTER_INFO[count]());
    if (::GetAdaptersInfo(buffer.get(), &size) != ERROR_SUCCESS) return {};
    return adapterAddresses(buffer.get());
}

std::string machineIdFrom(std::vector<std::wstring> addresses) {
    if (addresses.empty()) return {};
    std::sort(addresses.begin(), addresses.end());
    const std::string digest = digest::md5Hex(ustring::wideToAnsi(joined(addresses, L"|")));
    if (digest.empty() || addresses.size() == 1) return digest;
    char prefix[20] = {};
    std::snprintf(prefix, sizeof prefix, "%x-", static_cast<unsigned>(addresses.size()));
    return prefix + digest;
}

std::string machineId() { return machineIdFrom(adapterAddresses()); }

}  // namespace utility::machine

#pragma once
// The machine id behind the analytics client id: an MD5 over this machine's network adapter
// addresses, the same on every run while the adapters stay.

#include <windows.h>
#include <iphlpapi.h>

#include <string>
#include <vector>

namespace utility::machine {

// The adapters of a GetAdaptersInfo list in list order, each as 12 uppercase hexadecimal digits of its
// first 6 address bytes. Adapters whose whole address field is zero are left out; duplicates stay.
std::vector<std::wstring> adapterAddresses(const IP_ADAPTER_INFO* first);
// This machine's adapters; none when the system cannot list them.
std::vector<std::wstring> adapterAddresses();

// MD5 (lowercase hex) of the sorted addresses joined by "|" in the ANSI code page, with the count in
// lowercase hex and "-" in front when there are several. Empty for no addresses.
std::string machineIdFrom(std::vector<std::wstring> addresses);
std::string machineId();

}  // namespace utility::machine

#pragma once
// Owner of a WinINet handle (session, connection or request).

#include <windows.h>
#include <wininet.h>

#include "utility/ScopedHandle.h"

namespace utility {

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle none() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::InternetCloseHandle(h); }
};

using UniqueInternetHandle = ScopedHandle<InternetHandleTraits>;

}  // namespace utility

#pragma once
// COM on the calling thread for one scope: worker threads that use shell objects need it. Where
// the thread has COM already (in any mode) it is left as it is.

#include <objbase.h>

namespace utility {

class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

}  // namespace utility

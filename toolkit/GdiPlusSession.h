#pragma once
// GDI+ for the life of one scope: the toolkit draws images through it. Start one before the first
// window or off-screen picture and keep it until every GDI+ object is gone.

#include <windows.h>

#include <cstdint>

namespace toolkit {

class GdiPlusSession {
public:
    GdiPlusSession();
    ~GdiPlusSession();
    GdiPlusSession(const GdiPlusSession&) = delete;
    GdiPlusSession& operator=(const GdiPlusSession&) = delete;

    bool started() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

}  // namespace toolkit

#include "toolkit/GdiPlusSession.h"

#include "toolkit/GdiPlus.h"

#include "toolkit/ImageCache.h"

namespace toolkit {

GdiPlusSession::GdiPlusSession() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
}

GdiPlusSession::~GdiPlusSession() {
    if (!token_) return;
    // Cached images are GDI+ bitmaps; they must go before GDI+ does.
    clearImageCache();
    Gdiplus::GdiplusShutdown(token_);
}

}  // namespace toolkit

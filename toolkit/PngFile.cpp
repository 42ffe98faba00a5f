#include "toolkit/PngFile.h"

#include "toolkit/GdiPlus.h"

namespace toolkit {

bool savePng(const Canvas& canvas, const std::wstring& path) {
    if (!canvas.valid()) return false;
    ::GdiFlush();
    // GDI+'s built-in PNG encoder.
    static const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    Gdiplus::Bitmap bitmap(canvas.width(), canvas.height(), canvas.width() * 4, PixelFormat32bppPARGB,
                           reinterpret_cast<BYTE*>(const_cast<uint32_t*>(canvas.pixels())));
    return bitmap.Save(path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
}

}  // namespace toolkit

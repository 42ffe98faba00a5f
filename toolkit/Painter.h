#pragma once
// Draws controls into a Canvas: fills and borders and skin images through GDI+, texts through GDI
// into a coverage mask blended in the text colour (GDI shapes and orders complex scripts and keeps
// anti-aliasing on a transparent frame). Every drawing honours the current clip.
// Callers give layout pixels; the painter draws at its display scale into a canvas of device pixels,
// with fonts of the scaled size and, from 150 %, the skin's "@2x" images.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/Canvas.h"
#include "toolkit/DisplayScale.h"
#include "toolkit/FontTable.h"
#include "toolkit/HighContrast.h"

namespace Gdiplus {
class Bitmap;
class Graphics;
}

namespace toolkit {

class SkinImage;

enum class HorizontalAlign { Left, Center, Right };
enum class VerticalAlign { Top, Center, Bottom };

struct TextStyle {
    int fontId = -1;
    uint32_t colour = 0xFF000000;  // ARGB
    HorizontalAlign align = HorizontalAlign::Left;
    VerticalAlign valign = VerticalAlign::Center;
    bool multiline = false;
    bool markup = false;  // <c #rrggbb> and <u #rrggbb> runs
    bool ellipsis = false;  // a single line too long ends in "..."
};

class Painter {
public:
    // The canvas has the device size of what is painted; fonts must be at the same scale.
    Painter(Canvas& canvas, FontTable& fonts, DisplayScale scale = DisplayScale());
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    FontTable& fonts() { return fonts_; }
    const DisplayScale& scale() const { return scale_; }
    // The system's colours while high contrast is on (read when the painter is made); else null.
    const SystemColours* highContrast() const { return contrast_ ? &*contrast_ : nullptr; }

    void fillRect(const RECT& rect, uint32_t argb, int radius = 0);
    void drawBorder(const RECT& rect, uint32_t argb, int size, int radius = 0);
    // A square frame of whole device pixels just inside rect, crisp at any scale.
    void frameRect(const RECT& rect, uint32_t argb, int size);
    // Draws an image attribute string into the control rectangle; false when nothing was drawn.
    // With a tint, only the image's shape is drawn, in that colour.
    bool drawImage(const RECT& control, const std::wstring& imageAttribute, std::optional<uint32_t> tint = std::nullopt);
    void drawText(const RECT& rect, const std::wstring& text, const TextStyle& style);
    // Size of the text in font fontId; multi-line texts wrap at maxWidth.
    SIZE measureText(const std::wstring& text, int fontId, bool multiline = false, int maxWidth = 0);
    // Height of one line of font fontId.
    int lineHeight(int fontId);

    // Clip to rect intersected with the current clip, until the returned scope ends.
    class ClipScope {
    public:
        ClipScope(Painter& painter, const RECT& rect);
        ~ClipScope();
        ClipScope(const ClipScope&) = delete;
        ClipScope& operator=(const ClipScope&) = delete;

    private:
        Painter& painter_;
    };
    // Whether any of rect lies inside the current clip.
    bool isVisible(const RECT& rect) const;

private:
    void applyClip();
    void fillDeviceRect(const RECT& rect, uint32_t argb, int radius);
    SIZE measureDeviceText(const std::wstring& text, int fontId, bool multiline = false, int maxWidth = 0);
    int deviceLineHeight(int fontId);
    // The image of a file, from its "@2x" twin at 150 % and above when the skin has one; imageScale
    // tells how many image pixels make one layout pixel.
    const SkinImage* scaledImage(const std::wstring& file, std::optional<uint32_t> mask, int& imageScale) const;
    void drawRuns(const RECT& rect, const std::wstring& text, const TextStyle& style);
    // Renders text with GDI into the coverage mask at the rect's size and blends it in colour.
    void blendText(const RECT& rect, HFONT font, const std::wstring& text, UINT format, uint32_t colour);
    void blendCoverage(const RECT& target, const Canvas& mask, uint32_t colour);

    Canvas& canvas_;
    FontTable& fonts_;
    std::unique_ptr<Gdiplus::Bitmap> surface_;  // the canvas's pixels seen by GDI+
    std::unique_ptr<Gdiplus::Graphics> graphics_;
    DisplayScale scale_;
    std::optional<SystemColours> contrast_;
    std::vector<RECT> clips_;  // device pixels
    std::unique_ptr<Canvas> mask_;  // grown as texts need
};

}  // namespace toolkit

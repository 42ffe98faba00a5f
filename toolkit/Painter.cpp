#include "toolkit/Painter.h"

#include "toolkit/GdiPlus.h"

#include <algorithm>
#include <map>
#include <optional>

#include "toolkit/ImageCache.h"
#include "toolkit/MarkupValues.h"
#include "toolkit/TextMeasure.h"

namespace toolkit {

namespace {

RECT intersection(const RECT& a, const RECT& b) {
    RECT out{};
    if (!::IntersectRect(&out, &a, &b)) return RECT{};
    return out;
}

bool isEmpty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

Gdiplus::Color gdiColour(uint32_t argb) { return Gdiplus::Color(argb); }

void addRoundRect(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& r, float radius) {
    const float d = std::min({radius * 2, r.Width, r.Height});
    path.AddArc(r.X, r.Y, d, d, 180, 90);
    path.AddArc(r.X + r.Width - d, r.Y, d, d, 270, 90);
    path.AddArc(r.X + r.Width - d, r.Y + r.Height - d, d, d, 0, 90);
    path.AddArc(r.X, r.Y + r.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

const std::optional<ImageAttributes>& parsedImage(const std::wstring& attribute) {
    static std::map<std::wstring, std::optional<ImageAttributes>> parsed;
    auto found = parsed.find(attribute);
    if (found == parsed.end()) found = parsed.emplace(attribute, parseImageAttributes(attribute)).first;
    return found->second;
}

// Draws one cell of a nine-grid; empty cells are skipped.
void drawCell(Gdiplus::Graphics& graphics, Gdiplus::Bitmap& bitmap, const Gdiplus::ImageAttributes& wrap,
              int dl, int dt, int dr, int db, int sl, int st, int sr, int sb) {
    if (dr <= dl || db <= dt || sr <= sl || sb <= st) return;
    graphics.DrawImage(&bitmap, Gdiplus::Rect(dl, dt, dr - dl, db - dt), sl, st, sr - sl, sb - st,
                       Gdiplus::UnitPixel, &wrap);
}

// A resampled cell is drawn one pixel larger all round, with the source widened to match, and
// clipped back to its own place: GDI+ may leave the first row or column of a resampled rectangle
// unpainted (Wine's does for some sizes), which would show as a seam between two cells.
void drawScaledCell(Gdiplus::Graphics& graphics, Gdiplus::Bitmap& bitmap, const Gdiplus::ImageAttributes& wrap,
                    int dl, int dt, int dr, int db, int sl, int st, int sr, int sb) {
    if (dr <= dl || db <= dt || sr <= sl || sb <= st) return;
    const float perX = static_cast<float>(sr - sl) / (dr - dl);
    const float perY = static_cast<float>(sb - st) / (db - dt);
    const Gdiplus::GraphicsState state = graphics.Save();
    graphics.SetClip(Gdiplus::Rect(dl, dt, dr - dl, db - dt), Gdiplus::CombineModeIntersect);
    graphics.DrawImage(&bitmap, Gdiplus::RectF(dl - 1.0f, dt - 1.0f, dr - dl + 2.0f, db - dt + 2.0f), sl - perX,
                       st - perY, sr - sl + 2 * perX, sb - st + 2 * perY, Gdiplus::UnitPixel, &wrap);
    graphics.Restore(state);
}

UINT horizontalFormat(HorizontalAlign align) {
    switch (align) {
    case HorizontalAlign::Center: return DT_CENTER;
    case HorizontalAlign::Right: return DT_RIGHT;
    default: return DT_LEFT;
    }
}

int alignedStart(int start, int space, int used, HorizontalAlign align) {
    if (align == HorizontalAlign::Center) return start + (space - used) / 2;
    if (align == HorizontalAlign::Right) return start + space - used;
    return start;
}

int alignedTop(const RECT& rect, int height, VerticalAlign valign) {
    if (valign == VerticalAlign::Center) return rect.top + (rect.bottom - rect.top - height) / 2;
    if (valign == VerticalAlign::Bottom) return rect.bottom - height;
    return rect.top;
}

// A piece of a markup text that is never broken across lines: a word with its trailing blank, or a
// single ideograph, which may break anywhere.
struct RunPiece {
    std::wstring text;
    const TextRun* run;
};

bool breaksAnywhere(wchar_t c) { return c >= 0x2E80 && c <= 0xFFEF; }

std::vector<RunPiece> splitPieces(const std::vector<TextRun>& runs) {
    std::vector<RunPiece> pieces;
    for (const TextRun& run : runs) {
        std::wstring current;
        for (wchar_t c : run.text) {
            if (breaksAnywhere(c) && !current.empty()) pieces.push_back({std::move(current), &run}), current.clear();
            current += c;
            if (c == L' ' || breaksAnywhere(c)) pieces.push_back({std::move(current), &run}), current.clear();
        }
        if (!current.empty()) pieces.push_back({std::move(current), &run});
    }
    return pieces;
}

}  // namespace

Painter::Painter(Canvas& canvas, FontTable& fonts, DisplayScale scale)
    : canvas_(canvas), fonts_(fonts), scale_(scale), contrast_(highContrastColours()) {
    surface_ = std::make_unique<Gdiplus::Bitmap>(canvas.width(), canvas.height(), canvas.width() * 4,
                                                 PixelFormat32bppPARGB,
                                                 reinterpret_cast<BYTE*>(canvas.pixels()));
    graphics_ = std::make_unique<Gdiplus::Graphics>(surface_.get());
    graphics_->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    // Scaled images are resampled with the better filter; at 100 % they are drawn pixel for pixel.
    graphics_->SetInterpolationMode(scale_.isIdentity() ? Gdiplus::InterpolationModeHighQualityBilinear
                                                        : Gdiplus::InterpolationModeHighQualityBicubic);
    graphics_->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics_->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    clips_.push_back(RECT{0, 0, canvas.width(), canvas.height()});
}

Painter::~Painter() = default;

void Painter::applyClip() {
    const RECT& c = clips_.back();
    graphics_->SetClip(Gdiplus::Rect(c.left, c.top, c.right - c.left, c.bottom - c.top));
}

Painter::ClipScope::ClipScope(Painter& painter, const RECT& rect) : painter_(painter) {
    painter_.clips_.push_back(intersection(painter_.clips_.back(), painter_.scale_.toDevice(rect)));
    painter_.applyClip();
}

Painter::ClipScope::~ClipScope() {
    painter_.clips_.pop_back();
    painter_.applyClip();
}

bool Painter::isVisible(const RECT& rect) const {
    RECT visible{};
    const RECT device = scale_.toDevice(rect);
    return ::IntersectRect(&visible, &device, &clips_.back()) != FALSE;
}

void Painter::fillRect(const RECT& rect, uint32_t argb, int radius) {
    fillDeviceRect(scale_.toDevice(rect), argb, scale_.toDevice(radius));
}

void Painter::fillDeviceRect(const RECT& rect, uint32_t argb, int radius) {
    if ((argb >> 24) == 0 || isEmpty(rect)) return;
    Gdiplus::SolidBrush brush(gdiColour(argb));
    if (radius <= 0) {
        graphics_->FillRectangle(&brush, Gdiplus::Rect(rect.left, rect.top, rect.right - rect.left,
                                                       rect.bottom - rect.top));
        return;
    }
    Gdiplus::GraphicsPath path;
    addRoundRect(path, Gdiplus::RectF(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                 radius);
    graphics_->FillPath(&brush, &path);
}

void Painter::frameRect(const RECT& layoutRect, uint32_t argb, int layoutSize) {
    const RECT r = scale_.toDevice(layoutRect);
    const int size = scale_.toDeviceThickness(layoutSize);
    fillDeviceRect(RECT{r.left, r.top, r.right, r.top + size}, argb, 0);
    fillDeviceRect(RECT{r.left, r.bottom - size, r.right, r.bottom}, argb, 0);
    fillDeviceRect(RECT{r.left, r.top + size, r.left + size, r.bottom - size}, argb, 0);
    fillDeviceRect(RECT{r.right - size, r.top + size, r.right, r.bottom - size}, argb, 0);
}

void Painter::drawBorder(const RECT& layoutRect, uint32_t argb, int layoutSize, int layoutRadius) {
    const RECT rect = scale_.toDevice(layoutRect);
    const int size = scale_.toDeviceThickness(layoutSize);
    const int radius = scale_.toDevice(layoutRadius);
    if ((argb >> 24) == 0 || size <= 0 || isEmpty(rect)) return;
    Gdiplus::Pen pen(gdiColour(argb), static_cast<float>(size));
    const float inset = size / 2.0f;
    Gdiplus::RectF r(rect.left + inset, rect.top + inset, rect.right - rect.left - size,
                     rect.bottom - rect.top - size);
    if (radius <= 0) {
        graphics_->DrawRectangle(&pen, r);
        return;
    }
    Gdiplus::GraphicsPath path;
    addRoundRect(path, r, radius);
    graphics_->DrawPath(&pen, &path);
}

const SkinImage* Painter::scaledImage(const std::wstring& file, std::optional<uint32_t> mask,
                                      int& imageScale) const {
    imageScale = 1;
    if (scale_.dpi() >= kBaseDpi * 3 / 2) {
        const size_t dot = file.find_last_of(L'.');
        const size_t slash = file.find_last_of(L"/\\");
        if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
            if (const SkinImage* twin = cachedImage(file.substr(0, dot) + L"@2x" + file.substr(dot), mask)) {
                imageScale = 2;
                return twin;
            }
        }
    }
    return cachedImage(file, mask);
}

bool Painter::drawImage(const RECT& control, const std::wstring& imageAttribute, std::optional<uint32_t> tint) {
    if (imageAttribute.empty()) return false;
    const std::optional<ImageAttributes>& parsed = parsedImage(imageAttribute);
    if (!parsed) return false;
    int imageScale = 1;
    const SkinImage* image = scaledImage(parsed->file, parsed->mask, imageScale);
    if (!image) return false;

    // Source rectangles and corners are written in pixels of the 1x image.
    MarkupRect source = parsed->source.value_or(
        MarkupRect{0, 0, image->width() / imageScale, image->height() / imageScale});
    source = MarkupRect{source.left * imageScale, source.top * imageScale, source.right * imageScale,
                        source.bottom * imageScale};
    source.right = std::min(source.right, image->width());
    source.bottom = std::min(source.bottom, image->height());
    RECT dest = control;
    if (parsed->dest) {
        dest = RECT{control.left + parsed->dest->left, control.top + parsed->dest->top,
                    control.left + parsed->dest->right, control.top + parsed->dest->bottom};
    }
    dest = scale_.toDevice(dest);
    if (isEmpty(dest) || source.right <= source.left || source.bottom <= source.top) return false;

    const MarkupRect corner = parsed->corner.value_or(MarkupRect{});
    const RECT destCorner{scale_.toDevice(corner.left), scale_.toDevice(corner.top), scale_.toDevice(corner.right),
                          scale_.toDevice(corner.bottom)};
    Gdiplus::ImageAttributes wrap;
    wrap.SetWrapMode(Gdiplus::WrapModeTileFlipXY);  // no blurred seams at the cell edges
    Gdiplus::ColorMatrix shape{};
    if (tint) {
        // Every colour becomes the tint; the alpha stays.
        shape.m[3][3] = 1;
        shape.m[4][0] = ((*tint >> 16) & 0xFF) / 255.0f;
        shape.m[4][1] = ((*tint >> 8) & 0xFF) / 255.0f;
        shape.m[4][2] = (*tint & 0xFF) / 255.0f;
        shape.m[4][4] = 1;
        wrap.SetColorMatrix(&shape);
    }
    Gdiplus::Bitmap& bitmap = image->bitmap();
    const int dx[4] = {dest.left, dest.left + destCorner.left, dest.right - destCorner.right, dest.right};
    const int dy[4] = {dest.top, dest.top + destCorner.top, dest.bottom - destCorner.bottom, dest.bottom};
    const int sx[4] = {source.left, source.left + corner.left * imageScale, source.right - corner.right * imageScale,
                       source.right};
    const int sy[4] = {source.top, source.top + corner.top * imageScale, source.bottom - corner.bottom * imageScale,
                       source.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const auto draw = scale_.isIdentity() ? drawCell : drawScaledCell;
            draw(*graphics_, bitmap, wrap, dx[column], dy[row], dx[column + 1], dy[row + 1], sx[column], sy[row],
                 sx[column + 1], sy[row + 1]);
        }
    }
    return true;
}

int Painter::lineHeight(int fontId) { return scale_.toLayoutExtent(deviceLineHeight(fontId)); }

int Painter::deviceLineHeight(int fontId) {
    HDC dc = canvas_.dc();
    SelectedObject selected(dc, fonts_.font(fontId, L"Ag"));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

SIZE Painter::measureText(const std::wstring& text, int fontId, bool multiline, int maxWidth) {
    return scale_.toLayoutExtent(measureDeviceText(text, fontId, multiline, scale_.toDevice(maxWidth)));
}

SIZE Painter::measureDeviceText(const std::wstring& text, int fontId, bool multiline, int maxWidth) {
    return toolkit::measureText(canvas_.dc(), fonts_.font(fontId, text), text, multiline, maxWidth);
}

void Painter::drawText(const RECT& layoutRect, const std::wstring& text, const TextStyle& style) {
    const RECT rect = scale_.toDevice(layoutRect);
    if (text.empty() || isEmpty(rect) || (style.colour >> 24) == 0) return;
    if (style.markup) {
        const std::vector<TextRun> runs = splitTextRuns(text);
        const bool plain = runs.size() == 1 && !runs[0].colour && !runs[0].underline;
        if (!plain) return drawRuns(rect, text, style);
    }
    HFONT font = fonts_.font(style.fontId, text);
    UINT format = DT_NOPREFIX | horizontalFormat(style.align) | (isRightToLeft(text) ? DT_RTLREADING : 0);
    RECT target = rect;
    if (style.multiline) {
        const SIZE size = measureDeviceText(text, style.fontId, true, rect.right - rect.left);
        target.top = std::max<LONG>(rect.top, alignedTop(rect, size.cy, style.valign));
        format |= DT_WORDBREAK;
    } else {
        format |= DT_SINGLELINE | DT_VCENTER;
        if (style.valign == VerticalAlign::Top) format = (format & ~DT_VCENTER) | DT_TOP;
        if (style.valign == VerticalAlign::Bottom) format = (format & ~DT_VCENTER) | DT_BOTTOM;
        if (style.ellipsis) format |= DT_END_ELLIPSIS;
    }
    blendText(target, font, text, format, style.colour);
}

// Works in device pixels: rect is already scaled.
void Painter::drawRuns(const RECT& rect, const std::wstring& text, const TextStyle& style) {
    const std::vector<TextRun> runs = splitTextRuns(text);
    // One line keeps each run whole, so it is shaped and ordered as one text; wrapping needs words.
    std::vector<RunPiece> pieces;
    if (style.multiline) {
        pieces = splitPieces(runs);
    } else {
        for (const TextRun& run : runs) pieces.push_back({run.text, &run});
    }
    const int width = rect.right - rect.left;
    const int height = deviceLineHeight(style.fontId);
    std::wstring plain;
    for (const TextRun& run : runs) plain += run.text;
    const bool rightToLeft = isRightToLeft(plain);
    // Lines of pieces: one line unless multi-line, where a piece that would overflow starts a new one.
    std::vector<std::vector<std::pair<const RunPiece*, int>>> lines(1);
    int lineWidth = 0;
    for (const RunPiece& piece : pieces) {
        const int pieceWidth = measureDeviceText(piece.text, style.fontId).cx;
        if (style.multiline && lineWidth > 0 && lineWidth + pieceWidth > width) {
            lines.emplace_back();
            lineWidth = 0;
        }
        lines.back().emplace_back(&piece, pieceWidth);
        lineWidth += pieceWidth;
    }
    int y = alignedTop(rect, height * static_cast<int>(lines.size()), style.valign);
    for (const auto& line : lines) {
        int used = 0;
        for (const auto& entry : line) used += entry.second;
        // Right-to-left texts place their first piece rightmost.
        const int start = alignedStart(rect.left, width, used, style.align);
        int x = rightToLeft ? start + used : start;
        for (const auto& [piece, pieceWidth] : line) {
            const int left = rightToLeft ? x - pieceWidth : x;
            // High contrast draws every run in the scheme's colour; underlines still show.
            const uint32_t colour = contrast_ ? style.colour : piece->run->colour.value_or(style.colour);
            const RECT box{left, y, left + pieceWidth, y + height};
            blendText(box, fonts_.font(style.fontId, piece->text), piece->text,
                      DT_NOPREFIX | DT_SINGLELINE | DT_TOP | (rightToLeft ? DT_RTLREADING | DT_RIGHT : DT_LEFT), colour);
            if (piece->run->underline) {
                fillDeviceRect(RECT{left, y + height - scale_.toDevice(2), left + pieceWidth, y + height - scale_.toDevice(1)},
                               colour, 0);
            }
            x += rightToLeft ? -pieceWidth : pieceWidth;
        }
        y += height;
    }
}

void Painter::blendText(const RECT& rect, HFONT font, const std::wstring& text, UINT format, uint32_t colour) {
    RECT visible = intersection(rect, clips_.back());
    if (isEmpty(visible)) return;
    const int width = visible.right - visible.left;
    const int height = visible.bottom - visible.top;
    if (!mask_ || mask_->width() < width || mask_->height() < height) {
        mask_ = std::make_unique<Canvas>(std::max(width, mask_ ? mask_->width() : 0),
                                         std::max(height, mask_ ? mask_->height() : 0));
    } else {
        mask_->clear();
    }
    if (!mask_->valid()) return;
    HDC dc = mask_->dc();
    SelectedObject selected(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    RECT shifted{rect.left - visible.left, rect.top - visible.top, rect.right - visible.left,
                 rect.bottom - visible.top};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shifted, format);
    ::GdiFlush();
    blendCoverage(visible, *mask_, colour);
}

void Painter::blendCoverage(const RECT& target, const Canvas& mask, uint32_t colour) {
    graphics_->Flush(Gdiplus::FlushIntentionSync);
    const uint32_t alpha = colour >> 24;
    const uint32_t red = (colour >> 16) & 0xFF, green = (colour >> 8) & 0xFF, blue = colour & 0xFF;
    uint32_t* pixels = canvas_.pixels();
    for (int y = target.top; y < target.bottom; ++y) {
        const uint32_t* coverageRow = mask.pixels() + static_cast<size_t>(y - target.top) * mask.width();
        uint32_t* row = pixels + static_cast<size_t>(y) * canvas_.width();
        for (int x = target.left; x < target.right; ++x) {
            const uint32_t coverage = (coverageRow[x - target.left] >> 8) & 0xFF;
            if (coverage == 0) continue;
            const uint32_t a = alpha * coverage / 255;
            const uint32_t keep = 255 - a;
            const uint32_t dst = row[x];
            const uint32_t outA = a + ((dst >> 24) * keep) / 255;
            const uint32_t outR = red * a / 255 + (((dst >> 16) & 0xFF) * keep) / 255;
            const uint32_t outG = green * a / 255 + (((dst >> 8) & 0xFF) * keep) / 255;
            const uint32_t outB = blue * a / 255 + ((dst & 0xFF) * keep) / 255;
            row[x] = (outA << 24) | (outR << 16) | (outG << 8) | outB;
        }
    }
}

}  // namespace toolkit

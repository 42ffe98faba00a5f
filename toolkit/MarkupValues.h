#pragma once
// Typed readings of the attribute values of layout markup. Pure functions; any thread. Each reader
// gives nothing for malformed input, so a bad attribute can fall back to a default instead of failing.

#include <cstdint>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace toolkit {

struct MarkupRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const MarkupRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

struct MarkupSize {
    int width = 0, height = 0;
    bool operator==(const MarkupSize& other) const { return width == other.width && height == other.height; }
};

// A decimal number, optionally negative, of at most nine digits.
std::optional<int> parseInteger(const std::wstring& text);
// "#AARRGGBB" to ARGB.
std::optional<uint32_t> parseColour(const std::wstring& text);
// As parseColour, also accepting "0xAARRGGBB" (either case of x), the way image masks are written.
std::optional<uint32_t> parseMaskColour(const std::wstring& text);
// "l,t,r,b": four decimal numbers, optionally negative, blanks allowed around each.
std::optional<MarkupRect> parseRect(const std::wstring& text);
// "w,h".
std::optional<MarkupSize> parseSize(const std::wstring& text);
// "true" or "false".
std::optional<bool> parseBool(const std::wstring& text);

// An image attribute: a bare file name, or key='value' pairs separated by blanks.
struct ImageAttributes {
    std::wstring file;  // path inside the skin package
    std::optional<MarkupRect> source;  // part of the image used, in image pixels
    std::optional<MarkupRect> dest;  // where it is drawn, relative to the control
    std::optional<MarkupRect> corner;  // nine-grid borders that are not stretched
    std::optional<uint32_t> mask;  // ARGB drawn transparent
};

// Nothing when a pair is unterminated, a known value is malformed, or no file is named. Unknown keys
// are skipped, since skins may carry drawing hints this program does not use.
std::optional<ImageAttributes> parseImageAttributes(const std::wstring& text);

// A piece of a text shown with markup: plain, coloured by <c #rrggbb>..</c>, or underlined in a
// colour by <u #rrggbb>..</u>.
struct TextRun {
    std::wstring text;
    std::optional<uint32_t> colour;  // ARGB, fully opaque
    bool underline = false;
    bool operator==(const TextRun& other) const {
        return text == other.text && colour == other.colour && underline == other.underline;
    }
};

// The runs of text in order; adjacent plain pieces are merged. Unknown, malformed or unclosed tags
// stay as literal text, so a stray "<" never loses characters.
std::vector<TextRun> splitTextRuns(const std::wstring& text);


// A "Default" element's value: name="value" pairs separated by blanks, in order. Nothing when a
// pair is malformed or a quote is not closed.
std::optional<std::vector<std::pair<std::wstring, std::wstring>>> parseAttributeList(const std::wstring& text);

}  // namespace toolkit

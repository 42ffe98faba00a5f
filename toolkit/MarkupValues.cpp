#include "toolkit/MarkupValues.h"

#include <cwctype>

#include "utility/UString.h"

namespace toolkit {
namespace {

std::optional<uint32_t> parseHexDigits(const std::wstring& digits) {
    if (digits.size() != 8) return std::nullopt;
    uint32_t value = 0;
    for (wchar_t c : digits) {
        if (!std::iswxdigit(c) || c > 0x7F) return std::nullopt;
        const uint32_t digit = c <= L'9' ? c - L'0' : (std::towlower(c) - L'a' + 10);
        value = value * 16 + digit;
    }
    return value;
}

std::optional<std::vector<int>> parseInts(const std::wstring& text, size_t count) {
    const std::vector<std::wstring> pieces = utility::ustring::split(text, L",");
    if (pieces.size() != count) return std::nullopt;
    std::vector<int> numbers;
    for (const std::wstring& piece : pieces) {
        const std::optional<int> number = parseInteger(piece);
        if (!number) return std::nullopt;
        numbers.push_back(*number);
    }
    return numbers;
}

}  // namespace

// Nine digits at most, so the value cannot overflow an int.
std::optional<int> parseInteger(const std::wstring& text) {
    const size_t start = text.size() > 1 && text[0] == L'-' ? 1 : 0;
    const std::wstring digits = text.substr(start);
    if (digits.empty() || digits.size() > 9 || !utility::ustring::isAllDigits(digits)) return std::nullopt;
    const int value = std::stoi(digits);
    return start ? -value : value;
}

std::optional<uint32_t> parseColour(const std::wstring& text) {
    if (text.empty() || text[0] != L'#') return std::nullopt;
    return parseHexDigits(text.substr(1));
}

std::optional<uint32_t> parseMaskColour(const std::wstring& text) {
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        return parseHexDigits(text.substr(2));
    }
    return parseColour(text);
}

std::optional<MarkupRect> parseRect(const std::wstring& text) {
    const auto numbers = parseInts(text, 4);
    if (!numbers) return std::nullopt;
    return MarkupRect{(*numbers)[0], (*numbers)[1], (*numbers)[2], (*numbers)[3]};
}

std::optional<MarkupSize> parseSize(const std::wstring& text) {
    const auto numbers = parseInts(text, 2);
    if (!numbers) return std::nullopt;
    return MarkupSize{(*numbers)[0], (*numbers)[1]};
}

std::optional<bool> parseBool(const std::wstring& text) {
    if (text == L"true") return true;
    if (text == L"false") return false;
    return std::nullopt;
}

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool applyImageKey(ImageAttributes& image, const std::wstring& key, const std::wstring& value) {
    auto rect = [&value](std::optional<MarkupRect>& out) { return static_cast<bool>(out = parseRect(value)); };
    if (key == L"file") {
        image.file = value;
        return true;
    }
    if (key == L"source") return rect(image.source);
    if (key == L"dest") return rect(image.dest);
    if (key == L"corner") return rect(image.corner);
    if (key == L"mask") return static_cast<bool>(image.mask = parseMaskColour(value));
    return true;
}

}  // namespace

std::optional<ImageAttributes> parseImageAttributes(const std::wstring& text) {
    ImageAttributes image;
    if (text.find(L'=') == std::wstring::npos) {
        image.file = text;
        return text.empty() ? std::nullopt : std::optional<ImageAttributes>(image);
    }
    size_t at = 0;
    while (true) {
        while (at < text.size() && isBlank(text[at])) ++at;
        if (at == text.size()) break;
        const size_t equals = text.find(L'=', at);
        if (equals == std::wstring::npos || equals + 1 >= text.size() || text[equals + 1] != L'\'') {
            return std::nullopt;
        }
        const size_t close = text.find(L'\'', equals + 2);
        if (close == std::wstring::npos) return std::nullopt;
        const std::wstring key = text.substr(at, equals - at);
        if (key.empty() || !applyImageKey(image, key, text.substr(equals + 2, close - equals - 2))) {
            return std::nullopt;
        }
        at = close + 1;
    }
    if (image.file.empty()) return std::nullopt;
    return image;
}

namespace {

struct TaggedRun {
    TextRun run;
    size_t end = 0;  // index just past the closing tag
};

// The run of a well-formed "<c #rrggbb>..</c>" or "<u #rrggbb>..</u>" starting at text[at].
std::optional<TaggedRun> readTaggedRun(const std::wstring& text, size_t at) {
    if (at + 2 >= text.size() || (text[at + 1] != L'c' && text[at + 1] != L'u')) return std::nullopt;
    const wchar_t tag = text[at + 1];
    size_t cursor = at + 2;
    if (!isBlank(text[cursor])) return std::nullopt;
    while (cursor < text.size() && isBlank(text[cursor])) ++cursor;
    const size_t close = text.find(L'>', cursor);
    if (close == std::wstring::npos) return std::nullopt;
    const std::wstring colourText = text.substr(cursor, close - cursor);
    if (colourText.size() != 7) return std::nullopt;
    const std::optional<uint32_t> colour = parseColour(L"#ff" + colourText.substr(1));
    if (colourText[0] != L'#' || !colour) return std::nullopt;
    const std::wstring closing = std::wstring(L"</") + tag + L">";
    const size_t end = text.find(closing, close + 1);
    if (end == std::wstring::npos) return std::nullopt;
    return TaggedRun{{text.substr(close + 1, end - close - 1), colour, tag == L'u'}, end + closing.size()};
}

void appendPlain(std::vector<TextRun>& runs, const std::wstring& text) {
    if (text.empty()) return;
    if (!runs.empty() && !runs.back().colour) {
        runs.back().text += text;
    } else {
        runs.push_back({text, std::nullopt, false});
    }
}

}  // namespace

std::vector<TextRun> splitTextRuns(const std::wstring& text) {
    std::vector<TextRun> runs;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find(L'<', at);
        if (open == std::wstring::npos) {
            appendPlain(runs, text.substr(at));
            break;
        }
        const std::optional<TaggedRun> tagged = readTaggedRun(text, open);
        appendPlain(runs, text.substr(at, tagged ? open - at : open + 1 - at));
        if (tagged && !tagged->run.text.empty()) runs.push_back(tagged->run);
        at = tagged ? tagged->end : open + 1;
    }
    return runs;
}


std::optional<std::vector<std::pair<std::wstring, std::wstring>>> parseAttributeList(const std::wstring& text) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && std::iswspace(text[at])) ++at;
    };
    for (skipBlanks(); at < text.size(); skipBlanks()) {
        const size_t equals = text.find(L'=', at);
        if (equals == std::wstring::npos || equals == at || equals + 1 >= text.size()) return std::nullopt;
        const wchar_t quote = text[equals + 1];
        if (quote != L'"' && quote != L'\'') return std::nullopt;
        const size_t close = text.find(quote, equals + 2);
        if (close == std::wstring::npos) return std::nullopt;
        std::wstring name = text.substr(at, equals - at);
        if (name.find_first_of(L" \t\r\n") != std::wstring::npos) return std::nullopt;
        pairs.emplace_back(std::move(name), text.substr(equals + 2, close - equals - 2));
        at = close + 1;
    }
    return pairs;
}

}  // namespace toolkit

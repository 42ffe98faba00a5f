#include "net/HttpResponseHead.h"

#include <cctype>

namespace utility {

namespace {

// Decimal digits at `at`, moving past them; -1 when there are none or they do not fit.
int64_t readNumber(const std::string& text, size_t& at) {
    const size_t begin = at;
    int64_t value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        if (value > (INT64_MAX - 9) / 10) return -1;
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    return at == begin ? -1 : value;
}

bool skip(const std::string& text, size_t& at, char expected) {
    if (at >= text.size() || text[at] != expected) return false;
    ++at;
    return true;
}

}  // namespace

bool readContentRange(const std::string& value, HttpResponseHead& head) {
    static const std::string kUnit = "bytes ";
    if (value.compare(0, kUnit.size(), kUnit) != 0) return false;
    size_t at = kUnit.size();
    const int64_t start = readNumber(value, at);
    if (start < 0 || !skip(value, at, '-')) return false;
    const int64_t end = readNumber(value, at);
    if (end < start || !skip(value, at, '/')) return false;
    int64_t total = -1;
    if (!skip(value, at, '*')) {
        total = readNumber(value, at);
        if (total <= end) return false;
    }
    if (at != value.size()) return false;
    head.rangeStart = start;
    head.rangeTotal = total;
    return true;
}

}  // namespace utility

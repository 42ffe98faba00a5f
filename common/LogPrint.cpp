#include "common/LogPrint.h"

#include <cstdarg>

#include "common/WideFormat.h"

LogWriterHook logWriter = nullptr;

void logPrint(const char* function, int line, const wchar_t* format, ...) {
    LogWriterHook hook = logWriter;
    if (hook == nullptr) return;
    constexpr int kUnits = 8192;
    wchar_t text[kUnits];
    va_list args;
    va_start(args, format);
    common::formatInto(text, kUnits, format, args);
    va_end(args);
    hook(function, line, L"%s", text);
}

namespace common {

namespace {

constexpr std::string_view kAnonymous = "(anonymous namespace)";
constexpr std::string_view kCallOperator = "operator()";

bool startsAt(std::string_view text, size_t pos, std::string_view what) {
    return text.substr(pos, what.size()) == what;
}

}  // namespace

std::string qualifiedFunctionName(std::string_view pretty) {
    size_t start = 0;
    int templateDepth = 0;
    for (size_t i = 0; i < pretty.size(); ++i) {
        const char c = pretty[i];
        if (c == '<') {
            ++templateDepth;
        } else if (c == '>') {
            --templateDepth;
        } else if (templateDepth > 0) {
            continue;
        } else if (c == ' ') {
            start = i + 1;
        } else if (startsAt(pretty, i, kAnonymous)) {
            i += kAnonymous.size() - 1;
        } else if (c == '(') {
            if (i >= 8 && startsAt(pretty, i - 8, kCallOperator)) {
                ++i;  // the "()" of "operator()" belongs to the name
                continue;
            }
            return std::string(pretty.substr(start, i - start));
        }
    }
    return std::string(pretty.substr(start));
}

}  // namespace common

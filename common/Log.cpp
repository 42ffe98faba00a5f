#include "common/Log.h"

#include <windows.h>

#include <cstdarg>

#include "common/LogStream.h"
#include "common/WideFormat.h"

namespace common {

namespace {

constexpr int kMessageUnits = 512;
// Room for any 511 UTF-16 units in UTF-8, so a long message is never cut mid-character or emptied;
// whether the line fits is the line stream's decision.
constexpr int kUtf8Bytes = (kMessageUnits - 1) * 3 + 1;
constexpr int kSelfLine = 1;
constexpr int kEntryUnits = 8192;

void logFormatted(const char* function, int line, const wchar_t* format, va_list args) {
    wchar_t message[kMessageUnits];
    formatInto(message, kMessageUnits, format, args);

    char utf8[kUtf8Bytes] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, message, -1, utf8, kUtf8Bytes, nullptr, nullptr);

    LogStream stream(function, line);
    stream << utf8;
}

}  // namespace

void log(const char* function, int line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    logFormatted(function, line, format, args);
    va_end(args);
}

void log(const wchar_t* format, ...) {
    wchar_t text[kEntryUnits];
    va_list args;
    va_start(args, format);
    formatInto(text, kEntryUnits, format, args);
    va_end(args);
    log("common::log", kSelfLine, L"%s", text);
}

}  // namespace common


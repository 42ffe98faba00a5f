#pragma once
// The log sink that start-up installs as the writer hook (see LogPrint.h).

namespace common {

// Formats at most 511 UTF-16 units and submits them as one UTF-8 line under function and line.
void log(const char* function, int line, const wchar_t* format, ...);

// The same, under the function name "common::log".
void log(const wchar_t* format, ...);

}  // namespace common

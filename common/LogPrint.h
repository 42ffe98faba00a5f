#pragma once
// The logging entry point every module uses. Lines reach the log file only after start-up has
// installed a writer hook (normally common::log); before that they are dropped.

#include <string>
#include <string_view>

// The writer hook: function name, line, wide printf format (MSVC conventions: %s is a wide string).
using LogWriterHook = void (*)(const char* function, int line, const wchar_t* format, ...);
extern LogWriterHook logWriter;

// Formats the message (at most 8191 UTF-16 units) and hands the finished text to the hook.
void logPrint(const char* function, int line, const wchar_t* format, ...);

namespace common {

// "bool utility::process::execute(const wstring&, ...)" -> "utility::process::execute".
std::string qualifiedFunctionName(std::string_view prettyFunction);

}  // namespace common

// Logs under the calling function's qualified name; the name is worked out once per call site.
#define PEL_LOG(...)                                                                                \
    do {                                                                                            \
        static const std::string pelLogFunction_ = ::common::qualifiedFunctionName(__PRETTY_FUNCTION__); \
        ::logPrint(pelLogFunction_.c_str(), __LINE__, __VA_ARGS__);                                 \
    } while (0)

// Logs under a name given by the caller: for a helper that logs a step of the function the log documents.
#define PEL_LOG_AS(function, ...) ::logPrint(function, __LINE__, __VA_ARGS__)

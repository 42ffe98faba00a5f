#pragma once
// A program of ours run to its end with its standard output read, for tools that print what they
// found (the skin viewer's control rectangles).

#include <optional>
#include <string>

namespace testsupport {

// The program's standard output, once it ended within the time; nothing when it could not start
// or did not end.
std::optional<std::string> runCapturingOutput(const std::wstring& program, const std::wstring& arguments,
                                              unsigned timeoutMs);

}  // namespace testsupport

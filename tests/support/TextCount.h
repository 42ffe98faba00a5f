#pragma once
// How often a text occurs in another, without overlaps: requests in a server's log, lines in ours.

#include <cstddef>
#include <string>

namespace testsupport {

inline size_t countOf(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

}  // namespace testsupport

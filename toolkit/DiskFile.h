#pragma once
// Whole-file reads for skin files kept on disk beside the program.

#include <cstddef>
#include <optional>
#include <string>

namespace toolkit {

// The file's bytes when it exists, is not empty, is at most maxBytes long and was read completely.
std::optional<std::string> readDiskFile(const std::wstring& path, size_t maxBytes = size_t(-1));

}  // namespace toolkit

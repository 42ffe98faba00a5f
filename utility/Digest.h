#pragma once
// Message digests through Windows' own cryptography (CNG), as lowercase hexadecimal text.

#include <string>

namespace utility::digest {

// Empty when the system could not compute it.
std::string md5Hex(const std::string& bytes);
std::string sha256Hex(const std::string& bytes);

}  // namespace utility::digest

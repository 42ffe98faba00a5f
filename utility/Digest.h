#pragma once
// Message digests through Windows' own cryptography (CNG), as lowercase hexadecimal text.

#include <windows.h>

#include <string>

namespace utility::digest {

enum class Algorithm { Md5, Sha256 };

// Empty when the system could not compute it.
std::string hex(Algorithm algorithm, const std::string& bytes);
std::string md5Hex(const std::string& bytes);
std::string sha256Hex(const std::string& bytes);

// The digest of an open file from its first byte to its end, read through this handle only, so the
// bytes hashed are the bytes the holder of the handle can trust. Empty on any failure.
std::string fileHex(Algorithm algorithm, HANDLE file);

}  // namespace utility::digest

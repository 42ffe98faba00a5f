#include "utility/Digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <vector>

namespace utility::digest {

namespace {

struct AlgorithmHandle {
    BCRYPT_ALG_HANDLE handle = nullptr;
    ~AlgorithmHandle() {
        if (handle != nullptr) ::BCryptCloseAlgorithmProvider(handle, 0);
    }
};

struct HashHandle {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashHandle() {
        if (handle != nullptr) ::BCryptDestroyHash(handle);
    }
};

std::string toHex(const std::vector<unsigned char>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string hashHex(LPCWSTR algorithmId, const std::string& bytes) {
    AlgorithmHandle algorithm;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm.handle, algorithmId, nullptr, 0))) return {};
    DWORD length = 0;
    ULONG copied = 0;
    if (!BCRYPT_SUCCESS(::BCryptGetProperty(algorithm.handle, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length),
                                            sizeof length, &copied, 0))) {
        return {};
    }
    HashHandle hash;
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.handle, &hash.handle, nullptr, 0, nullptr, 0, 0))) return {};
    // Hash in pieces: one call takes at most a ULONG of bytes.
    constexpr size_t kPiece = 1 << 30;
    for (size_t offset = 0; offset < bytes.size(); offset += kPiece) {
        const ULONG size = static_cast<ULONG>(std::min(kPiece, bytes.size() - offset));
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + offset));
        if (!BCRYPT_SUCCESS(::BCryptHashData(hash.handle, data, size, 0))) return {};
    }
    std::vector<unsigned char> digest(length);
    if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.handle, digest.data(), length, 0))) return {};
    return toHex(digest);
}

}  // namespace

std::string md5Hex(const std::string& bytes) { return hashHex(BCRYPT_MD5_ALGORITHM, bytes); }

std::string sha256Hex(const std::string& bytes) { return hashHex(BCRYPT_SHA256_ALGORITHM, bytes); }

}  // namespace utility::digest

#include "utility/Digest.h"

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

LPCWSTR algorithmId(Algorithm algorithm) {
    return algorithm == Algorithm::Md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
}

std::string toHex(const std::vector<unsigned char>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

// One running digest: fed in pieces, read once. A failed step makes every later one fail.
class Hasher {
public:
    explicit Hasher(Algorithm algorithm) {
        ULONG copied = 0;
        ok_ = BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm_.handle, algorithmId(algorithm), nullptr, 0)) &&
              BCRYPT_SUCCESS(::BCryptGetProperty(algorithm_.handle, BCRYPT_HASH_LENGTH,
                                                 reinterpret_cast<PUCHAR>(&length_), sizeof length_, &copied, 0)) &&
              BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_.handle, &hash_.handle, nullptr, 0, nullptr, 0, 0));
    }

    void add(const char* data, size_t size) {
        // One call takes at most a ULONG of bytes.
        constexpr size_t kPiece = 1 << 30;
        for (size_t offset = 0; ok_ && offset < size; offset += kPiece) {
            const ULONG piece = static_cast<ULONG>(std::min(kPiece, size - offset));
            auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(data + offset));
            ok_ = BCRYPT_SUCCESS(::BCryptHashData(hash_.handle, bytes, piece, 0));
        }
    }

    std::string finishHex() {
        if (!ok_) return {};
        std::vector<unsigned char> digest(length_);
        if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash_.handle, digest.data(), length_, 0))) return {};
        return toHex(digest);
    }

private:
    AlgorithmHandle algorithm_;
    HashHandle hash_;
    DWORD length_ = 0;
    bool ok_ = false;
};

}  // namespace

std::string hex(Algorithm algorithm, const std::string& bytes) {
    Hasher hasher(algorithm);
    hasher.add(bytes.data(), bytes.size());
    return hasher.finishHex();
}

std::string md5Hex(const std::string& bytes) { return hex(Algorithm::Md5, bytes); }

std::string sha256Hex(const std::string& bytes) { return hex(Algorithm::Sha256, bytes); }

std::string fileHex(Algorithm algorithm, HANDLE file) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return {};
    Hasher hasher(algorithm);
    std::vector<char> block(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return {};
        if (read == 0) break;
        hasher.add(block.data(), read);
    }
    return hasher.finishHex();
}

}  // namespace utility::digest

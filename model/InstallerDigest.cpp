#include "model/InstallerDigest.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "common/LogPrint.h"
#include "utility/UString.h"

namespace {

using utility::digest::Algorithm;

// The text in lowercase when it is exactly `digits` hexadecimal digits.
std::optional<std::string> hexDigits(const std::string& text, size_t digits) {
    if (text.size() != digits) return std::nullopt;
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (!std::all_of(text.begin(), text.end(), isHex)) return std::nullopt;
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return lower;
}

std::optional<std::string> announcedDigest(const wchar_t* name, const std::string& text, size_t digits) {
    if (text.empty()) return std::nullopt;
    std::optional<std::string> digest = hexDigits(text, digits);
    if (!digest) PEL_LOG(L"installer %s not usable: %s", name, utility::ustring::utf8ToWide(text).c_str());
    return digest;
}

}  // namespace

const wchar_t* InstallerDigest::name() const { return algorithm == Algorithm::Md5 ? L"md5" : L"sha256"; }

InstallerDigest installerDigestFrom(const std::string& sha256, const std::string& md5) {
    if (std::optional<std::string> digest = announcedDigest(L"sha256", sha256, 64)) {
        return InstallerDigest{Algorithm::Sha256, *digest};
    }
    if (std::optional<std::string> digest = announcedDigest(L"md5", md5, 32)) return InstallerDigest{Algorithm::Md5, *digest};
    return InstallerDigest{};
}

bool fileMatchesDigest(HANDLE file, const InstallerDigest& digest) {
    return utility::digest::fileHex(digest.algorithm, file) == digest.hex;
}

#include "model/DownloaderIdentity.h"

#include <vector>

#include "utility/UString.h"

namespace {

constexpr size_t kMinimumPieces = 4;
constexpr size_t kShortCommandLine = 5;

std::wstring joined(const std::vector<std::wstring>& pieces, size_t first, size_t last) {
    std::wstring text;
    for (size_t i = first; i <= last && i < pieces.size(); ++i) {
        if (i > first) text += L"_";
        text += pieces[i];
    }
    return text;
}

}  // namespace

NameIdentity identityFromStem(const std::wstring& stem) {
    const std::vector<std::wstring> pieces = utility::ustring::split(stem, L"_");
    NameIdentity identity;
    const size_t n = pieces.size();
    if (n < kMinimumPieces) return identity;
    identity.type = pieces[0];
    identity.market = pieces[1];
    if (n == kMinimumPieces) {
        identity.openId = pieces[2];
    } else if (utility::ustring::isAllDigits(pieces[2])) {
        identity.openId = pieces[2];
        identity.googleId = joined(pieces, 3, n - 2);
    } else {
        identity.package = pieces[2];
        identity.openId = pieces[3];
        // The last piece is never used.
        if (n > 5) identity.googleId = joined(pieces, 4, n - 2);
    }
    return identity;
}

CommandLinePackage packageFromCommandLine(const std::wstring& commandLine) {
    std::wstring text = commandLine;
    if (text.size() > kShortCommandLine) {
        if (text.front() == L'"') text.erase(0, 1);
        if (!text.empty() && text.back() == L'"') text.pop_back();
    }
    const auto values = utility::ustring::parseKeyValues(utility::ustring::split(text, L"|"), L"=");
    CommandLinePackage result;
    result.found = !values.empty();
    utility::ustring::lookup(values, L"name", result.name);
    utility::ustring::lookup(values, L"package", result.package);
    utility::ustring::lookup(values, L"apkurl", result.apkUrl);
    return result;
}

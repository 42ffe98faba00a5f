#include "toolkit/ImageCache.h"

#include <map>
#include <memory>
#include <utility>

#include "toolkit/SkinPackage.h"

namespace toolkit {

namespace {

using ImageKey = std::pair<std::wstring, std::optional<uint32_t>>;

std::map<ImageKey, std::unique_ptr<SkinImage>>& images() {
    static std::map<ImageKey, std::unique_ptr<SkinImage>> cache;
    return cache;
}

}  // namespace

const SkinImage* cachedImage(const std::wstring& file, std::optional<uint32_t> mask) {
    ImageKey key{file, mask};
    auto found = images().find(key);
    if (found == images().end()) {
        const std::optional<std::string> bytes = readSkinFile(file);
        found = images().emplace(std::move(key), bytes ? decodeSkinImage(*bytes, mask) : nullptr).first;
    }
    return found->second.get();
}

void clearImageCache() { images().clear(); }

}  // namespace toolkit

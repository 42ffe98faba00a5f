#include "model/LanguageStrings.h"

#include "common/XmlDocument.h"

namespace model {

LanguageStrings::LoadResult LanguageStrings::load(const std::wstring& xml) {
    common::XmlDocument document;
    if (!document.load(xml)) return LoadResult::NotWellFormed;
    const common::XmlNode* root = document.root();
    if (root == nullptr) return LoadResult::NoRoot;
    for (const auto& child : root->children()) {
        if (child->name() != L"String") continue;
        const std::wstring& id = child->attribute(L"id");
        if (!id.empty() && !child->text().empty()) strings_[id] = child->text();
    }
    return LoadResult::Loaded;
}

std::wstring LanguageStrings::get(const std::wstring& id) const {
    const auto found = strings_.find(id);
    return found == strings_.end() ? id : found->second;
}

}  // namespace model

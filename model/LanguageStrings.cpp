#include "model/LanguageStrings.h"

#include "common/XmlDocument.h"

namespace model {

bool LanguageStrings::load(const std::wstring& xml, LoadFailure* failure) {
    common::XmlDocument document;
    const bool wellFormed = document.load(xml);
    const common::XmlNode* root = wellFormed ? document.root() : nullptr;
    if (root == nullptr) {
        if (failure != nullptr) *failure = wellFormed ? LoadFailure::NoRoot : LoadFailure::NotWellFormed;
        return false;
    }
    for (const auto& child : root->children()) {
        if (child->name() != L"String") continue;
        const std::wstring& id = child->attribute(L"id");
        if (!id.empty() && !child->text().empty()) strings_[id] = child->text();
    }
    return true;
}

std::wstring LanguageStrings::get(const std::wstring& id) const {
    const auto found = strings_.find(id);
    return found == strings_.end() ? id : found->second;
}

}  // namespace model

#include "model/LanguageStrings.h"

#include <windows.h>

#include "common/LogPrint.h"
#include "common/XmlDocument.h"

namespace model {

bool LanguageStrings::load(const std::wstring& xml) {
    PEL_LOG(L"load language length %d", static_cast<int>(xml.size()));
    common::XmlDocument document;
    if (!document.load(xml)) {
        PEL_LOG(L"language load from string error. length:%d, error:%d", static_cast<int>(xml.size()),
                ::GetLastError());
        return false;
    }
    const common::XmlNode* root = document.root();
    if (root == nullptr) {
        PEL_LOG(L"load language error. root is null");
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

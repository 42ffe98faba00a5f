#include "common/XmlDocument.h"

#include <new>

#include "common/XmlMarkup.h"

namespace common {

namespace {

// A node with the name and every attribute of the markup's current element.
std::unique_ptr<XmlNode> newNode(const XmlMarkup& markup) {
    auto node = std::make_unique<XmlNode>(markup.getTagName());
    for (int i = 0;; ++i) {
        std::wstring name = markup.getAttributeName(i);
        if (name.empty()) break;
        std::wstring value = markup.getAttribute(name);
        node->setAttribute(std::move(name), std::move(value));
    }
    return node;
}

// Builds the children of the root in document order, walking the index depth first. An explicit
// stack of parents instead of recursion: nesting depth is up to the document.
void buildChildren(XmlMarkup& markup, XmlNode* root) {
    std::vector<XmlNode*> parents{root};
    markup.intoElement();
    for (;;) {
        if (markup.findElement()) {
            std::unique_ptr<XmlNode> node = newNode(markup);
            node->setText(markup.getText());
            parents.push_back(parents.back()->appendChild(std::move(node)));
            markup.intoElement();
        } else {
            parents.pop_back();
            if (parents.empty()) return;
            markup.outOfElement();
        }
    }
}

}  // namespace

XmlNode::~XmlNode() {
    std::vector<std::unique_ptr<XmlNode>> pending = std::move(children_);
    while (!pending.empty()) {
        std::unique_ptr<XmlNode> node = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<XmlNode>& child : node->children_) pending.push_back(std::move(child));
        node->children_.clear();
    }
}

const std::wstring& XmlNode::attribute(std::wstring_view name) const {
    static const std::wstring kAbsent;
    for (const Attribute& attribute : attributes_) {
        if (attribute.first == name) return attribute.second;
    }
    return kAbsent;
}

void XmlNode::setAttribute(std::wstring name, std::wstring value) {
    for (Attribute& attribute : attributes_) {
        if (attribute.first == name) {
            attribute.second = std::move(value);
            return;
        }
    }
    attributes_.emplace_back(std::move(name), std::move(value));
}

XmlNode* XmlNode::appendChild(std::unique_ptr<XmlNode> child) {
    children_.push_back(std::move(child));
    return children_.back().get();
}

bool XmlDocument::load(const std::wstring& text) {
    root_.reset();
    // The index and a partial tree are released on every way out, an exhausted heap included.
    try {
        XmlMarkup markup;
        const bool wellFormed = markup.setDocument(text);
        error_ = markup.getError();
        if (!wellFormed) return false;
        markup.findElement();
        std::unique_ptr<XmlNode> root = newNode(markup);
        buildChildren(markup, root.get());
        root_ = std::move(root);
        return true;
    } catch (const std::bad_alloc&) {
        error_ = L"Out of memory";
        return false;
    }
}

}  // namespace common

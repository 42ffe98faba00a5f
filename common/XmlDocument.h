#pragma once
// The element tree of a well-formed document, built from the index of XmlMarkup. Only elements make
// nodes: whitespace, comments, processing instructions and declarations leave none.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace common {

class XmlNode {
public:
    using Attribute = std::pair<std::wstring, std::wstring>;

    explicit XmlNode(std::wstring name) : name_(std::move(name)) {}
    // Releases the descendants without recursion, so a deeply nested tree cannot exhaust the stack.
    ~XmlNode();
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    const std::wstring& name() const { return name_; }
    // Text and CDATA content; empty for an element with child elements.
    const std::wstring& text() const { return text_; }
    void setText(std::wstring text) { text_ = std::move(text); }

    // In tag order, each name once.
    const std::vector<Attribute>& attributes() const { return attributes_; }
    // Value of the named attribute; empty when absent.
    const std::wstring& attribute(std::wstring_view name) const;
    // Replaces the value of a name already present, otherwise appends the pair.
    void setAttribute(std::wstring name, std::wstring value);

    const std::vector<std::unique_ptr<XmlNode>>& children() const { return children_; }
    // Appends child after the others and returns it.
    XmlNode* appendChild(std::unique_ptr<XmlNode> child);

private:
    std::wstring name_;
    std::wstring text_;
    std::vector<Attribute> attributes_;
    std::vector<std::unique_ptr<XmlNode>> children_;
};

class XmlDocument {
public:
    // Replaces the tree with that of text. False, leaving no root, when text is not well formed;
    // error() then tells why.
    bool load(const std::wstring& text);

    // Null until a load succeeds.
    const XmlNode* root() const { return root_.get(); }
    // The first problem of the last load, for the log; empty after a successful one.
    const std::wstring& error() const { return error_; }

private:
    std::unique_ptr<XmlNode> root_;
    std::wstring error_;
};

}  // namespace common

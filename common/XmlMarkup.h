#pragma once
// Reads the interface language files. Checks that a UTF-16 document is well formed while indexing
// every element in one pass, then answers questions about one element at a time. Strings are made
// only when a caller asks for a name, a value or a text.

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace common {

class XmlMarkup {
public:
    XmlMarkup();
    ~XmlMarkup();
    XmlMarkup(const XmlMarkup&) = delete;
    XmlMarkup& operator=(const XmlMarkup&) = delete;

    // Indexes text and goes back to the top level. True when the text is well formed and has exactly
    // one root element; otherwise error() holds the first problem found.
    bool setDocument(std::wstring text);
    // Moves to the next element below the current parent, or to the next one with the given name.
    // Names compare case-sensitively; an empty name takes any element. False, not moving, at the end.
    bool findElement(std::wstring_view name = {});
    // Makes the current element the parent, so that findElement looks at its children.
    bool intoElement();
    // Makes the parent the current element again; false at the top level.
    bool outOfElement();

    // These read the current element and are empty when there is none.
    std::wstring getTagName() const;
    // Name of the n-th attribute in tag order, counted from 0; empty past the last one.
    std::wstring getAttributeName(int n) const;
    // Value of the first attribute with that name, entities decoded; empty when absent.
    std::wstring getAttribute(std::wstring_view name) const;
    // Text and CDATA content, or empty when the element has child elements.
    std::wstring getText() const;

    // The first problem of the last setDocument; empty when the document was well formed.
    const std::wstring& getError() const { return error_; }

private:
    struct Element;
    struct Node;
    struct Attribute;

    // Records live in fixed blocks, so growing the index never moves a record.
    static constexpr int kBlockShift = 16;
    static constexpr int kBlockRecords = 1 << kBlockShift;

    Element& _element(int index);
    const Element& _element(int index) const;
    int _appendElement();
    void _clearIndex();

    Node _scanNode(int offset, int limit) const;
    void _indexNodes();
    void _openElement(const Node& node, int& parent);
    void _closeElements(const Node& endTag, int& parent);
    void _fail(const wchar_t* format, std::initializer_list<std::wstring_view> args);

    std::wstring_view _nameView(int offset, int limit) const;
    std::wstring_view _tagName(const Element& element) const;
    bool _nextAttribute(int& offset, int limit, Attribute& attribute) const;
    int _attributesLimit(const Element& element) const;

    std::wstring document_;
    std::wstring error_;
    int parent_ = 0;   // element whose children findElement visits; 0 is the document
    int current_ = 0;  // 0 before the first findElement below the parent
    std::vector<std::unique_ptr<Element[]>> blocks_;
    int count_ = 0;
};

}  // namespace common

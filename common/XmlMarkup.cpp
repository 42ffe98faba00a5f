#include "common/XmlMarkup.h"

#include <algorithm>
#include <climits>

namespace common {

namespace {

constexpr unsigned kEmpty = 1;      // written as one tag ending in "/>"
constexpr unsigned kNotEnded = 2;   // closed by the end of the text or by an end tag further out
constexpr unsigned kIllFormed = 4;  // on record 0 only

// Offsets are ints; this keeps every offset plus a terminator's length in range.
constexpr size_t kMaxLength = INT_MAX / 2;

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
}

bool isQuote(wchar_t c) {
    return c == L'"' || c == L'\'';
}

bool startsName(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || c == L':' || c == L'_' || c > L'`';
}

// Names of elements and attributes run up to one of these. Quotes end a name too, so that a name
// never holds a character that changes how the rest of its tag is read.
bool endsName(wchar_t c) {
    return isBlank(c) || c == L'=' || c == L'/' || c == L'>' || c == L'[' || c == L']' || isQuote(c);
}

std::wstring number(int value) {
    return std::to_wstring(value);
}

// One past the first terminator at or after from, or -1 when it is not found before limit.
int endOf(const wchar_t* text, int from, int limit, std::wstring_view terminator) {
    const int last = limit - static_cast<int>(terminator.size());
    for (int i = from; i <= last; ++i) {
        if (text[i] == terminator[0] && std::wstring_view(text + i, terminator.size()) == terminator) {
            return i + static_cast<int>(terminator.size());
        }
    }
    return -1;
}

// The ">" that closes a doctype is outside its quoted literals and its "[...]" internal subset.
// Inside the subset only its closing "]" counts, so an apostrophe in a comment there does no harm.
int doctypeEnd(const wchar_t* text, int from, int limit) {
    wchar_t quote = 0;
    bool inSubset = false;
    for (int i = from; i < limit; ++i) {
        const wchar_t c = text[i];
        if (inSubset) {
            inSubset = c != L']';
        } else if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (isQuote(c)) {
            quote = c;
        } else if (c == L'[') {
            inSubset = true;
        } else if (c == L'>') {
            return i + 1;
        }
    }
    return -1;
}

int digitValue(wchar_t c, bool hex) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (hex && c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (hex && c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// "&#" or "&#x" at text: the code read from the leading digits, the ";" at most 7 characters on.
// Returns the characters taken, or 0 when the "&" has to stay as written.
int numericReference(const wchar_t* text, const wchar_t* end, std::wstring& out) {
    const wchar_t* last = end - text > 10 ? text + 10 : end;
    const wchar_t* semicolon = std::find(text + 2, last, L';');
    if (semicolon == last) return 0;
    const bool hex = text[2] == L'x';
    unsigned long code = 0;
    for (const wchar_t* p = text + (hex ? 3 : 2); p < semicolon; ++p) {
        const int digit = digitValue(*p, hex);
        if (digit < 0) break;
        code = code * (hex ? 16 : 10) + digit;
    }
    if (code == 0 || code > 0x10FFFF) return 0;
    // A code beyond one UTF-16 unit becomes its surrogate pair rather than a truncated unit.
    if (code > 0xFFFF) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
    return static_cast<int>(semicolon + 1 - text);
}

struct NamedEntity {
    std::wstring_view reference;
    wchar_t character;
};

constexpr NamedEntity kNamedEntities[] = {
    {L"&lt;", L'<'}, {L"&amp;", L'&'}, {L"&gt;", L'>'}, {L"&apos;", L'\''}, {L"&quot;", L'"'},
};

// Decodes the reference at the "&" at text; returns the characters taken, 0 when it is none we know.
int decodeReference(const wchar_t* text, const wchar_t* end, std::wstring& out) {
    if (end - text > 1 && text[1] == L'#') return numericReference(text, end, out);
    for (const NamedEntity& entity : kNamedEntities) {
        const size_t size = entity.reference.size();
        if (static_cast<size_t>(end - text) >= size && std::wstring_view(text, size) == entity.reference) {
            out += entity.character;
            return static_cast<int>(size);
        }
    }
    return 0;
}

void appendDecoded(std::wstring& out, const wchar_t* text, const wchar_t* end) {
    while (text < end) {
        const wchar_t* ampersand = std::find(text, end, L'&');
        out.append(text, ampersand);
        if (ampersand == end) return;
        const int taken = decodeReference(ampersand, end, out);
        if (taken == 0) out += L'&';
        text = ampersand + std::max(taken, 1);
    }
}

}  // namespace

struct XmlMarkup::Element {
    int start;            // offset of the "<" of the start tag
    int length;           // the whole element, end tag included
    int startTagLength;
    int endTagLength;     // 0 for empty and not-ended elements
    int level;            // 1 for the root element
    unsigned flags;
    int parent;
    int firstChild;       // 0 when none: record 0 is never a child
    int nextSibling;      // 0 after the last child
    int previousSibling;  // the first child's points to the last child, for appending
};

struct XmlMarkup::Node {
    enum Kind { Whitespace, Text, StartTag, EndTag, ProcessingInstruction, Comment, CData, Doctype, Declaration };

    Kind kind = Whitespace;
    int offset = 0;
    int end = 0;                      // one past the node's last character
    bool empty = false;               // a start tag ending in "/>"
    const wchar_t* problem = nullptr;  // format of a scanning error; the node is unusable
    const wchar_t* what = nullptr;     // the "%s" of problem
};

struct XmlMarkup::Attribute {
    int name;
    int nameLength;
    int value;
    int valueLength;
};

XmlMarkup::XmlMarkup() {
    _clearIndex();
}

XmlMarkup::~XmlMarkup() = default;

XmlMarkup::Element& XmlMarkup::_element(int index) {
    return blocks_[index >> kBlockShift][index & (kBlockRecords - 1)];
}

const XmlMarkup::Element& XmlMarkup::_element(int index) const {
    return blocks_[index >> kBlockShift][index & (kBlockRecords - 1)];
}

int XmlMarkup::_appendElement() {
    if (count_ == static_cast<int>(blocks_.size()) * kBlockRecords) {
        if (blocks_.size() == blocks_.capacity()) blocks_.reserve(blocks_.capacity() + blocks_.capacity() / 2 + 1);
        // Left uninitialised: every record is filled in when it is appended.
        blocks_.emplace_back(new Element[kBlockRecords]);
    }
    return count_++;
}

// Leaves only record 0, the document, whose first child will be the root element. The blocks stay
// for the next document.
void XmlMarkup::_clearIndex() {
    count_ = 0;
    _element(_appendElement()) = Element{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

// Classifies the node at offset, which must be below limit, and finds its end; reads nothing at or
// past limit.
XmlMarkup::Node XmlMarkup::_scanNode(int offset, int limit) const {
    const wchar_t* text = document_.data();
    Node node;
    node.offset = offset;
    int i = offset;
    if (text[i] != L'<') {
        while (i < limit && isBlank(text[i])) ++i;
        if (i < limit && text[i] != L'<') {
            node.kind = Node::Text;
            while (i < limit && text[i] != L'<') ++i;
        }
        node.end = i;
        return node;
    }

    auto at = [&](int index) { return index < limit ? text[index] : L'\0'; };
    auto incorrect = [&](const wchar_t* what) {
        node.problem = L"Incorrect %s at offset %d";
        node.what = what;
        return node;
    };
    auto until = [&](Node::Kind kind, int end, const wchar_t* what) {
        node.kind = kind;
        node.end = end;
        if (end < 0) {
            node.problem = L"%s at offset %d unterminated";
            node.what = what;
        }
        return node;
    };

    const wchar_t next = at(offset + 1);
    if (startsName(next)) {
        int nameEnd = offset + 2;
        while (nameEnd < limit && !endsName(text[nameEnd])) ++nameEnd;
        wchar_t quote = 0;
        for (i = nameEnd; i < limit; ++i) {
            const wchar_t c = text[i];
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (isQuote(c)) {
                quote = c;
            } else if (c == L'>') {
                // Outside quotes, so a quote just before the "/" closed a value.
                node.empty = text[i - 1] == L'/' && (i - 1 == nameEnd || isBlank(text[i - 2]) || isQuote(text[i - 2]));
                return until(Node::StartTag, i + 1, nullptr);
            }
        }
        return until(Node::StartTag, -1, L"Element tag");
    }
    switch (next) {
    case L'/':
        return until(Node::EndTag, endOf(text, offset + 2, limit, L">"), L"Element end tag");
    case L'?':
        return until(Node::ProcessingInstruction, endOf(text, offset + 2, limit, L"?>"), L"Processing instruction");
    case L'!':
        switch (at(offset + 2)) {
        case L'-':
            if (at(offset + 3) != L'-') return incorrect(L"comment tag");
            return until(Node::Comment, endOf(text, offset + 4, limit, L"-->"), L"Comment");
        case L'[':
            if (at(offset + 3) != L'C') return incorrect(L"tag");
            // The body starts after "<![CDATA[", whatever those nine characters are.
            return until(Node::CData, endOf(text, offset + 9, limit, L"]]>"), L"CDATA Section");
        case L'D':
            return until(Node::Doctype, doctypeEnd(text, offset + 3, limit), L"Doctype");
        case L'E':
        case L'A':
        case L'N':
            return until(Node::Declaration, endOf(text, offset + 3, limit, L">"), L"tag");
        default:
            return incorrect(L"! tag");
        }
    default:
        return incorrect(L"tag name character");
    }
}

bool XmlMarkup::setDocument(std::wstring text) {
    document_ = std::move(text);
    error_.clear();
    _clearIndex();
    parent_ = 0;
    current_ = 0;
    if (document_.empty()) {
        _fail(L"Empty document", {});
    } else if (document_.size() > kMaxLength) {
        _fail(L"Document too large", {});
    } else {
        _indexNodes();
    }
    const Element& document = _element(0);
    if (document.firstChild == 0) {
        _fail(L"No root element", {});
    } else if (_element(document.firstChild).nextSibling != 0) {
        _fail(L"Root element has sibling", {});
    }
    return (document.flags & kIllFormed) == 0;
}

// Stops at the first error: only the first message is kept, and a document with one is rejected.
void XmlMarkup::_indexNodes() {
    const int length = static_cast<int>(document_.size());
    int parent = 0;
    for (int offset = 0; offset < length && error_.empty();) {
        const Node node = _scanNode(offset, length);
        if (node.problem != nullptr) {
            _fail(node.problem, {node.what, number(node.offset)});
            break;
        }
        if (node.kind == Node::StartTag) {
            _openElement(node, parent);
        } else if (node.kind == Node::EndTag) {
            _closeElements(node, parent);
        }
        offset = node.end;
    }
    const int innermost = parent;
    for (; parent != 0; parent = _element(parent).parent) {
        Element& open = _element(parent);
        if (parent == innermost) _fail(L"Element '%s' at offset %d not ended", {_tagName(open), number(open.start)});
        open.flags |= kNotEnded;
        open.length = length - open.start;
    }
}

// Appends the element after the parent's last child; one that is not empty becomes the parent.
void XmlMarkup::_openElement(const Node& node, int& parent) {
    const int index = _appendElement();
    Element& up = _element(parent);
    Element& element = _element(index);
    const int tagLength = node.end - node.offset;
    element = Element{node.offset, tagLength, tagLength, 0, up.level + 1, node.empty ? kEmpty : 0, parent, 0, 0, index};
    if (up.firstChild == 0) {
        up.firstChild = index;
    } else {
        Element& first = _element(up.firstChild);
        _element(first.previousSibling).nextSibling = index;
        element.previousSibling = first.previousSibling;
        first.previousSibling = index;
    }
    if (!node.empty) parent = index;
}

// Ends the innermost open element of the end tag's name, and every element inside it as not ended.
void XmlMarkup::_closeElements(const Node& endTag, int& parent) {
    const std::wstring_view name = _nameView(endTag.offset + 2, endTag.end - 1);
    int match = parent;
    while (match != 0 && _tagName(_element(match)) != name) match = _element(match).parent;
    if (match == 0) {
        _fail(L"No start tag for end tag '%s' at offset %d", {name, number(endTag.offset)});
        return;
    }
    if (match != parent) {
        const Element& innermost = _element(parent);
        _fail(L"End tag '%s' at offset %d does not match start tag '%s' at offset %d",
              {name, number(endTag.offset), _tagName(innermost), number(innermost.start)});
    }
    for (; parent != match; parent = _element(parent).parent) {
        Element& inside = _element(parent);
        inside.flags |= kNotEnded;
        inside.length = endTag.offset - inside.start;
    }
    Element& ended = _element(match);
    ended.length = endTag.end - ended.start;
    ended.endTagLength = endTag.end - endTag.offset;
    parent = ended.parent;
}

// Marks the document ill formed and keeps the message when it is the first: each "%s" or "%d" of
// format takes the next argument.
void XmlMarkup::_fail(const wchar_t* format, std::initializer_list<std::wstring_view> args) {
    _element(0).flags |= kIllFormed;
    if (!error_.empty()) return;
    auto arg = args.begin();
    for (const wchar_t* c = format; *c != L'\0'; ++c) {
        if (c[0] == L'%' && (c[1] == L's' || c[1] == L'd') && arg != args.end()) {
            error_.append(*arg++);
            ++c;
        } else {
            error_ += *c;
        }
    }
}

std::wstring_view XmlMarkup::_nameView(int offset, int limit) const {
    int end = offset;
    while (end < limit && !endsName(document_[end])) ++end;
    return std::wstring_view(document_.data() + offset, end - offset);
}

std::wstring_view XmlMarkup::_tagName(const Element& element) const {
    return _nameView(element.start + 1, element.start + element.startTagLength);
}

bool XmlMarkup::findElement(std::wstring_view name) {
    int candidate = current_ != 0 ? _element(current_).nextSibling : _element(parent_).firstChild;
    while (candidate != 0 && !name.empty() && _tagName(_element(candidate)) != name) {
        candidate = _element(candidate).nextSibling;
    }
    if (candidate == 0) return false;
    current_ = candidate;
    return true;
}

bool XmlMarkup::intoElement() {
    if (current_ == 0) return false;
    parent_ = current_;
    current_ = 0;
    return true;
}

bool XmlMarkup::outOfElement() {
    if (parent_ == 0) return false;
    current_ = parent_;
    parent_ = _element(parent_).parent;
    return true;
}

std::wstring XmlMarkup::getTagName() const {
    if (current_ == 0) return {};
    return std::wstring(_tagName(_element(current_)));
}

// Attributes end before the tag's ">", or before its "/>" when the element is empty.
int XmlMarkup::_attributesLimit(const Element& element) const {
    return element.start + element.startTagLength - ((element.flags & kEmpty) != 0 ? 2 : 1);
}

// Reads the next attribute from offset on; false when none is left before limit. Characters that
// cannot start a name, such as a stray quote, are stepped over.
bool XmlMarkup::_nextAttribute(int& offset, int limit, Attribute& attribute) const {
    const wchar_t* text = document_.data();
    auto skipBlanks = [&] {
        while (offset < limit && isBlank(text[offset])) ++offset;
    };
    for (;;) {
        skipBlanks();
        if (offset >= limit) return false;
        attribute.name = offset;
        while (offset < limit && !endsName(text[offset])) ++offset;
        attribute.nameLength = offset - attribute.name;
        skipBlanks();
        attribute.value = offset;
        attribute.valueLength = 0;
        if (offset < limit && text[offset] == L'=') {
            ++offset;
            skipBlanks();
            const wchar_t quote = offset < limit && isQuote(text[offset]) ? text[offset++] : L'\0';
            attribute.value = offset;
            while (offset < limit && (quote != 0 ? text[offset] != quote : !isBlank(text[offset]))) ++offset;
            attribute.valueLength = offset - attribute.value;
            if (quote != 0 && offset < limit) ++offset;
        }
        if (attribute.nameLength > 0) return true;
        if (offset == attribute.name) ++offset;
    }
}

std::wstring XmlMarkup::getAttributeName(int n) const {
    if (current_ == 0) return {};
    const Element& element = _element(current_);
    const int limit = _attributesLimit(element);
    int offset = element.start + 1 + static_cast<int>(_tagName(element).size());
    Attribute attribute;
    for (int i = 0; _nextAttribute(offset, limit, attribute); ++i) {
        if (i == n) return document_.substr(attribute.name, attribute.nameLength);
    }
    return {};
}

std::wstring XmlMarkup::getAttribute(std::wstring_view name) const {
    std::wstring value;
    if (current_ == 0) return value;
    const Element& element = _element(current_);
    const int limit = _attributesLimit(element);
    int offset = element.start + 1 + static_cast<int>(_tagName(element).size());
    Attribute attribute;
    while (_nextAttribute(offset, limit, attribute)) {
        if (std::wstring_view(document_.data() + attribute.name, attribute.nameLength) == name) {
            const wchar_t* begin = document_.data() + attribute.value;
            appendDecoded(value, begin, begin + attribute.valueLength);
            break;
        }
    }
    return value;
}

// Scans the content again, node by node: text is decoded, CDATA bodies are taken as written, and
// comments, processing instructions and declarations are left out.
std::wstring XmlMarkup::getText() const {
    std::wstring text;
    if (current_ == 0) return text;
    const Element& element = _element(current_);
    if (element.firstChild != 0) return text;
    const wchar_t* document = document_.data();
    const int end = element.start + element.length - element.endTagLength;
    for (int offset = element.start + element.startTagLength; offset < end;) {
        const Node node = _scanNode(offset, end);
        if (node.problem != nullptr) break;
        if (node.kind == Node::Text || node.kind == Node::Whitespace) {
            appendDecoded(text, document + node.offset, document + node.end);
        } else if (node.kind == Node::CData) {
            text.append(document + node.offset + 9, document + node.end - 3);
        }
        offset = node.end;
    }
    return text;
}

}  // namespace common

#include "toolkit/LayoutDocument.h"

#include <memory>

#include "common/XmlDocument.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TextTables.h"
#include "utility/UString.h"

namespace toolkit {

const std::wstring& ControlLayout::attribute(const std::wstring& name) const {
    static const std::wstring empty;
    for (const Attribute& attribute : attributes) {
        if (attribute.first == name) return attribute.second;
    }
    return empty;
}

namespace {

using common::XmlNode;

// Thrown inside the builder only; the public functions turn it into a LayoutError.
struct LayoutFailure {
    LayoutError error;
};

class LayoutBuilder {
public:
    // The top file opens the include chain, so including it again is a cycle too.
    explicit LayoutBuilder(const std::wstring& topFile) : includeChain_{topFile} {}

    // The root element of the file; the document is kept alive for the builder's lifetime.
    const XmlNode& parse(const std::string& utf8, const std::wstring& fileName);
    // Node's child elements as controls, includes replaced by the controls they bring.
    std::vector<ControlLayout> children(const XmlNode& node, const std::wstring& fileName);

private:
    ControlLayout control(const XmlNode& node, const std::wstring& fileName);
    std::vector<ControlLayout> include(const std::wstring& source, const std::wstring& fileName);

    std::vector<std::unique_ptr<common::XmlDocument>> documents_;
    std::vector<std::wstring> includeChain_;
};

[[noreturn]] void fail(const std::wstring& location, const std::wstring& message) {
    throw LayoutFailure{{location, message}};
}

std::wstring withoutByteOrderMark(std::wstring text) {
    if (!text.empty() && text[0] == L'\xFEFF') text.erase(0, 1);
    return text;
}

const XmlNode& LayoutBuilder::parse(const std::string& utf8, const std::wstring& fileName) {
    auto document = std::make_unique<common::XmlDocument>();
    if (!document->load(withoutByteOrderMark(utility::ustring::utf8ToWide(utf8)))) {
        fail(fileName, document->error());
    }
    documents_.push_back(std::move(document));
    return *documents_.back()->root();
}

std::vector<ControlLayout> LayoutBuilder::children(const XmlNode& node, const std::wstring& fileName) {
    std::vector<ControlLayout> controls;
    for (const auto& child : node.children()) {
        if (child->name() != L"Include") {
            controls.push_back(control(*child, fileName));
            continue;
        }
        for (ControlLayout& included : include(child->attribute(L"source"), fileName)) {
            controls.push_back(std::move(included));
        }
    }
    return controls;
}

ControlLayout LayoutBuilder::control(const XmlNode& node, const std::wstring& fileName) {
    ControlLayout control{node.name(), {}, {}, {}};
    for (const auto& [name, value] : node.attributes()) {
        const bool translatable = name == L"text" || name == L"tooltip";
        control.attributes.emplace_back(name, translatable ? resolveText(value) : value);
        if (translatable && value.size() > 1 && value[0] == L'@') control.textKeys.emplace_back(name, value);
    }
    control.children = children(node, fileName);
    return control;
}

// A file whose root is "Window" brings its children; any other root brings itself. Errors name the
// file holding the Include, where the fix belongs.
std::vector<ControlLayout> LayoutBuilder::include(const std::wstring& source,
                                                  const std::wstring& fileName) {
    for (const std::wstring& open : includeChain_) {
        if (open == source) fail(fileName, L"include cycle through \"" + source + L"\"");
    }
    if (static_cast<int>(includeChain_.size()) > kMaxIncludeDepth) {
        fail(fileName, L"includes nested too deeply at \"" + source + L"\"");
    }
    const std::optional<std::string> bytes = source.empty() ? std::nullopt : readSkinFile(source);
    if (!bytes) fail(fileName, L"cannot read included file \"" + source + L"\"");
    includeChain_.push_back(source);
    const XmlNode& root = parse(*bytes, source);
    std::vector<ControlLayout> controls =
        root.name() == L"Window" ? children(root, source) : std::vector<ControlLayout>{control(root, source)};
    includeChain_.pop_back();
    return controls;
}

FontEntry font(const ControlLayout& element) {
    FontEntry font;
    font.id = parseInteger(element.attribute(L"id")).value_or(0);
    font.name = element.attribute(L"name");
    font.size = parseInteger(element.attribute(L"size")).value_or(0);
    font.bold = parseBool(element.attribute(L"bold")).value_or(false);
    font.italic = parseBool(element.attribute(L"italic")).value_or(false);
    font.isDefault = parseBool(element.attribute(L"default")).value_or(false);
    return font;
}

// Sorts the expanded children of "Window" into fonts, defaults and the first control, the root.
WindowLayout window(const XmlNode& root, std::vector<ControlLayout> elements, const std::wstring& fileName) {
    WindowLayout window;
    window.size = parseSize(root.attribute(L"size"));
    window.caption = parseRect(root.attribute(L"caption"));
    window.minInfo = parseSize(root.attribute(L"mininfo"));
    window.layeredImage = root.attribute(L"layeredimage");
    bool haveRoot = false;
    for (ControlLayout& element : elements) {
        if (element.type == L"Font") {
            window.fonts.push_back(font(element));
        } else if (element.type == L"Default") {
            window.defaults.emplace_back(element.attribute(L"name"), element.attribute(L"value"));
        } else if (!haveRoot) {
            window.root = std::move(element);
            haveRoot = true;
        }
    }
    if (!haveRoot) fail(fileName, L"no root control");
    return window;
}

}  // namespace

LayoutResult parseLayout(const std::string& utf8, const std::wstring& fileName) {
    try {
        LayoutBuilder builder(fileName);
        const XmlNode& root = builder.parse(utf8, fileName);
        if (root.name() != L"Window") fail(fileName, L"the root element is not Window");
        return window(root, builder.children(root, fileName), fileName);
    } catch (const LayoutFailure& failure) {
        return failure.error;
    }
}

LayoutResult loadLayout(const std::wstring& fileName) {
    const std::optional<std::string> bytes = readSkinFile(fileName);
    if (!bytes) return LayoutError{fileName, L"cannot read the file"};
    return parseLayout(*bytes, fileName);
}

}  // namespace toolkit

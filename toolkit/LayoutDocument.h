#pragma once
// A window's layout file read into plain data: window attributes, fonts, defaults and the control
// tree, with includes expanded and "@" texts looked up in the text table. No windows are made here,
// so the result can be checked before anything is shown. Runs on the window thread (text table).

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "toolkit/MarkupValues.h"

namespace toolkit {

struct ControlLayout {
    using Attribute = std::pair<std::wstring, std::wstring>;

    std::wstring type;  // element name: "Button", "VerticalLayout", ...
    std::vector<Attribute> attributes;  // in markup order
    std::vector<ControlLayout> children;
    // "text" and "tooltip" written as "@key": attribute name -> "@key", so that a language change
    // can look them up again.
    std::vector<Attribute> textKeys;

    // Value of the named attribute; empty when absent.
    const std::wstring& attribute(const std::wstring& name) const;
};

struct FontEntry {
    int id = 0;
    std::wstring name;
    int size = 0;
    bool bold = false;
    bool italic = false;
    bool isDefault = false;
};

// Attributes that do not parse are left unset, so the window falls back to its own defaults.
struct WindowLayout {
    std::optional<MarkupSize> size;
    std::optional<MarkupRect> caption;
    std::optional<MarkupSize> minInfo;
    std::wstring layeredImage;
    std::vector<FontEntry> fonts;
    // "Default" elements: control type -> attribute list applied to every control of that type.
    std::vector<std::pair<std::wstring, std::wstring>> defaults;
    ControlLayout root;
};

// Where a layout failed (the file name) and why, for "load resource errr. location:" messages.
struct LayoutError {
    std::wstring location;
    std::wstring message;
};

using LayoutResult = std::variant<WindowLayout, LayoutError>;

// Includes nested deeper than this are refused, as a cycle would be.
constexpr int kMaxIncludeDepth = 8;

// Reads fileName through readSkinFile and parses it.
LayoutResult loadLayout(const std::wstring& fileName);
// Parses UTF-8 layout markup; fileName names it in errors and starts the include chain.
LayoutResult parseLayout(const std::string& utf8, const std::wstring& fileName);

}  // namespace toolkit

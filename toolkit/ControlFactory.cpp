#include "toolkit/ControlFactory.h"

#include <map>

#include "toolkit/Button.h"
#include "toolkit/Combo.h"
#include "toolkit/Edit.h"
#include "toolkit/Label.h"
#include "toolkit/ListItem.h"
#include "toolkit/Option.h"
#include "toolkit/PaintManager.h"
#include "toolkit/Progress.h"
#include "toolkit/RichEdit.h"
#include "toolkit/StackLayouts.h"
#include "toolkit/TabLayout.h"

namespace toolkit {

namespace {

template <typename T>
std::unique_ptr<CSkinControl> make() {
    return std::make_unique<T>();
}

using Maker = std::unique_ptr<CSkinControl> (*)();

const std::map<std::wstring, Maker>& builtInTypes() {
    static const std::map<std::wstring, Maker> types{
        {L"Control", make<CSkinControl>},
        {L"Label", make<CSkinLabel>},
        {L"Text", make<CSkinLabel>},
        {L"Button", make<CSkinButton>},
        {L"Option", make<CSkinOption>},
        {L"Edit", make<CSkinEdit>},
        {L"Combo", make<CSkinCombo>},
        {L"ListLabelElement", make<CSkinListItem>},
        {L"Progress", make<CSkinProgress>},
        {L"RichEdit", make<CSkinRichEdit>},
        {L"VerticalLayout", make<CSkinVerticalLayout>},
        {L"HorizontalLayout", make<CSkinHorizontalLayout>},
        {L"TabLayout", make<CSkinTabLayout>},
    };
    return types;
}

struct BuildFailure {
    std::wstring message;
};

std::unique_ptr<CSkinControl> build(const ControlLayout& layout, CPaintManager& manager,
                                    IBuilderCallback* callback) {
    std::unique_ptr<CSkinControl> control(callback ? callback->createControl(layout.type) : nullptr);
    if (!control) control = createBuiltInControl(layout.type);
    if (!control) throw BuildFailure{L"unknown control type \"" + layout.type + L"\""};
    if (const AttributeList* defaults = manager.defaultAttributes(layout.type)) {
        for (const auto& [name, value] : *defaults) control->setAttribute(name, value);
    }
    for (const auto& [name, value] : layout.attributes) control->setAttribute(name, value);
    for (const auto& [name, key] : layout.textKeys) {
        if (name == L"text") control->setTextKey(key);
        if (name == L"tooltip") control->setTooltipKey(key);
    }
    if (layout.children.empty()) return control;
    auto* container = dynamic_cast<CSkinContainer*>(control.get());
    auto* combo = dynamic_cast<CSkinCombo*>(control.get());
    for (const ControlLayout& childLayout : layout.children) {
        std::unique_ptr<CSkinControl> child = build(childLayout, manager, callback);
        if (container) {
            container->add(std::move(child));
        } else if (auto* item = dynamic_cast<CSkinListItem*>(child.get()); combo && item) {
            child.release();
            combo->addItem(std::unique_ptr<CSkinListItem>(item));
        } else {
            throw BuildFailure{L"\"" + layout.type + L"\" cannot hold \"" + childLayout.type + L"\""};
        }
    }
    return control;
}

FontSpec fontSpec(const FontEntry& entry) {
    FontSpec font;
    font.face = entry.name.empty() ? font.face : entry.name;
    font.size = entry.size > 0 ? entry.size : font.size;
    font.bold = entry.bold;
    font.italic = entry.italic;
    return font;
}

}  // namespace

std::unique_ptr<CSkinControl> createBuiltInControl(const std::wstring& type) {
    auto found = builtInTypes().find(type);
    return found == builtInTypes().end() ? nullptr : found->second();
}

std::optional<LayoutError> buildWindow(const WindowLayout& layout, const std::wstring& fileName,
                                       CPaintManager& manager, IBuilderCallback* callback) {
    for (const auto& [type, value] : layout.defaults) {
        std::optional<AttributeList> attributes = parseAttributeList(value);
        if (!attributes) return LayoutError{fileName, L"malformed default attributes for \"" + type + L"\""};
        manager.setDefaultAttributes(type, std::move(*attributes));
    }
    for (const FontEntry& entry : layout.fonts) {
        manager.fonts().define(entry.id, fontSpec(entry));
        if (entry.isDefault) manager.fonts().setDefault(fontSpec(entry));
    }
    if (layout.size) manager.setSize(SIZE{layout.size->width, layout.size->height});
    if (layout.caption) {
        manager.setCaption(RECT{layout.caption->left, layout.caption->top, layout.caption->right,
                                layout.caption->bottom});
    }
    manager.setLayeredImage(layout.layeredImage);
    try {
        manager.setRoot(build(layout.root, manager, callback));
    } catch (const BuildFailure& failure) {
        return LayoutError{fileName, failure.message};
    } catch (const std::bad_alloc&) {
        return LayoutError{fileName, L"out of memory"};
    }
    return std::nullopt;
}

}  // namespace toolkit

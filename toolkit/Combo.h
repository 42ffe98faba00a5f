#pragma once
// A drop-down list: shows the selected entry; a click, Space, Enter or Alt+Down opens the list in a
// popup that closes on a choice, Escape or a click outside. Choosing raises "itemselect".

#include <memory>
#include <vector>

#include "toolkit/Button.h"
#include "toolkit/ListItem.h"

namespace toolkit {

class ComboDropWindow;

// How the list draws its entries.
struct ComboItemStyle {
    int height = 28;
    RECT textPadding{10, 0, 10, 0};
    int fontId = -1;
    uint32_t textColor = 0xFF333333;
    uint32_t bkColor = 0xFFFFFFFF;
    uint32_t hotTextColor = 0xFF333333;
    uint32_t hotBkColor = 0xFFEAF4FE;
    uint32_t selectedTextColor = 0xFF2196F3;
    uint32_t selectedBkColor = 0xFFF2F8FE;
};

class CSkinCombo : public CSkinButton {
public:
    CSkinCombo();
    ~CSkinCombo() override;
    const wchar_t* typeName() const override { return L"Combo"; }
    void* getInterface(const std::wstring& name) override;

    CSkinListItem* addItem(std::unique_ptr<CSkinListItem> item);
    CSkinListItem* itemAt(int index) const;
    int itemCount() const { return static_cast<int>(items_.size()); }
    int currentSelection() const { return selected_; }
    // Selects the entry and raises "itemselect"; false when index names no entry.
    bool selectItem(int index, bool takeFocus = false);

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    void handleEvent(ControlEvent& event) override;
    void activate() override;
    long accessibleRole() const override;
    long accessibleState() const override;
    std::wstring accessibleName() const override { return labelName(); }
    std::wstring accessibleValue() const override { return text(); }
    std::wstring accessibleAction() const override;
    void doAccessibleAction() override;
    // The list, as a screen reader sees it apart from the combo itself.
    int listAccessibleId() const { return listAccessibleId_; }
    // The entry under the mouse or the arrow keys while the list is open; -1 when closed.
    int dropHotIndex() const;
    // Where an entry of the open list sits on the screen; false while the list is closed.
    bool dropRowOnScreen(int index, RECT& rect) const;

    bool isDropped() const { return drop_ != nullptr; }
    void closeDrop();
    const ComboItemStyle& itemStyle() const { return itemStyle_; }
    SIZE dropBoxSize() const { return dropBoxSize_; }
    uint32_t dropBoxBkColor() const { return dropBoxBkColor_; }
    uint32_t dropBoxBorderColor() const { return dropBoxBorderColor_; }

private:
    friend class ComboDropWindow;
    void dropClosed(bool byClickElsewhere);

    std::vector<std::unique_ptr<CSkinListItem>> items_;
    int selected_ = -1;
    ComboItemStyle itemStyle_;
    SIZE dropBoxSize_{0, 300};
    uint32_t dropBoxBkColor_ = 0xFFFFFFFF;
    uint32_t dropBoxBorderColor_ = 0xFFDDDDDD;
    ComboDropWindow* drop_ = nullptr;
    DWORD closedByClickAt_ = 0;
    int listAccessibleId_ = newAccessibleId();
};

}  // namespace toolkit

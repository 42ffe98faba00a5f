#pragma once
// The downloader's own message box: an icon, a title, a text and a row of buttons ("selections"),
// each running its own action. Its owner stays disabled while it is open, and a box whose text is
// already shown is not opened again. Window thread only.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Button.h"
#include "toolkit/SkinWindow.h"

namespace msg {

struct Selection {
    std::wstring text;
    std::function<void()> action;  // may be empty
    bool primary = false;
    // The box opens with this selection focused, so Enter chooses it; without one, the first.
    bool isDefault = false;
};

class IMessageBox {
public:
    virtual void setIcon(const std::wstring& file) = 0;
    virtual void setTitle(const std::wstring& text) = 0;
    virtual void setText(const std::wstring& text) = 0;
    virtual void setCloseCallback(std::function<void()> callback) = 0;
    virtual void addSelection(const Selection& selection) = 0;

protected:
    ~IMessageBox() = default;
};

// A button of the box's bottom bar, in the primary (blue) or secondary (grey) style.
class CSelectionUI : public toolkit::CSkinButton {
public:
    explicit CSelectionUI(const Selection& selection);
    void* getInterface(const std::wstring& name) override;
    const Selection& selection() const { return selection_; }

private:
    Selection selection_;
};

class MessageBoxWindow : public toolkit::SkinWindow, public IMessageBox {
public:
    // Creating the window disables owner until the box closes.
    MessageBoxWindow(HWND owner, const std::wstring& layout);

    void setIcon(const std::wstring& file) override;
    void setTitle(const std::wstring& text) override;
    void setText(const std::wstring& text) override;
    void setCloseCallback(std::function<void()> callback) override;
    void addSelection(const Selection& selection) override;

    const std::wstring& key() const { return key_; }

protected:
    const wchar_t* getWindowClassName() const override { return L"MessageBoxWindow"; }
    std::wstring getSkinFile() const override { return layout_; }
    void onClick(toolkit::Notification& notification) override;
    LRESULT onClose(WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void onFinalMessage(HWND hwnd) override;

private:
    void closeByUser();
    // Widens the window when its selections need more room than the layout gives the bottom bar.
    void fitSelections();

    HWND owner_;
    std::wstring layout_;
    std::wstring key_;
    std::function<void()> closeCallback_;
};

// The file of an icon kind: 0, 1 and 2 a notice, 3 a tick, anything else none.
std::wstring iconFile(int kind);

// The single confirm button: the toolkit's "confirm" text (the key itself, remembered, when the
// table has none), primary, no action.
Selection confirmSelection();

// Opens a box on "common/xml_messagebox.xml" owned by owner, unless a box with this text is open.
void showMessageBox(HWND owner, int iconKind, const std::wstring& title, const std::wstring& text,
                    const std::vector<Selection>& selections);

// Whether a box with this text is open now.
bool isMessageBoxOpen(const std::wstring& text);

}  // namespace msg

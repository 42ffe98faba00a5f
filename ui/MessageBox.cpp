#include "ui/MessageBox.h"

#include <oleacc.h>

#include <set>

#include "toolkit/Container.h"
#include "toolkit/TextTables.h"

namespace msg {

namespace {

// The texts of the boxes open now; a second box with the same text is not opened.
std::set<std::wstring>& openBoxes() {
    static std::set<std::wstring> boxes;
    return boxes;
}

struct SelectionColours {
    uint32_t background, hot, pushed, text;
};

// White is opaque: without its alpha byte the caption would not be drawn at all.
constexpr SelectionColours kPrimary{0xFF2196F3, 0xFF007EE6, 0xFF0069BF, 0xFFFFFFFF};
constexpr SelectionColours kSecondary{0xFF484D59, 0xFF535866, 0xFF424752, 0xFFC4C8CC};

}  // namespace

CSelectionUI::CSelectionUI(const Selection& selection) : selection_(selection) {
    const SelectionColours& colours = selection.primary ? kPrimary : kSecondary;
    setText(selection.text);
    setAttribute(L"height", L"30");
    setAttribute(L"valign", L"vcenter");
    setTextPadding(RECT{20, 0, 20, 0});
    setPadding(RECT{10, 0, 10, 0});
    setAttribute(L"minwidthex", L"100");
    setFont(1);
    setMinWidth(90);
    setShowHtml(true);
    setAttribute(L"align", L"center");
    setBkColor(colours.background);
    setHotBkColor(colours.hot);
    setPushedBkColor(colours.pushed);
    setTextColor(colours.text);
}

void* CSelectionUI::getInterface(const std::wstring& name) {
    return name == L"Selection" ? this : CSkinButton::getInterface(name);
}

MessageBoxWindow::MessageBoxWindow(HWND owner, const std::wstring& layout) : owner_(owner), layout_(layout) {}

void MessageBoxWindow::setIcon(const std::wstring& file) {
    toolkit::CSkinControl* icon = findControl(L"msgiconimage");
    toolkit::CSkinControl* text = findControl(L"descriptlabel");
    if (file.empty()) {
        if (icon) icon->setVisible(false);
        if (text) text->setAttribute(L"width", L"340");
        return;
    }
    if (icon) icon->setBkImage(file);
}

// The window's own title too: the taskbar and screen readers name the box by it.
void MessageBoxWindow::setTitle(const std::wstring& text) {
    if (toolkit::CSkinControl* title = findControl(L"titlelabel")) title->setText(text);
    if (hwnd()) ::SetWindowTextW(hwnd(), text.c_str());
}

void MessageBoxWindow::setText(const std::wstring& text) {
    if (toolkit::CSkinControl* label = findControl(L"descriptlabel")) {
        label->setAttribute(L"align", L"center");
        label->setAttribute(L"valign", L"vcenter");
        label->setAttribute(L"multiline", L"true");
        label->setAttribute(L"showhtml", L"true");
        label->setText(text);
    }
    key_ = text;
}

void MessageBoxWindow::setCloseCallback(std::function<void()> callback) { closeCallback_ = std::move(callback); }

void MessageBoxWindow::addSelection(const Selection& selection) {
    auto* bar = findControl<toolkit::CSkinContainer>(L"bottombar");
    if (!bar) return;
    // Between the two spacers, after the buttons already there.
    const size_t last = bar->childCount() > 0 ? bar->childCount() - 1 : 0;
    toolkit::CSkinControl* button = bar->addAt(std::make_unique<CSelectionUI>(selection), last);
    // The default button, else the first, takes the focus, so Enter chooses it.
    if (selection.isDefault || !paintManager().focused()) button->setFocus();
    fitSelections();
}

// Translations differ in length; the box grows rather than letting its buttons overlap its edges.
void MessageBoxWindow::fitSelections() {
    auto* bar = findControl<toolkit::CSkinContainer>(L"bottombar");
    const SIZE size = paintManager().size();
    if (!bar || !hwnd() || bar->rowWidth() <= size.cx) return;
    resizeTo(SIZE{bar->rowWidth(), size.cy});
}

void MessageBoxWindow::closeByUser() {
    if (owner_) ::EnableWindow(owner_, TRUE);
    if (closeCallback_) closeCallback_();
    close(IDCLOSE);
}

void MessageBoxWindow::onClick(toolkit::Notification& notification) {
    if (notification.sender->name() == L"closebtn") {
        if (owner_) ::EnableWindow(owner_, TRUE);
        if (closeCallback_) closeCallback_();
        return SkinWindow::onClick(notification);
    }
    auto* button = static_cast<CSelectionUI*>(notification.sender->getInterface(L"Selection"));
    if (!button) return SkinWindow::onClick(notification);
    if (owner_) ::EnableWindow(owner_, TRUE);
    showWindow(false);
    const std::function<void()> action = button->selection().action;
    if (action) action();
    close(IDOK);
}

LRESULT MessageBoxWindow::onClose(WPARAM, LPARAM, bool& handled) {
    if (owner_) ::EnableWindow(owner_, TRUE);
    handled = false;
    return 0;
}

LRESULT MessageBoxWindow::messageFilter(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = message == WM_KEYDOWN && wParam == VK_ESCAPE;
    if (handled) closeByUser();
    return 0;
}

void MessageBoxWindow::onFinalMessage(HWND) {
    openBoxes().erase(key_);
    delete this;
}

std::wstring iconFile(int kind) {
    if (kind >= 0 && kind <= 2) return L"common/msg_noice.png";
    if (kind == 3) return L"common/msg_ok.png";
    return L"";
}

Selection confirmSelection() {
    std::optional<std::wstring> text = toolkit::lookupText(L"confirm");
    if (!text) {
        toolkit::setText(L"confirm", L"confirm");
        text = L"confirm";
    }
    return Selection{*text, nullptr, true};
}

void showMessageBox(HWND owner, int iconKind, const std::wstring& title, const std::wstring& text,
                    const std::vector<Selection>& selections) {
    if (!openBoxes().insert(text).second) return;
    auto* box = new MessageBoxWindow(owner, L"common/xml_messagebox.xml");
    if (!box->create(owner, L"", WS_POPUP | WS_BORDER | WS_SYSMENU, WS_EX_TOPMOST | WS_EX_TOOLWINDOW)) {
        openBoxes().erase(text);
        delete box;
        return;
    }
    if (owner) ::EnableWindow(owner, FALSE);
    box->paintManager().setAccessibleWindowRole(ROLE_SYSTEM_DIALOG);
    box->setIcon(iconFile(iconKind));
    box->setTitle(title);
    box->setText(text);
    for (const Selection& selection : selections) box->addSelection(selection);
    box->centerWindow();
    box->showWindow(true, true);
}

bool isMessageBoxOpen(const std::wstring& text) { return openBoxes().count(text) != 0; }

}  // namespace msg

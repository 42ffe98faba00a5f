#include "ui/DownloaderBox.h"

#include <oleacc.h>

#include "model/DownloaderModel.h"
#include "toolkit/Button.h"

namespace {

DownloaderBox* g_current = nullptr;

std::wstring text(const wchar_t* key) { return DownloaderModel::instance()->getString(key); }

}  // namespace

DownloaderBox::DownloaderBox(HWND owner, int percent) : owner_(owner), percent_(percent) {}

void DownloaderBox::setUpControls() {
    mode_ = 0;
    const struct {
        const wchar_t* control;
        const wchar_t* key;
    } texts[] = {{L"titlelabel", L"MSGBox_noice"}, {L"btnLeft", L"Yes"}, {L"btnRight", L"No"},
                 {L"btnSure", L"Yes"}, {L"descriptlabel", L"MsgBox_exit"}};
    for (const auto& entry : texts) {
        if (toolkit::CSkinControl* control = findControl(entry.control)) control->setText(text(entry.key));
    }
    // The taskbar and screen readers name the window by its own title.
    if (hwnd()) ::SetWindowTextW(hwnd(), text(L"MSGBox_noice").c_str());
    paintManager().setAccessibleWindowRole(ROLE_SYSTEM_DIALOG);
    const struct {
        const wchar_t* control;
        const wchar_t* file;
    } buttons[] = {{L"btnLeft", L"button_box_cancel.png"}, {L"btnRight", L"button_box_hot.png"}};
    for (const auto& button : buttons) {
        auto* control = findControl<toolkit::CSkinButton>(button.control);
        if (!control) continue;
        const std::wstring file = std::wstring(L"file='") + button.file + L"' source='";
        control->setNormalImage(file + L"0,0,100,32'");
        control->setHotImage(file + L"100,0,200,32'");
        control->setPushedImage(file + L"200,0,300,32'");
    }
    // Enter answers the safe choice: the installation goes on.
    if (toolkit::CSkinControl* no = findControl(L"btnRight")) no->setFocus();
}

// Both windows go first and stay hidden (the box's end must not show its owner again); the report is
// sent on its own thread, and shutdown gives it a bounded time.
void DownloaderBox::confirmExit() {
    if (g_current == this) g_current = nullptr;
    finalCallback_ = nullptr;
    showWindow(false);
    if (owner_) ::ShowWindow(owner_, SW_HIDE);
    DownloaderModel* model = DownloaderModel::instance();
    model->sendEventNow(L"userCancel", model->getOpenId());
    close(IDOK);
    if (owner_) ::CloseWindow(owner_);
    ::PostQuitMessage(0);
}

void DownloaderBox::notify(toolkit::Notification& notification) {
    if (notification.type == L"click") {
        const std::wstring& name = notification.sender->name();
        if (name == L"btnLeft") return confirmExit();
        if (name == L"btnRight" || name == L"btnSure") return close(IDCANCEL);
    }
    SkinWindow::notify(notification);
}

// Escape answers "No", as the close button does.
LRESULT DownloaderBox::messageFilter(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = message == WM_KEYDOWN && wParam == VK_ESCAPE;
    if (handled) close(IDCANCEL);
    return 0;
}

// The owner is enabled before the box goes, so the system hands the activation back to it.
LRESULT DownloaderBox::onClose(WPARAM, LPARAM, bool& handled) {
    if (g_current == this && owner_) ::EnableWindow(owner_, TRUE);
    handled = false;
    return 0;
}

void DownloaderBox::onFinalMessage(HWND) {
    if (finalCallback_) finalCallback_();
    delete this;
}

DownloaderBox* currentExitConfirmation() { return g_current; }

void showExitConfirmation(HWND owner, int percent) {
    if (g_current) {
        g_current->close(IDCANCEL);
        g_current = nullptr;
    }
    auto* box = new DownloaderBox(owner, percent);
    // A replaced box finishing later must not forget or re-enable around its successor.
    box->setFinalCallback([box, owner] {
        if (g_current != box) return;
        g_current = nullptr;
        ::EnableWindow(owner, TRUE);
        ::BringWindowToTop(owner);
        ::ShowWindow(owner, SW_SHOW);
    });
    if (!box->create(owner, L"", WS_POPUP, 0)) {
        delete box;
        return;
    }
    g_current = box;
    box->setUpControls();
    box->centerWindow();
    box->showWindow(true, true);
    ::EnableWindow(owner, FALSE);
}

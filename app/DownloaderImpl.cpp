#include "app/DownloaderImpl.h"

#include "common/LogPrint.h"
#include "model/DownloaderModel.h"
#include "model/InstanceIdentity.h"
#include "ui/MainFrame.h"
#include "utility/UString.h"
#include "utility/USystem.h"

namespace {

// The system menu (Alt+Space, the taskbar's menu) offers Minimize and Close; its Close asks like the
// title bar's. Windows XP and older also get the sizing frame.
DWORD mainFrameStyle() {
    DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
    if (utility::usystem::windowsVersion().major <= 5) style |= WS_THICKFRAME;
    return style;
}

// Windows lets only the foreground process hand the foreground on: a later start, which the user just
// launched, allows the running downloader to take it before asking it to show itself.
void allowRunningDownloaderForeground() {
    const HWND mailbox = ::FindWindowExW(nullptr, nullptr, model::kInstanceId, nullptr);
    DWORD processId = 0;
    if (mailbox) ::GetWindowThreadProcessId(mailbox, &processId);
    if (processId != 0 && !::AllowSetForegroundWindow(processId)) {
        PEL_LOG(L"AllowSetForegroundWindow(%u) failed, error %u", static_cast<unsigned>(processId),
                static_cast<unsigned>(::GetLastError()));
    }
}

}  // namespace

bool DownloaderImpl::entrance(HINSTANCE instance, const wchar_t* commandLine) {
    DownloaderModel* model = DownloaderModel::instance();
    allowRunningDownloaderForeground();
    if (model->popupExistPwnd()) {
        PEL_LOG(L"It's exist");
        return false;
    }
    PEL_LOG(L"player path is %s", utility::ustring::exeDir().c_str());
    model->setInstallerSigner(installerSigner_);
    model->init(commandLine);
    model->setInstanceHandle(instance);
    showMainFrame();
    // Made after the window: a second start that comes earlier finds no mailbox and just exits.
    mailbox_.create(model::kInstanceId, this);
    model->sendEvent(L"download_run", model->getOpenId());
    return true;
}

void DownloaderImpl::showMainFrame() {
    PEL_LOG(L"player, create main window...");
    if (mainFrame_ == nullptr) {
        mainFrame_ = new DMainFrame();
        mainWindow_ = mainFrame_->create(nullptr, L"", mainFrameStyle(), 0);
        if (mainWindow_ == nullptr) {
            // Without a window nothing would ever end the message loop.
            PEL_LOG(L"main window not created, error %u", static_cast<unsigned>(::GetLastError()));
            ::PostQuitMessage(0);
            return;
        }
        mainFrame_->centerWindow();
    }
    if (!::IsWindow(mainWindow_)) return;  // closed, and the loop is about to end
    mainFrame_->showWindow(true, true);
    ::BringWindowToTop(mainWindow_);
    utility::usystem::showWndOnTop(mainWindow_);
}

int DownloaderImpl::onHandleWindowIPC(UINT message, WPARAM, LPARAM) {
    PEL_LOG(L"onHandleWindowIPC, msg = %d", static_cast<int>(message));
    if (message == model::kMsgShowMainFrame) showMainFrame();
    return 0;
}

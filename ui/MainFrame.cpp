#include "ui/MainFrame.h"

struct DMainFrame::State {};

DMainFrame::DMainFrame() : state_(std::make_unique<State>()) {}
DMainFrame::~DMainFrame() = default;

LRESULT DMainFrame::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return SkinWindow::handleMessage(message, wParam, lParam);
}

void DMainFrame::onFinalMessage(HWND) {
    ::PostQuitMessage(0);
    delete this;
}

void DMainFrame::initWindow() {}

LRESULT DMainFrame::onDestroy(WPARAM wParam, LPARAM lParam, bool& handled) {
    return SkinWindow::onDestroy(wParam, lParam, handled);
}

void DMainFrame::onClick(toolkit::Notification& notification) { SkinWindow::onClick(notification); }

LRESULT DMainFrame::messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    return SkinWindow::messageFilter(message, wParam, lParam, handled);
}

bool DMainFrame::onDownloadProgress(const char*, int, int, int) { return true; }
bool DMainFrame::onDownloadFinished() { return true; }

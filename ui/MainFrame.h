#pragma once
// The downloader's one main window: licence and folder on the setup page, then the emulator's
// download and installation, the game package step and the finish page. It starts no long work of
// its own except the game package worker; the model reports back through its four callbacks, which
// arrive on this window's thread. The object deletes itself when its window is gone.

#include <windows.h>

#include <memory>
#include <string>

#include "net/HttpClientWrapper.h"
#include "toolkit/SkinWindow.h"
#include "utility/TaskThread.h"

class DMainFrame : public toolkit::SkinWindow, public utility::CHttpClientWrapper::IHttpDownloadSink {
public:
    DMainFrame();
    ~DMainFrame() override;

protected:
    const wchar_t* getWindowClassName() const override { return L"updateMframe"; }
    UINT getClassStyle() const override { return CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS; }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void onFinalMessage(HWND hwnd) override;
    void initWindow() override;
    std::wstring getSkinFile() const override { return L"mainframe.xml"; }
    LRESULT onDestroy(WPARAM wParam, LPARAM lParam, bool& handled) override;
    void onClick(toolkit::Notification& notification) override;
    LRESULT messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

public:
    bool onDownloadProgress(const char* data, int length, int received, int total) override;
    bool onDownloadFinished() override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

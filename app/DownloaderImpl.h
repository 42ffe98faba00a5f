#pragma once
// The application object: decides whether this process is the running downloader, creates and
// raises the main window, and listens on the mailbox for later starts asking to be shown.

#include <windows.h>

#include <string>
#include <utility>

#include "utility/WindowIPC.h"

class DMainFrame;

class DownloaderImpl final : public utility::IWindowIPCHandle {
public:
    // installerSigner: the subject the emulator installer's signature must name; empty runs it unchecked.
    explicit DownloaderImpl(std::wstring installerSigner) : installerSigner_(std::move(installerSigner)) {}
    DownloaderImpl(const DownloaderImpl&) = delete;
    DownloaderImpl& operator=(const DownloaderImpl&) = delete;

    // True when this process is the running downloader and the message loop must run; false when
    // another one was found and told to show itself.
    bool entrance(HINSTANCE instance, const wchar_t* commandLine);

    // Creates the main window on the first call; every call shows it and brings it to the front.
    void showMainFrame();

    // A later start's request arrives here; other messages are only logged. Always 0.
    int onHandleWindowIPC(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    const std::wstring installerSigner_;
    // Deletes itself when its window is gone, so it is only touched while mainWindow_ exists.
    DMainFrame* mainFrame_ = nullptr;
    HWND mainWindow_ = nullptr;
    utility::WindowIPC mailbox_;
};

#pragma once
// The confirmation asked when the user closes the main window outside a running download: "Yes"
// reports the cancellation and ends the program, "No" returns to the window. At most one is open.

#include <windows.h>

#include <functional>

#include "toolkit/SkinWindow.h"

class DownloaderBox : public toolkit::SkinWindow {
public:
    DownloaderBox(HWND owner, int percent);

    // Runs after the window is gone, before the object deletes itself.
    void setFinalCallback(std::function<void()> callback) { finalCallback_ = std::move(callback); }
    // Sets the texts and images of the confirmation.
    void setUpControls();

protected:
    const wchar_t* getWindowClassName() const override { return L"DownloaderBox"; }
    std::wstring getSkinFile() const override { return L"downloaderbox.xml"; }
    void notify(toolkit::Notification& notification) override;
    LRESULT messageFilter(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT onClose(WPARAM wParam, LPARAM lParam, bool& handled) override;
    void onFinalMessage(HWND hwnd) override;

private:
    void confirmExit();

    HWND owner_;
    int percent_;
    int mode_ = 0;
    std::function<void()> finalCallback_;
};

// Closes an open confirmation and opens a new one for owner at the given download percent.
void showExitConfirmation(HWND owner, int percent);

// The confirmation open now, or null.
DownloaderBox* currentExitConfirmation();

#pragma once
// The downloader as a user meets it: a copy of the built program under a downloader's file name,
// started, its main window ("updateMframe", layout mainframe.xml) driven by control names, its boxes
// found, its diagnostic log read from the moment the copy was made, its end awaited.

#include <chrono>
#include <memory>
#include <string>

#include "tests/e2e/AppProcess.h"
#include "tests/e2e/FileTail.h"
#include "tests/e2e/WindowDriver.h"

namespace e2e {

// The built downloader beside the test program.
std::wstring downloaderProgram();

inline constexpr wchar_t kMainWindowClass[] = L"updateMframe";
inline constexpr wchar_t kConfirmationClass[] = L"DownloaderBox";
inline constexpr wchar_t kMessageBoxClass[] = L"MessageBoxWindow";
// The system's own message box, which the toolkit shows when a layout cannot be built.
inline constexpr wchar_t kSystemBoxClass[] = L"#32770";

class DownloaderApp {
public:
    // program: the built downloader to copy, the shipped one by default.
    explicit DownloaderApp(const std::wstring& fileName, const std::wstring& program = downloaderProgram());

    AppProcess& process() { return process_; }
    // Beside the executable: a "downloader_skin" folder placed here is read before the packaged skin.
    const std::wstring& folder() const { return process_.folder(); }
    const FileTail& log() const { return log_; }

    bool start(const std::wstring& arguments = std::wstring());

    // The DPI this run's windows are drawn at, as the case set the display (96 unless told); the
    // mirrors of windows found later draw at it.
    void setDisplayDpi(UINT dpi) { dpi_ = dpi; }

    // Waits until the main window is shown and painted; null when none came (the process ended, or
    // the time was up). The window's mirror shows the texts of language (a short code: "en", "kr").
    WindowDriver* waitForMainWindow(const std::wstring& language = L"en",
                                    std::chrono::milliseconds timeout = std::chrono::seconds(40));
    // The main window found by waitForMainWindow; the case fails when there is none.
    WindowDriver& main();
    // Mirrors the texts of another language on the main window (after the user switched it).
    void mirrorLanguage(const std::wstring& language);

    // Waits for a box of this process and mirrors its layout; null when none came.
    std::unique_ptr<WindowDriver> waitForBox(const std::wstring& className, const std::wstring& layout,
                                             std::chrono::milliseconds timeout = std::chrono::seconds(15));

    // Waits until the log says the window selected the page (0 setup ... 4 finish).
    bool waitForPage(int page, std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    bool pageSelected(int page) const;

    bool waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        return process_.waitForExit(timeout);
    }
    std::optional<DWORD> exitCode() const { return process_.exitCode(); }

private:
    AppProcess process_;
    FileTail log_;
    std::unique_ptr<WindowDriver> main_;
    UINT dpi_ = toolkit::kBaseDpi;
};

}  // namespace e2e

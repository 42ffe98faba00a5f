#include "tests/e2e/DownloaderApp.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/ProgramLog.h"
#include "tests/support/TestFiles.h"

namespace e2e {

std::wstring downloaderProgram() { return testsupport::toolPath(L"downloader.exe"); }

DownloaderApp::DownloaderApp(const std::wstring& fileName, const std::wstring& program)
    : process_(program, fileName), log_(downloaderLogPath()) {}

bool DownloaderApp::start(const std::wstring& arguments) { return process_.start(arguments); }

WindowDriver* DownloaderApp::waitForMainWindow(const std::wstring& language, std::chrono::milliseconds timeout) {
    const HWND window = process_.waitForWindow(kMainWindowClass, timeout);
    if (window == nullptr) return nullptr;
    main_ = std::make_unique<WindowDriver>(window, L"mainframe.xml", dpi_);
    // What initialisation shows: the language combo, and the community button of the market.
    SkinMap& map = main_->map();
    map.setVisible(L"languageCombo", true);
    map.setVisible(L"joinfacebookBtn", language != L"cn");
    map.setVisible(L"addQQGroupBtn", language == L"cn");
    mirrorLanguage(language);
    // The layered window shows its first frame right after it is shown; give it that moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return main_.get();
}

WindowDriver& DownloaderApp::main() {
    if (!main_) {
        ADD_FAILURE() << "the main window was never found";
        main_ = std::make_unique<WindowDriver>(nullptr, L"mainframe.xml");
    }
    return *main_;
}

void DownloaderApp::mirrorLanguage(const std::wstring& language) { main().map().applyLanguage(language); }

std::unique_ptr<WindowDriver> DownloaderApp::waitForBox(const std::wstring& className, const std::wstring& layout,
                                                        std::chrono::milliseconds timeout) {
    const HWND box = process_.waitForWindow(className, timeout);
    if (box == nullptr) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return std::make_unique<WindowDriver>(box, layout, dpi_);
}

bool DownloaderApp::pageSelected(int page) const { return log_.contains("select page " + std::to_string(page)); }

bool DownloaderApp::waitForPage(int page, std::chrono::milliseconds timeout) const {
    return log_.waitFor("select page " + std::to_string(page), timeout);
}

}  // namespace e2e

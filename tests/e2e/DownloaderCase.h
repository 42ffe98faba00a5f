#pragma once
// What every downloader scenario shares: the market server at full service, an install folder of
// its own that the downloader finds as a previous installation's, marks in the market's logs and the
// fake emulator's records, and the usual way out (close, then "Yes").

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/DownloaderApp.h"
#include "tests/e2e/FileTail.h"
#include "tests/e2e/Market.h"
#include "tests/support/RegistryValueGuard.h"
#include "tests/support/ScratchDir.h"

namespace e2e {

class DownloaderCase : public ::testing::Test {
protected:
    DownloaderCase();
    void SetUp() override;
    void TearDown() override;

    // Closes the main window and answers the confirmation with "Yes"; the process must end with 0.
    void closeAndConfirm(DownloaderApp& app);
    // A picture of the main window as it is now, kept as test-results/e2e-screens/NAME.png.
    void shoot(DownloaderApp& app, const std::wstring& name);

    testsupport::ScratchDir dir;
    // The folder the downloader installs into, recorded as a previous installation's; ends with "\\".
    const std::wstring installPath;
    testsupport::RegistryValueGuard installDir{L"Software\\Merrow\\Pelora", L"InstallDir"};
    FileTail hits;
    FileTail requests;
    FileTail installerRecord;
    FileTail playerRecord;
    FileTail consoleRecord;
};

std::string utf8(const std::wstring& text);

// The lines of a record or log text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

// What a program received after its own path in a recorded command line ("\"C:\\x.exe\" a b" -> "a b").
std::string parametersOf(const std::string& commandLine);

// The parameters of every run a fake program recorded.
std::vector<std::string> recordedRuns(const FileTail& record);

// An analytics hit of the event with the value, as the collector logged its request line; the value
// may arrive as written or percent-encoded.
bool waitForHit(const FileTail& hits, const std::string& event, const std::string& value,
                std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace e2e

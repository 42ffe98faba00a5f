#pragma once
// The fixture of the model's flows: the local market server (tools/marketserver) and the fake emulator,
// a model without a window whose callbacks record what it reported, and the helpers the flows share.

#include <gtest/gtest.h>

#include <windows.h>

#include <rapidjson/document.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "config/ServiceAddresses.h"
#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "tests/model/MarketReset.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/AsyncRun.h"
#include "utility/ScopedHandle.h"
#include "utility/UiDispatcher.h"
#include "utility/UString.h"

namespace modeltest {

struct Market {
    bool running = false;
    std::wstring hitsLog;
    std::wstring requestsLog;
    long long installerSize = 0;
    std::wstring records;  // where the fake emulator's programs write what they received
};

inline const Market& market() {
    static const Market info = [] {
        Market m;
        const char* json = std::getenv("PELORA_TEST_MARKET");
        const char* records = std::getenv("PELORA_FAKE_RECORD_DIR");
        if (json == nullptr || records == nullptr) return m;
        const std::string text = testsupport::readFile(testsupport::fromLinuxPath(json));
        rapidjson::Document document;
        document.Parse(text.c_str(), text.size());
        if (document.HasParseError() || !document.IsObject()) return m;
        m.running = true;
        m.hitsLog = testsupport::fromLinuxPath(document["hits_log"].GetString());
        m.requestsLog = testsupport::fromLinuxPath(document["requests_log"].GetString());
        m.installerSize = document["installer"]["size"].GetInt64();
        m.records = testsupport::fromLinuxPath(records) + L"\\";
        return m;
    }();
    return info;
}

// Every switch of the market at its default: full service.
constexpr wchar_t kFullService[] =
    L"version-service=ok&fail-package=none&slow-kbps=0&url-spare=off&fail-url=none&fail-how=404&collector=ok"
    L"&digest=md5";

inline bool setSwitches(const std::wstring& query) {
    utility::CHttpClientWrapper client;
    std::string answer;
    return client.download2mem(answer, std::wstring(config::kIntlBase) + L"/control/switches?" + query);
}

inline bool hitArrives(const std::string& text) {
    return testsupport::waitUntil(
        [&] { return testsupport::readFile(market().hitsLog).find(text) != std::string::npos; },
        std::chrono::seconds(10));
}

inline std::string profileValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t value[256] = {};
    ::GetPrivateProfileStringW(L"setting", key, L"<absent>", value, 256, ini.c_str());
    return utility::ustring::wideToUtf8(value);
}

// One progress report as the window would receive it.
struct Report {
    int percent;
    int64_t received;
    int64_t total;
};

// What the model reported to its (absent) window.
struct Outcome {
    int succeeded = 0;
    int failed = 0;
    std::vector<DownloadFailure> failures;
    std::optional<InstallOutcome> installed;
    std::vector<int> percents;
    std::vector<Report> reports;
};

class ModelFlow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!market().running) GTEST_SKIP() << "the local market server is not running for this build";
        testsupport::processLogPath();
        utility::UiDispatcher::create();
        resetMarket();
        ASSERT_TRUE(setSwitches(kFullService));
        model.progressCallback = [this](int percent, int64_t received, int64_t total) {
            outcome.percents.push_back(percent);
            outcome.reports.push_back({percent, received, total});
        };
        model.downloadSucceededCallback = [this] { ++outcome.succeeded; };
        model.downloadFailedCallback = [this](DownloadFailure failure) {
            ++outcome.failed;
            outcome.failures.push_back(failure);
        };
        model.installFinishedCallback = [this](InstallOutcome installed) { outcome.installed = installed; };
    }

    void TearDown() override {
        // Reports of this model still queued would run under the next case's model: it lives at the same
        // address, so its tasks carry the same owner key. Stopped, the model's queued tasks are dropped.
        model.stop();
        testsupport::pumpMessagesFor(std::chrono::milliseconds(200));
        resetMarket();
        setSwitches(kFullService);
        // The fake installer records its folder where a later downloader of the edition would find it.
        utility::UniqueKey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Merrow\\Pelora", 0, KEY_SET_VALUE, key.receive()) ==
            ERROR_SUCCESS) {
            ::RegDeleteValueW(key.get(), L"InstallDir");
        }
    }

    // init, then wait until the address lookup is done; the player goes into the scratch folder.
    void start(const std::wstring& stem) {
        model.initFromName(stem, nullptr);
        ASSERT_TRUE(testsupport::pumpMessagesUntil([&] { return !model.getPlayerUrl().empty(); },
                                                   std::chrono::seconds(20)));
        model.setInstallPath(installPath);
    }

    // Until the download (or a try-again) has reported; true when it succeeded.
    bool finishDownload() {
        const int succeeded = outcome.succeeded;
        const int reported = outcome.succeeded + outcome.failed;
        return testsupport::pumpMessagesUntil([&] { return outcome.succeeded + outcome.failed > reported; },
                                              std::chrono::seconds(60)) &&
               outcome.succeeded > succeeded;
    }

    bool download() {
        model.startDownloadPlayer();
        return finishDownload();
    }

    // The installation task as the window starts it; true once it has reported, either way.
    bool install() {
        const int failedBefore = outcome.failed;
        utility::runAsyncThenCollect([this] { model._threadInsPlayer(); });
        return testsupport::pumpMessagesUntil(
            [&] { return outcome.installed.has_value() || outcome.failed > failedBefore; }, std::chrono::seconds(120));
    }

    // The whole installer is in its place, and the last report carried its real size.
    void expectCompleteInstaller() {
        const std::wstring installer = ConfigImp::instance().installerExePath(installPath);
        EXPECT_EQ(testsupport::fileSize(installer), market().installerSize);
        EXPECT_FALSE(testsupport::fileExists(installer + L".tmp"));
        ASSERT_FALSE(outcome.reports.empty());
        EXPECT_EQ(outcome.reports.back().percent, 100);
        EXPECT_EQ(outcome.reports.back().received, market().installerSize);
        EXPECT_EQ(outcome.reports.back().total, market().installerSize);
    }

    testsupport::ScratchDir dir;
    std::wstring installPath = dir / L"Pelora\\Pelora4.0\\";
    Outcome outcome;
    DownloaderModel model;
};

}  // namespace modeltest

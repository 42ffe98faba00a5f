// Common initialisation against the real application-data folder of the Wine prefix.

#include <gtest/gtest.h>

#include <windows.h>

#include "common/Log.h"
#include "common/LogPrint.h"
#include "config/CommonInit.h"
#include "config/DataPaths.h"
#include "config/RegionLanguage.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"

using namespace testsupport;

namespace {

bool isFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Nothing else in this program creates the log writer, so common initialisation makes the one.
TEST(CommonInit, FromAnArbitraryFolderPreparesLogFoldersAndReadsNoSettings) {
    config::commonInit(L"", L"");
    logWriter = &common::log;

    EXPECT_EQ(config::programKind(), 8);
    EXPECT_EQ(config::instanceIndex(), -1);
    EXPECT_TRUE(isFolder(config::appDataFolder() + L"\\Merrow\\log"));
    EXPECT_TRUE(isFolder(config::appDataFolder() + L"\\peldownloader"));
    EXPECT_FALSE(fileExists(config::exeFolder() + L"\\vms"));
    ASSERT_NE(config::globalConfig(), nullptr);
    EXPECT_EQ(config::globalConfig()->languageId(), L"");
    EXPECT_EQ(config::regionLanguage(), config::languageCodeFor(::GetUserDefaultUILanguage()));

    // The log outlives the process: the marker must be this run's own.
    const std::string marker = "reached the downloader log " + std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(::GetTickCount());
    const std::wstring log = config::appDataFolder() + L"\\peldownloader\\peldownloader.log";
    logPrint("CommonInit", 1, L"%S", marker.c_str());
    EXPECT_TRUE(waitUntil([&] { return readFile(log).find("):" + marker + "\r\n") != std::string::npos; }));
}

TEST(CommonInit, TakesTheStartupLanguageFromTheGlobalSettings) {
    ScratchDir root;
    config::createDirectories(root / L"vms\\config");
    const std::string settings = R"({"languageId": "ko_KR", "other.key": 1})";
    writeFile(root / L"vms\\config\\vantors.config", settings);

    config::commonInit(L"", root.path());
    EXPECT_EQ(config::globalConfig()->languageId(), L"ko_KR");
    EXPECT_EQ(config::regionLanguage(), L"ko_KR");
    EXPECT_EQ(readFile(root / L"vms\\config\\vantors.config"), settings);

    config::commonInit(L"", L"");
}

TEST(LogFileTable, NamesEveryKindsLogAndCreatesItsFolder) {
    const auto table = config::logFileTable();
    const std::wstring root = config::userDataRoot();
    EXPECT_EQ(table.at(3), L"");
    EXPECT_EQ(table.at(7), root + L"log\\qorconsole.log");
    EXPECT_EQ(table.at(8), config::appDataFolder() + L"\\peldownloader\\peldownloader.log");
    EXPECT_EQ(config::logPath(42), L"");
    for (const auto& [kind, path] : table) {
        if (path.empty()) continue;
        EXPECT_TRUE(isFolder(path.substr(0, path.rfind(L'\\')))) << kind;
    }
}

TEST(CreateDirectories, ReportsAndLogsAFolderThatCannotBeMade) {
    ScratchDir dir;
    writeFile(dir / L"plainfile", "x");
    EXPECT_TRUE(config::createDirectories(dir / L"a\\b\\c"));
    EXPECT_TRUE(isFolder(dir / L"a\\b\\c"));
    EXPECT_FALSE(config::createDirectories(dir / L"plainfile\\below"));
}

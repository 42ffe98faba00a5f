#include "toolkit/SkinPackage.h"

#include <gtest/gtest.h>

#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "toolkit/TextTables.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;
using toolkit::readSkinFile;

const std::wstring kSource = PELORA_SKIN_SOURCE_DIR;

class SkinPackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129); }
    void TearDown() override { toolkit::setResourceFolder(L""); }

    testsupport::ScratchDir folder_;
};

TEST_F(SkinPackageTest, ReadsPackagedFilesWithEitherSeparator) {
    const wchar_t* const names[] = {L"mainframe.xml", L"multi_language.tsv", L"language/downloader_en.xml",
                                    L"language\\downloader_ja.xml", L"common\\images\\bk.bmp",
                                    L"common/images\\bk.bmp"};
    for (const std::wstring name : names) {
        std::wstring sourceName = name;
        for (wchar_t& c : sourceName) c = c == L'\\' ? L'/' : c;
        const auto bytes = readSkinFile(name);
        ASSERT_TRUE(bytes) << name;
        EXPECT_EQ(*bytes, readFile(kSource + sourceName)) << name;
    }
    EXPECT_EQ(readSkinFile(L"language\\downloader_en.xml"), readSkinFile(L"language/downloader_en.xml"));
}

TEST_F(SkinPackageTest, MissingNamesAndFoldersReadAsNothing) {
    const wchar_t* const names[] = {L"missing.xml", L"language", L"language/", L"/mainframe.xml",
                                    L"MAINFRAME.XML", L""};
    for (const std::wstring name : names) EXPECT_FALSE(readSkinFile(name)) << name;
}

TEST_F(SkinPackageTest, ResourceFolderFileReplacesThePackagedOneUnlessEmpty) {
    struct Case {
        const wchar_t* diskName;
        std::string diskBytes;
        const wchar_t* readName;
        bool fromDisk;
    } cases[] = {
        {L"mainframe.xml", "<Window from=\"disk\"/>", L"mainframe.xml", true},
        {L"mainframe.xml", "", L"mainframe.xml", false},
        {L"language\\downloader_en.xml", "disk language", L"language\\downloader_en.xml", true},
        {L"language\\downloader_en.xml", "disk language", L"language/downloader_en.xml", true},
        {L"extra.xml", "only on disk", L"extra.xml", true},
    };
    for (const Case& c : cases) {
        testsupport::ScratchDir disk;
        ::CreateDirectoryW((disk / L"language").c_str(), nullptr);
        writeFile(disk / c.diskName, c.diskBytes);
        toolkit::setResourceFolder(disk.path().substr(0, disk.path().size() - 1));  // without "\\"
        const auto bytes = readSkinFile(c.readName);
        ASSERT_TRUE(bytes) << c.readName;
        std::wstring packagedName = c.readName;
        for (wchar_t& ch : packagedName) ch = ch == L'\\' ? L'/' : ch;
        EXPECT_EQ(*bytes, c.fromDisk ? c.diskBytes : readFile(kSource + packagedName)) << c.diskName;
    }
}

TEST_F(SkinPackageTest, AbsoluteNamesAreReadAsTheyAre) {
    writeFile(folder_ / L"outside.xml", "outside");
    writeFile(folder_ / L"empty.xml", "");
    toolkit::setResourceFolder(L"C:\\no-such-folder\\");
    EXPECT_EQ(readSkinFile(folder_ / L"outside.xml"), std::optional<std::string>("outside"));
    EXPECT_FALSE(readSkinFile(folder_ / L"empty.xml"));
    EXPECT_FALSE(readSkinFile(folder_ / L"missing.xml"));
    EXPECT_EQ(readSkinFile(L"mainframe.xml"), readFile(kSource + L"mainframe.xml"));
}

TEST_F(SkinPackageTest, MissingResourceLeavesAnEmptyPackage) {
    toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 130);
    EXPECT_FALSE(readSkinFile(L"mainframe.xml"));
    EXPECT_FALSE(toolkit::lookupText(L"confirm"));
    EXPECT_EQ(toolkit::languageCount(), 0u);
    toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129);
    EXPECT_TRUE(readSkinFile(L"mainframe.xml"));
    EXPECT_EQ(toolkit::lookupText(L"confirm"), std::optional<std::wstring>(L"OK"));
}

}  // namespace

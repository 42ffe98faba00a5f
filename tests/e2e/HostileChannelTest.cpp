// A downloader whose channel configuration is hostile (open id 80666 of the market's channel
// configurations): a shortcut name and a game name that climb out of their folders, data.ini values
// that carry line breaks and keys of their own, launch parameters in "runapp", a package name with a
// path and a blank, a resolution with a console argument, a launch image of another scheme. Run
// through the installation and the game to the emulator's start, it writes nothing outside the
// install folder and the desktop, and data.ini holds exactly the keys the channel may set.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "config/DataPaths.h"
#include "tests/e2e/DownloaderCase.h"
#include "tests/e2e/ProgramLog.h"
#include "tests/support/ShellLink.h"
#include "tests/support/TestFiles.h"
#include "utility/ScopedHandle.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Every file and folder under a root: size and last write time of files, folders as present.
using FileTree = std::map<std::wstring, std::pair<ULONGLONG, ULONGLONG>>;

// A folder by volume and file index: Wine links the user's Desktop, Documents, Music... to one Linux
// folder, which is then the same folder under each of these names.
using FolderId = std::pair<DWORD, ULONGLONG>;

ULONGLONG joined(DWORD high, DWORD low) { return (static_cast<ULONGLONG>(high) << 32) | low; }

std::optional<FolderId> folderId(const std::wstring& path) {
    const utility::UniqueHandle folder(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !::GetFileInformationByHandle(folder.get(), &info)) return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber, joined(info.nFileIndexHigh, info.nFileIndexLow)};
}

struct FindTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool isValid(Handle h) { return h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ::FindClose(h); }
};

// Adds what lies under the folder to the tree, each folder once whatever its names: the folders in
// seen (those to leave out among them) are not entered.
void addTree(const std::wstring& folder, std::set<FolderId>& seen, FileTree& tree) {
    WIN32_FIND_DATAW found{};
    const utility::ScopedHandle<FindTraits> find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileW(find.get(), &found) != FALSE) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            tree[path] = {joined(found.nFileSizeHigh, found.nFileSizeLow),
                          joined(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime)};
            continue;
        }
        const std::optional<FolderId> id = folderId(path);
        if (!id || !seen.insert(*id).second) continue;
        tree[path] = {};
        addTree(path, seen, tree);
    }
}

// What differs between two trees: paths that came, went or changed.
std::vector<std::string> changes(const FileTree& before, const FileTree& after) {
    std::vector<std::string> changed;
    for (const auto& [path, state] : after) {
        const auto was = before.find(path);
        if (was == before.end()) {
            changed.push_back("new " + utf8(path));
        } else if (was->second != state) {
            changed.push_back("changed " + utf8(path));
        }
    }
    for (const auto& [path, state] : before) {
        if (after.find(path) == after.end()) changed.push_back("gone " + utf8(path));
    }
    return changed;
}

// "C:\\a\\b\\" and "C:\\a\\b\\c.log" both give "C:\\a\\b".
std::wstring folderOf(const std::wstring& path) { return fs::path(path).parent_path().wstring(); }

std::wstring tempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

// The lines of a profile section as the profile API reads them, "key=value" each.
std::vector<std::string> sectionLines(const std::wstring& ini, const wchar_t* section) {
    wchar_t lines[4096] = {};
    ::GetPrivateProfileSectionW(section, lines, 4096, ini.c_str());
    std::vector<std::string> read;
    for (const wchar_t* line = lines; *line != L'\0'; line += wcslen(line) + 1) read.push_back(utf8(line));
    return read;
}

std::vector<std::string> sectionNames(const std::wstring& ini) {
    wchar_t names[1024] = {};
    ::GetPrivateProfileSectionNamesW(names, 1024, ini.c_str());
    std::vector<std::string> read;
    for (const wchar_t* name = names; *name != L'\0'; name += wcslen(name) + 1) read.push_back(utf8(name));
    return read;
}

class HostileChannel : public DownloaderCase {
protected:
    void SetUp() override {
        DownloaderCase::SetUp();
        removeShortcuts();
    }
    void TearDown() override {
        removeShortcuts();
        DownloaderCase::TearDown();
    }

    // The channel's shortcut and the game's, under the names their hostile names come to.
    static std::wstring shortcutFile(const wchar_t* name, const wchar_t* extension = L".lnk") {
        return testsupport::desktopFolder() + L"\\" + name + extension;
    }
    // With the entries Wine's desktop integration adds beside them.
    static void removeShortcuts() {
        for (const wchar_t* name : {L"__evil", L"__game"}) {
            for (const wchar_t* extension : {L".lnk", L".desktop"}) ::DeleteFileW(shortcutFile(name, extension).c_str());
        }
    }

    // Drive C and, apart, this case's own folder: the temp folder the tests write into is left out, the
    // case's folder outside its install folder is not. The desktop and the folders of the programs'
    // logs and data are left out as well.
    FileTree driveC() const {
        const std::wstring skipped[] = {folderOf(installPath),         folderOf(tempFolder()),
                                        L"C:\\windows\\temp",            testsupport::desktopFolder(),
                                        folderOf(config::userDataRoot()), folderOf(downloaderLogPath())};
        std::set<FolderId> seen;
        for (const std::wstring& folder : skipped) {
            if (const std::optional<FolderId> id = folderId(folder)) seen.insert(*id);
        }
        FileTree tree;
        addTree(L"C:", seen, tree);
        addTree(folderOf(dir.path()), seen, tree);
        return tree;
    }
};

TEST_F(HostileChannel, WritesOnlyIntoItsFoldersAndDataIniKeepsItsKeys) {
    // The install folder exists, so its parent in this case's folder stays as it is unless a name climbs.
    ASSERT_TRUE(::CreateDirectoryW((dir / L"Pelora").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(installPath.c_str(), nullptr));
    const FileTree before = driveC();
    DownloaderApp app(L"pelora4_en_80666_x.exe");
    ASSERT_TRUE(app.start());
    ASSERT_NE(app.waitForMainWindow(), nullptr) << "no main window";
    app.main().click(L"installnowbtn");
    ASSERT_TRUE(app.waitForPage(3, 120s)) << "no game package page";
    ASSERT_TRUE(app.waitForExit(120s)) << "the downloader did not end after starting the emulator";
    EXPECT_EQ(app.exitCode(), std::optional<DWORD>(0));

    EXPECT_EQ(changes(before, driveC()), std::vector<std::string>{});

    // The shortcuts came, on the desktop, with no launch parameters of the channel's.
    for (const wchar_t* name : {L"__evil", L"__game"}) {
        ASSERT_TRUE(testsupport::fileExists(shortcutFile(name))) << utf8(name);
        EXPECT_EQ(testsupport::readLink(shortcutFile(name)).arguments, L"package=") << utf8(name);
    }
    // The game's file under its tidy name; no resolution with an argument of its own.
    EXPECT_EQ(recordedRuns(consoleRecord),
              std::vector<std::string>{"installapk --index 0 --filename \"" + utf8(installPath) +
                                       "__game.apk\" --wait --hide [filename exists=1 size=307200]"});

    const std::wstring ini = installPath + L"data\\data.ini";
    EXPECT_EQ(sectionNames(ini), std::vector<std::string>{"setting"});
    EXPECT_EQ(sectionLines(ini, L"setting"),
              (std::vector<std::string>{"title=Evil[setting]adshow=1", "heapsize=512cleanmodel=1",
                                        "qqlink=" + utf8(Market::get().base) + "/communityuseroot=0"}));
}

}  // namespace
}  // namespace e2e

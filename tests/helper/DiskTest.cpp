// The drive functions against the machine's real drives (under Wine: C: is the prefix, Z: the host's
// root folder; Wine opens the device of C: but answers neither storage request).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "helper/Disk.h"
#include "tests/support/ProcessLog.h"
#include "tests/support/ScratchDir.h"

using namespace testsupport;
namespace disk = helper::disk;

namespace {

// A drive letter the machine does not have.
std::wstring missingDrive() {
    const DWORD present = ::GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter >= L'D'; --letter) {
        if ((present & (1u << (letter - L'A'))) == 0) return std::wstring(1, letter) + L":";
    }
    ADD_FAILURE() << "every drive letter is in use";
    return L"";
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(IsValidInstallPath, AFolderBelowTheRootOfAnExistingDriveWithFreeSpace) {
    const std::wstring missing = missingDrive();
    const std::pair<std::wstring, bool> cases[] = {
        {L"C:\\Pelora\\Pelora4.0\\", true},
        {L"C:\\Pelora\\Pelora4.0", true},
        {L"c:/program files/Pelora", true},
        {L"  C:\\Pelora  ", true},
        {L"C:\\\\Pelora\\\\x", true},
        {L"C:\\Pelora\\x  y\\z", true},
        {L"C:\\", false},
        {L"C:", false},
        {L"C", false},
        {L"", false},
        {L"   ", false},
        {L"C:\\Pe*lora\\x", false},
        {L"C:\\Pelora\\a?b", false},
        {L"C:\\Pelora\\a|b\\c", false},
        {L"C:\\Pelora\\a:b", false},
        {L"C:\\Pelora\\   \\x", false},
        {L"C:\\ \\x", false},
        {missing + L"\\Pelora\\Pelora4.0", false},
        {L"\\\\server\\share\\Pelora", false},
    };
    for (const auto& [path, valid] : cases) EXPECT_EQ(disk::isValidInstallPath(path), valid) << path;
}

TEST(IsValidInstallPath, RejectsAFolderRelativeToTheDrivesCurrentDirectory) {
    ScratchDir dir;
    ASSERT_EQ(dir.path().substr(0, 3), L"C:\\");
    ASSERT_TRUE(::CreateDirectoryW((dir / L"x").c_str(), nullptr));
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.path().c_str()));
    ULARGE_INTEGER available{};
    const bool driveRelativeRootExists = ::GetDiskFreeSpaceExW(L"C:x", &available, nullptr, nullptr) == TRUE;
    // Without a backslash after the colon the first three characters, "c:x", name the folder x there.
    const bool valid = disk::isValidInstallPath(L"C:xPelora");
    ::SetCurrentDirectoryW(previous);

    EXPECT_TRUE(driveRelativeRootExists) << "the case below is only meaningful when \"C:x\" resolves";
    EXPECT_FALSE(valid);
}

TEST(GetFreeSpaceMB, FreeMegabytesOfThePathsDriveOrZero) {
    EXPECT_GT(disk::getFreeSpaceMB(L"C:\\"), 0);
    EXPECT_GT(disk::getFreeSpaceMB(L"C:\\Pelora\\does not exist"), 0) << "only the root is asked";
    EXPECT_EQ(disk::getFreeSpaceMB(missingDrive() + L"\\"), 0);
    EXPECT_EQ(disk::getFreeSpaceMB(L""), 0);

    ULARGE_INTEGER available{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &available, nullptr, nullptr));
    EXPECT_NEAR(disk::getFreeSpaceMB(L"C:\\"), available.QuadPart / 1048576.0, 1024) << "megabytes, not bytes";
}

TEST(GetFixedDrives, FixedRootsInTheSystemsOrderIncludingTheSystemDrive) {
    const std::vector<std::wstring> drives = disk::getFixedDrives();
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"C:\\"), drives.end());
    for (const std::wstring& root : drives) {
        ASSERT_EQ(root.size(), 3u) << root;
        EXPECT_EQ(root.substr(1), L":\\");
        EXPECT_EQ(::GetDriveTypeW(root.c_str()), static_cast<UINT>(DRIVE_FIXED)) << root;
    }
    EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end()));
}

TEST(IsHotplugDrive, TheSystemDriveAndUnopenableDevicesAreKept) {
    EXPECT_FALSE(disk::isHotplugDrive(L"C:\\"));
    EXPECT_FALSE(disk::isHotplugDrive(missingDrive() + L"\\"));
}

TEST(GetMaxFreeSpaceDrive, AFixedDriveWithTheTopScore) {
    const std::wstring best = disk::getMaxFreeSpaceDrive();
    const std::vector<std::wstring> drives = disk::getFixedDrives();
    ASSERT_FALSE(best.empty()) << "C: has free space on NTFS";
    EXPECT_NE(std::find(drives.begin(), drives.end(), best), drives.end()) << best;
    EXPECT_GT(disk::CalcAvaliableSpace(best), 0);
}

TEST(QueryDrive, AnswersForTheSystemDriveAndAMissingOne) {
    const disk::DriveFacts system = disk::queryDrive(L"C:\\");
    EXPECT_EQ(system.root, L"C:\\");
    ASSERT_TRUE(system.freeBytes.has_value());
    EXPECT_GT(*system.freeBytes, 0u);
    ASSERT_TRUE(system.fileSystem.has_value());
    EXPECT_FALSE(system.fileSystem->empty());
    EXPECT_GT(disk::CalcAvaliableSpace(L"C:\\"), 0);

    const disk::DriveFacts missing = disk::queryDrive(missingDrive() + L"\\");
    EXPECT_FALSE(missing.freeBytes.has_value());
    EXPECT_FALSE(missing.fileSystem.has_value());
    EXPECT_FALSE(missing.ssd);
    EXPECT_EQ(disk::CalcAvaliableSpace(missingDrive() + L"\\"), 0);
}

TEST(IsSSD, LogsTheAnswerUnderItsNameOnlyWhenTheDeviceOpens) {
    const std::string name = "\thelper::disk::isSSD\t(";
    const size_t before = occurrences(flushedProcessLog(), name);

    EXPECT_FALSE(disk::isSSD(missingDrive()));
    EXPECT_EQ(occurrences(flushedProcessLog(), name), before) << "an unopenable device is not logged";

    // The test runs elevated under Wine, where the device opens but the TRIM request is refused.
    const bool ssd = disk::isSSD(L"C:");
    const std::string log = flushedProcessLog();
    EXPECT_EQ(occurrences(log, name), before + 1);
    EXPECT_NE(log.find(ssd ? "):It is suport trim\r\n" : "):It is not suport trim\r\n"), std::string::npos);
}

}  // namespace

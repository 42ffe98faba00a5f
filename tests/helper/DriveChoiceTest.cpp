// The drive score and choice over given answers, and the pure path rules: no real drive involved.

#include <gtest/gtest.h>

#include "helper/Disk.h"

using helper::disk::DriveFacts;

namespace {

constexpr ULONGLONG kMB = 1048576;

DriveFacts drive(const wchar_t* root, std::optional<ULONGLONG> freeBytes, std::optional<std::wstring> fileSystem,
                 bool ssd) {
    return DriveFacts{root, freeBytes, std::move(fileSystem), ssd};
}
DriveFacts hdd(const wchar_t* root, ULONGLONG freeMB) { return drive(root, freeMB * kMB, L"NTFS", false); }
DriveFacts ssd(const wchar_t* root, ULONGLONG freeMB) { return drive(root, freeMB * kMB, L"NTFS", true); }

struct ScoreCase {
    const char* name;
    DriveFacts drive;
    double score;
};

TEST(SpaceScore, FreeMegabytesWithTheBonusForLargeSsds) {
    const ScoreCase cases[] = {
        {"hard disk", hdd(L"C:\\", 100000), 100000},
        {"SSD above 30720 MB", ssd(L"D:\\", 40000), 40000000},
        {"SSD of 30000 MB competes plainly", ssd(L"D:\\", 30000), 30000},
        {"SSD of exactly 30720 MB", ssd(L"D:\\", 30720), 30720},
        {"SSD of 30720.5 MB is truncated to 30720", drive(L"D:\\", 30720 * kMB + kMB / 2, L"NTFS", true), 30720.5},
        {"SSD of 30721 MB", ssd(L"D:\\", 30721), 30721000},
        {"FAT32", drive(L"E:\\", 5000 * kMB, L"FAT32", false), 5000},
        {"exFAT", drive(L"E:\\", 5000 * kMB, L"exFAT", true), 0},
        {"file system names are case-sensitive", drive(L"E:\\", 5000 * kMB, L"ntfs", false), 0},
        {"unreadable file system still competes", drive(L"E:\\", 5000 * kMB, std::nullopt, false), 5000},
        {"unknown free space", drive(L"E:\\", std::nullopt, L"NTFS", true), 0},
        {"no free space", hdd(L"E:\\", 0), 0},
        {"fractions of a megabyte", drive(L"E:\\", kMB / 4, L"NTFS", false), 0.25},
    };
    for (const ScoreCase& c : cases) EXPECT_DOUBLE_EQ(helper::disk::spaceScore(c.drive), c.score) << c.name;
}

struct ChoiceCase {
    const char* name;
    std::vector<DriveFacts> drives;
    const wchar_t* chosen;
};

TEST(ChooseBestDrive, HighestScoreAboveZeroWithTiesToTheEarlierDrive) {
    const ChoiceCase cases[] = {
        {"a large SSD beats a bigger hard disk", {hdd(L"C:\\", 100000), ssd(L"D:\\", 40000)}, L"D:\\"},
        {"an SSD of 30000 MB loses to a bigger hard disk", {hdd(L"C:\\", 30001), ssd(L"D:\\", 30000)}, L"C:\\"},
        {"an SSD of 30000 MB beats a smaller hard disk", {hdd(L"C:\\", 29999), ssd(L"D:\\", 30000)}, L"D:\\"},
        {"exFAT with the most space is never chosen",
         {hdd(L"C:\\", 1000), drive(L"E:\\", 900000 * kMB, L"exFAT", false)}, L"C:\\"},
        {"only exFAT", {drive(L"E:\\", 900000 * kMB, L"exFAT", false)}, L""},
        {"no fixed drive", {}, L""},
        {"ties keep the earlier letter", {hdd(L"C:\\", 5000), hdd(L"D:\\", 5000)}, L"C:\\"},
        {"full drives", {hdd(L"C:\\", 0), hdd(L"D:\\", 0)}, L""},
        {"unknown free space", {drive(L"C:\\", std::nullopt, L"NTFS", false)}, L""},
        {"the largest of three", {hdd(L"C:\\", 10), hdd(L"D:\\", 30), hdd(L"E:\\", 20)}, L"D:\\"},
    };
    for (const ChoiceCase& c : cases) EXPECT_EQ(helper::disk::chooseBestDrive(c.drives), c.chosen) << c.name;
}

TEST(IsHotplug, RemovableMediaOrHotplugDeviceButNotHotplugMedia) {
    struct Case {
        BOOLEAN mediaRemovable, mediaHotplug, deviceHotplug;
        bool hotplug;
    };
    const Case cases[] = {{0, 0, 0, false}, {1, 0, 0, true}, {0, 0, 1, true}, {0, 1, 0, false}, {1, 1, 1, true}};
    for (const Case& c : cases) {
        STORAGE_HOTPLUG_INFO info{};
        info.Size = sizeof info;
        info.MediaRemovable = c.mediaRemovable;
        info.MediaHotplug = c.mediaHotplug;
        info.DeviceHotplug = c.deviceHotplug;
        EXPECT_EQ(helper::disk::isHotplug(info), c.hotplug)
            << int(c.mediaRemovable) << int(c.mediaHotplug) << int(c.deviceHotplug);
    }
}

TEST(NormalizePath, LowerCasesTurnsSlashesCollapsesAndStripsInThatOrder) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Program Files\\Pelora\\", L"c:\\program files\\pelora"},
        {L"D:/Games//Pelora///x/", L"d:\\games\\pelora\\x"},
        {L"A\\/B", L"a\\b"},
        {L"\\\\server\\share\\", L"server\\share"},
        {L"C:\\", L"c:"},
        {L"/a/", L"a"},
        {L"\\\\\\", L""},
        {L"", L""},
        {L" C:\\Pelora \\", L" c:\\pelora "},
    };
    for (const auto& [path, normalized] : cases) EXPECT_EQ(helper::disk::normalizePath(path), normalized) << path;
}

TEST(HasInvalidPathChars, EveryForbiddenCharacterAndNoOther) {
    for (const wchar_t* text : {L"a/b", L"a:b", L"a*b", L"a?b", L"a\"b", L"a<b", L"a>b", L"a|b"}) {
        EXPECT_TRUE(helper::disk::hasInvalidPathChars(text)) << text;
    }
    for (const wchar_t* text : {L"", L"pelora\\Pelora4.0\\x y", L"a-b_c(d)[e]"}) {
        EXPECT_FALSE(helper::disk::hasInvalidPathChars(text)) << text;
    }
}

}  // namespace

#pragma once
// Drives: which fixed drive to install on, free space, and whether a typed install folder is usable.
// The choice is split into real queries (queryDrive) and a pure score and choice over their answers.
// Nothing throws; any thread.

#include <windows.h>
#include <winioctl.h>

#include <optional>
#include <string>
#include <vector>

namespace helper::disk {

// What the choice needs to know about one drive.
struct DriveFacts {
    std::wstring root;                          // "C:\\"
    std::optional<ULONGLONG> freeBytes;         // available to the caller; none when the query failed
    std::optional<std::wstring> fileSystem;     // "NTFS"; none when the query failed
    bool ssd = false;
};

// Roots ("C:\\") of the fixed drives that are not hot-pluggable, in the system's order.
std::vector<std::wstring> getFixedDrives();

// True when the drive's device says it is removable or hot-pluggable. A device that cannot be
// opened or does not answer counts as not hot-pluggable, so the drive is kept.
bool isHotplugDrive(const std::wstring& root);
bool isHotplug(const STORAGE_HOTPLUG_INFO& info);

// True when the device of the drive ("C:") reports TRIM as enabled. Needs administrator rights.
bool isSSD(const std::wstring& drive);

// Asks Windows for the free space, file system and TRIM support of the path's drive, in that order,
// and only as far as the score needs them.
DriveFacts queryDrive(const std::wstring& path);

// Free MB, a thousand times that for an SSD with more than 30720 MB free; 0 when the free space is
// unknown or the file system is known and neither FAT32 nor NTFS.
double spaceScore(const DriveFacts& drive);

// Root of the drive with the highest score above 0; ties keep the earlier drive; empty when none.
std::wstring chooseBestDrive(const std::vector<DriveFacts>& drives);

// spaceScore of the path's drive as Windows answers now.
double CalcAvaliableSpace(const std::wstring& path);

// chooseBestDrive over getFixedDrives.
std::wstring getMaxFreeSpaceDrive();

// Free MB of the path's drive for the calling user; 0 when the query fails.
double getFreeSpaceMB(const std::wstring& path);

// Lower-cased, "/" turned into "\\", runs of "\\" collapsed, "\\" stripped at both ends.
std::wstring normalizePath(const std::wstring& path);

// True when the text holds one of / : * ? " < > |
bool hasInvalidPathChars(const std::wstring& text);

// True for a folder below the root of an existing drive with free space, whose folder names are
// neither empty nor made of spaces and hold no invalid characters.
bool isValidInstallPath(const std::wstring& path);

}  // namespace helper::disk

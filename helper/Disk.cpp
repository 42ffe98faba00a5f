#include "helper/Disk.h"

#include <algorithm>
#include <cwctype>

#include "common/Log.h"
#include "utility/ScopedHandle.h"

namespace helper::disk {

namespace {

constexpr double kBytesToMB = 9.5367431640625e-7;
constexpr long long kSsdMinimumMB = 30720;
constexpr double kSsdFactor = 1000;
constexpr DWORD kFileSystemNameUnits = 1024;
constexpr char kIsSsdName[] = "helper::disk::isSSD";
// The SSD line belongs to the score that this query feeds.
constexpr char kCalcAvaliableSpaceName[] = "helper::disk::CalcAvaliableSpace";

double megabytes(ULONGLONG bytes) { return static_cast<double>(bytes) * kBytesToMB; }

// The free space of the path's root (its first three characters) available to the caller.
std::optional<ULONGLONG> availableBytes(const std::wstring& path) {
    ULARGE_INTEGER available{};
    if (::GetDiskFreeSpaceExW(path.substr(0, 3).c_str(), &available, nullptr, nullptr) != TRUE) return std::nullopt;
    return available.QuadPart;
}

std::optional<std::wstring> fileSystemName(const std::wstring& path) {
    wchar_t name[kFileSystemNameUnits] = {};
    if (!::GetVolumeInformationW(path.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, kFileSystemNameUnits)) {
        return std::nullopt;
    }
    return std::wstring(name);
}

// A volume whose file system cannot be read still competes.
bool isUsableFileSystem(const std::optional<std::wstring>& name) {
    return !name || *name == L"FAT32" || *name == L"NTFS";
}

bool earnsSsdBonus(const DriveFacts& drive) {
    return drive.ssd && drive.freeBytes && static_cast<long long>(megabytes(*drive.freeBytes)) > kSsdMinimumMB;
}

// The volume device of a drive ("\\\\.\\C:"); opening it for writing needs administrator rights.
utility::UniqueHandle openDriveDevice(const std::wstring& drive) {
    const std::wstring device = L"\\\\.\\" + drive.substr(0, 2);
    return utility::UniqueHandle(::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
}

bool isFixedDrive(const wchar_t* root) { return ::GetDriveTypeW(root) == DRIVE_FIXED; }

std::wstring trimSpaces(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// "c:\\": without the backslash "c:x" would name a folder below the drive's current directory.
bool startsWithDriveRoot(const std::wstring& path) {
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// Every folder name before the last one must hold more than spaces.
bool hasEmptyFolderName(const std::wstring& relativePath) {
    size_t start = 0;
    for (size_t slash = relativePath.find(L'\\'); slash != std::wstring::npos;
         slash = relativePath.find(L'\\', start)) {
        if (trimSpaces(relativePath.substr(start, slash - start)).empty()) return true;
        start = slash + 1;
    }
    return false;
}

}  // namespace

std::vector<std::wstring> getFixedDrives() {
    const DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    const DWORD written = ::GetLogicalDriveStringsW(needed, buffer.data());
    if (written == 0 || written > needed) return {};

    std::vector<std::wstring> drives;
    for (const wchar_t* root = buffer.data(); *root != L'\0'; root += wcslen(root) + 1) {
        if (isFixedDrive(root) && !isHotplugDrive(root)) drives.emplace_back(root);
    }
    return drives;
}

bool isHotplug(const STORAGE_HOTPLUG_INFO& info) { return info.MediaRemovable != 0 || info.DeviceHotplug != 0; }

bool isHotplugDrive(const std::wstring& root) {
    const utility::UniqueHandle device = openDriveDevice(root);
    if (!device) return false;
    STORAGE_HOTPLUG_INFO info{};
    DWORD returned = 0;
    // Wine, and drivers without the request, refuse it (ERROR_NOT_SUPPORTED); counting that as
    // hot-pluggable would drop the system drive, so such a drive is kept like one that cannot be opened.
    if (!::DeviceIoControl(device.get(), IOCTL_STORAGE_GET_HOTPLUG_INFO, nullptr, 0, &info, sizeof info, &returned,
                           nullptr)) {
        return false;
    }
    return isHotplug(info);
}

bool isSSD(const std::wstring& drive) {
    const utility::UniqueHandle device = openDriveDevice(drive);
    if (!device) return false;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceTrimProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_TRIM_DESCRIPTOR trim{};
    trim.TrimEnabled = FALSE;
    DWORD returned = 0;
    ::DeviceIoControl(device.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &trim, sizeof trim, &returned,
                      nullptr);
    if (trim.TrimEnabled == 1) {
        common::log(kIsSsdName, __LINE__, L"It is suport trim");
        return true;
    }
    common::log(kIsSsdName, __LINE__, L"It is not suport trim");
    return false;
}

DriveFacts queryDrive(const std::wstring& path) {
    DriveFacts drive;
    drive.root = path;
    drive.freeBytes = availableBytes(path);
    if (!drive.freeBytes) return drive;
    drive.fileSystem = fileSystemName(path);
    if (!isUsableFileSystem(drive.fileSystem)) return drive;
    drive.ssd = isSSD(path.substr(0, 2));
    if (earnsSsdBonus(drive)) common::log(kCalcAvaliableSpaceName, __LINE__, L"path %s is SSD ", path.c_str());
    return drive;
}

double spaceScore(const DriveFacts& drive) {
    if (!drive.freeBytes || !isUsableFileSystem(drive.fileSystem)) return 0;
    const double score = megabytes(*drive.freeBytes);
    return earnsSsdBonus(drive) ? score * kSsdFactor : score;
}

std::wstring chooseBestDrive(const std::vector<DriveFacts>& drives) {
    double best = 0;
    std::wstring bestRoot;
    for (const DriveFacts& drive : drives) {
        const double score = spaceScore(drive);
        if (score > best) {
            best = score;
            bestRoot = drive.root;
        }
    }
    return bestRoot;
}

double CalcAvaliableSpace(const std::wstring& path) { return spaceScore(queryDrive(path)); }

std::wstring getMaxFreeSpaceDrive() {
    std::vector<DriveFacts> drives;
    for (const std::wstring& root : getFixedDrives()) drives.push_back(queryDrive(root));
    return chooseBestDrive(drives);
}

double getFreeSpaceMB(const std::wstring& path) {
    const std::optional<ULONGLONG> bytes = availableBytes(path);
    return bytes ? megabytes(*bytes) : 0;
}

std::wstring normalizePath(const std::wstring& path) {
    std::wstring text(path.size(), L'\0');
    std::transform(path.begin(), path.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    std::replace(text.begin(), text.end(), L'/', L'\\');
    for (size_t pair = text.find(L"\\\\"); pair != std::wstring::npos; pair = text.find(L"\\\\", pair)) {
        text.erase(pair, 1);
    }
    const size_t first = text.find_first_not_of(L'\\');
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L'\\') - first + 1);
}

bool hasInvalidPathChars(const std::wstring& text) { return text.find_first_of(L"/:*?\"<>|") != std::wstring::npos; }

bool isValidInstallPath(const std::wstring& path) {
    const std::wstring folder = trimSpaces(normalizePath(path));
    if (!startsWithDriveRoot(folder)) return false;
    const std::optional<ULONGLONG> free = availableBytes(folder);
    if (!free || *free == 0) return false;
    const std::wstring rest = trimSpaces(folder.substr(3));
    return !hasInvalidPathChars(rest) && !hasEmptyFolderName(rest);
}

}  // namespace helper::disk

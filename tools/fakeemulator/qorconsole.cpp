// Stand-in for the emulator's console tool "qorconsole.exe": records its command line to
// qorconsole-record.txt in the record folder (see FakeRecord.h) first, then ends. For "installapk" the
// line also tells whether the files named by --filename and --fileobb exist when it runs, and their sizes:
//   ... --wait --hide [filename exists=1 size=307200] [fileobb exists=1 size=204800]
// Exit codes: 0 on success; 2 for "installapk" whose --filename does not exist; 1 when the record could
// not be written. A file "qorconsole-fail.txt" in the record folder makes it misbehave on purpose, by its
// content:
//   installapk-fail   "installapk" ends with 1
//   installapk-hang   "installapk" sleeps 600 s
//   modify-hang       "modify" sleeps 600 s

#include <windows.h>

#include <string>
#include <vector>

#include "tools/fakeemulator/FakeCommandLine.h"
#include "tools/fakeemulator/FakeRecord.h"

namespace {

constexpr int kNoRecord = 1;
constexpr int kFailedOnPurpose = 1;
constexpr int kMissingApk = 2;
constexpr DWORD kHangMs = 600000;

bool isFile(const std::wstring& path, unsigned long long* size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool exists = !path.empty() && ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
                        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    *size = exists ? (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
    return exists;
}

std::string describeFile(const char* label, const std::wstring& path) {
    unsigned long long size = 0;
    const bool exists = isFile(path, &size);
    return std::string(" [") + label + " exists=" + (exists ? "1" : "0") + " size=" + std::to_string(size) + "]";
}

// The content of qorconsole-fail.txt, or empty when there is none.
std::string failureMode() {
    const HANDLE file = ::CreateFileW(fakeemulator::recordPath(L"qorconsole-fail.txt").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    char buffer[64] = {};
    DWORD read = 0;
    ::ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
    ::CloseHandle(file);
    std::string mode(buffer, read);
    while (!mode.empty() && (mode.back() == '\n' || mode.back() == '\r' || mode.back() == ' ')) mode.pop_back();
    return mode;
}

int installApk(const std::vector<std::wstring>& args, const std::string& mode) {
    const std::wstring apk = fakeemulator::valueAfter(args, L"--filename");
    std::string extra = describeFile("filename", apk);
    const std::wstring obb = fakeemulator::valueAfter(args, L"--fileobb");
    if (!obb.empty()) extra += describeFile("fileobb", obb);
    if (!fakeemulator::appendRecord(L"qorconsole-record.txt", extra)) return kNoRecord;
    if (mode == "installapk-hang") ::Sleep(kHangMs);
    if (mode == "installapk-fail") return kFailedOnPurpose;
    unsigned long long size = 0;
    return isFile(apk, &size) ? 0 : kMissingApk;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::wstring> args = fakeemulator::rawArguments(::GetCommandLineW());
    const std::string mode = failureMode();
    if (!args.empty() && args.front() == L"installapk") return installApk(args, mode);
    if (!fakeemulator::appendRecord(L"qorconsole-record.txt")) return kNoRecord;
    if (!args.empty() && args.front() == L"modify" && mode == "modify-hang") ::Sleep(kHangMs);
    return 0;
}

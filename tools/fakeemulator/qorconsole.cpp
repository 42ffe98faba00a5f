// Stand-in for the emulator's console tool "qorconsole.exe": records its command line to
// qorconsole-record.txt in the record folder (see FakeRecord.h) and ends. For "installapk" the line also
// tells whether the files named by --filename and --fileobb exist when it runs, and their sizes:
//   ... --wait --hide [filename exists=1 size=307200] [fileobb exists=1 size=204800]

#include <windows.h>

#include <string>
#include <vector>

#include "tools/fakeemulator/FakeCommandLine.h"
#include "tools/fakeemulator/FakeRecord.h"

namespace {

std::string describeFile(const char* label, const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool exists = !path.empty() && ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
                        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const unsigned long long size =
        exists ? (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
    return std::string(" [") + label + " exists=" + (exists ? "1" : "0") + " size=" + std::to_string(size) + "]";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::vector<std::wstring> args = fakeemulator::rawArguments(::GetCommandLineW());
    std::string extra;
    if (!args.empty() && args.front() == L"installapk") {
        extra = describeFile("filename", fakeemulator::valueAfter(args, L"--filename"));
        const std::wstring obb = fakeemulator::valueAfter(args, L"--fileobb");
        if (!obb.empty()) extra += describeFile("fileobb", obb);
    }
    return fakeemulator::appendRecord(L"qorconsole-record.txt", extra) ? 0 : 1;
}

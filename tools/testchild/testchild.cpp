// A small program the tests start as a real child process:
//   testchild                      appends its command line to commandline.txt beside itself
//   testchild exit CODE            ends with CODE
//   testchild sleep MS [CODE]      sleeps, then ends with CODE (0 by default)
//   testchild record FILE [...]    appends its own command line to FILE (UTF-8), ends with 0
//   testchild log FILE TEXT        logs TEXT to the log file FILE and ends at once
//   testchild version FILE         writes "MAJOR.MINOR vista=0|1", as this program sees Windows, to FILE

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/Log.h"
#include "common/LogPrint.h"
#include "common/LogWriter.h"
#include "utility/UString.h"
#include "utility/USystem.h"

namespace {

int numberArg(int argc, wchar_t** argv, int index, int fallback) {
    return index < argc ? std::wcstol(argv[index], nullptr, 10) : fallback;
}

int record(const wchar_t* file) {
    FILE* out = _wfopen(file, L"ab");
    if (out == nullptr) return 3;
    const std::string line = utility::ustring::wideToUtf8(::GetCommandLineW()) + "\n";
    std::fwrite(line.data(), 1, line.size(), out);
    std::fclose(out);
    return 0;
}

int writeVersion(const wchar_t* file) {
    const auto version = utility::usystem::windowsVersion();
    FILE* out = _wfopen(file, L"wb");
    if (out == nullptr) return 3;
    std::fprintf(out, "%lu.%lu vista=%d", version.major, version.minor, utility::usystem::isVistaOrLater() ? 1 : 0);
    std::fclose(out);
    return 0;
}

int logAndExit(const wchar_t* file, const wchar_t* text) {
    common::createLogWriter(file);
    logWriter = &common::log;
    logPrint("testchild", 1, L"%s", text);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return record((utility::ustring::exeDir() + L"commandline.txt").c_str());
    const std::wstring command = argv[1];
    if (command == L"exit") return numberArg(argc, argv, 2, 0);
    if (command == L"sleep") {
        ::Sleep(static_cast<DWORD>(numberArg(argc, argv, 2, 0)));
        return numberArg(argc, argv, 3, 0);
    }
    if (command == L"record" && argc >= 3) return record(argv[2]);
    if (command == L"log" && argc >= 4) return logAndExit(argv[2], argv[3]);
    if (command == L"version" && argc >= 3) return writeVersion(argv[2]);
    return 2;
}

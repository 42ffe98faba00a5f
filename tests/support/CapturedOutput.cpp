#include "tests/support/CapturedOutput.h"

#include <windows.h>

#include <thread>

#include "utility/ScopedHandle.h"

namespace testsupport {

std::optional<std::string> runCapturingOutput(const std::wstring& program, const std::wstring& arguments,
                                              unsigned timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    utility::UniqueHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.receive(), writeEnd.receive(), &inherit, 0)) return std::nullopt;
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started)) {
        return std::nullopt;
    }
    utility::UniqueHandle process(started.hProcess), thread(started.hThread);
    writeEnd.reset();  // the child holds the only writing end now, so reading ends with it
    std::string output;
    std::thread reader([&] {
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(readEnd.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
    });
    const bool ended = ::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(process.get(), 1);
    reader.join();
    if (!ended) return std::nullopt;
    return output;
}

}  // namespace testsupport

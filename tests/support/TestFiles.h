#pragma once
// Small file helpers for tests: whole-file reads and writes, the folder of the test programs.

#include <chrono>
#include <functional>
#include <string>

namespace testsupport {

std::string readFile(const std::wstring& path);
void writeFile(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);
long long fileSize(const std::wstring& path);

// A Linux path as a Windows program under Wine reaches it: through the Z: drive, with backslashes.
std::wstring fromLinuxPath(const std::string& path);

// A program of ours built beside the test programs (tools/).
std::wstring toolPath(const std::wstring& exeName);

// Polls until the condition holds or the time is up; returns the condition's last answer.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace testsupport

#pragma once
// Reads a command line the way the emulator's programs expect it from the downloader.

#include <string>
#include <vector>

namespace fakeemulator {

// The arguments after the program name, split at blanks outside double quotes, quotes removed.
// Unlike CommandLineToArgvW a backslash never escapes a quote, so -path="C:\dir\" keeps "C:\dir\".
std::vector<std::wstring> rawArguments(const std::wstring& commandLine);

// The rest of the first argument that starts with `prefix` ("-openid="); empty when there is none.
std::wstring prefixedValue(const std::vector<std::wstring>& args, const std::wstring& prefix);

// The argument after the first one equal to `name` ("--filename"); empty when there is none.
std::wstring valueAfter(const std::vector<std::wstring>& args, const std::wstring& name);

}  // namespace fakeemulator

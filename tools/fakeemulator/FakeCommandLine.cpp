#include "tools/fakeemulator/FakeCommandLine.h"

namespace fakeemulator {

std::vector<std::wstring> rawArguments(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool inToken = false;
    bool quoted = false;
    for (const wchar_t c : commandLine) {
        if (c == L'"') {
            quoted = !quoted;
            inToken = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (inToken) args.push_back(current);
            current.clear();
            inToken = false;
        } else {
            current.push_back(c);
            inToken = true;
        }
    }
    if (inToken) args.push_back(current);
    if (!args.empty()) args.erase(args.begin());    // the program name
    return args;
}

std::wstring prefixedValue(const std::vector<std::wstring>& args, const std::wstring& prefix) {
    for (const std::wstring& arg : args) {
        if (arg.compare(0, prefix.size(), prefix) == 0) return arg.substr(prefix.size());
    }
    return std::wstring();
}

std::wstring valueAfter(const std::vector<std::wstring>& args, const std::wstring& name) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) return args[i + 1];
    }
    return std::wstring();
}

}  // namespace fakeemulator

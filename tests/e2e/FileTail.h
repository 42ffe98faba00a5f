#pragma once
// What a growing text file received after a mark: the program's diagnostic log, the market server's
// request and analytics logs, the fake emulator's records. Files shared by a whole test run are read
// from the end they had when the tail was made, so each case sees its own lines only.

#include <chrono>
#include <string>

namespace e2e {

class FileTail {
public:
    // Marks the file's current end (0 when it does not exist yet).
    explicit FileTail(std::wstring path);

    const std::wstring& path() const { return path_; }
    // Everything written after the mark (bytes as written; the files of this system are UTF-8).
    std::string text() const;
    bool contains(const std::string& utf8) const { return text().find(utf8) != std::string::npos; }
    // Waits until the text after the mark holds utf8.
    bool waitFor(const std::string& utf8, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    // The number of times utf8 occurs after the mark.
    size_t count(const std::string& utf8) const;
    // Moves the mark to the current end.
    void skipToEnd();

private:
    std::wstring path_;
    long long mark_ = 0;
};

}  // namespace e2e

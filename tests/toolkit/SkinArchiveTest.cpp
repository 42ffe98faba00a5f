#include "toolkit/SkinArchive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace {

using toolkit::SkinEntries;
using toolkit::unpackSkinArchive;

// Every file under the folder, named relative to root with "/" separators.
void collectFiles(const std::wstring& root, const std::wstring& relative, SkinEntries& files) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((root + relative + L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            collectFiles(root, relative + name + L"/", files);
        } else {
            files[relative + name] = testsupport::readFile(root + relative + name);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

SkinEntries sourceFiles() {
    SkinEntries files;
    collectFiles(PELORA_SKIN_SOURCE_DIR, L"", files);
    return files;
}

std::string archiveBytes() { return testsupport::readFile(PELORA_SKIN_ARCHIVE); }

TEST(SkinArchive, UnpacksEveryFileByteForByteAndNoFolders) {
    const std::string archive = archiveBytes();
    ASSERT_EQ(archive.substr(0, 6), std::string("7z\xBC\xAF\x27\x1C", 6));
    const SkinEntries expected = sourceFiles();
    ASSERT_GE(expected.size(), 6u);
    ASSERT_TRUE(expected.count(L"common/images/bk.bmp"));
    EXPECT_EQ(unpackSkinArchive(archive.data(), archive.size()), expected);
}

TEST(SkinArchive, NotAnArchiveGivesNothing) {
    const std::string cases[] = {"", "7z", "plain text, not an archive", std::string(64, '\0')};
    for (const std::string& bytes : cases) {
        EXPECT_TRUE(unpackSkinArchive(bytes.data(), bytes.size()).empty()) << bytes;
    }
}

TEST(SkinArchive, EveryTruncationGivesNothing) {
    const std::string archive = archiveBytes();
    for (size_t length = 0; length < archive.size(); ++length) {
        const std::string prefix = archive.substr(0, length);
        EXPECT_TRUE(unpackSkinArchive(prefix.data(), prefix.size()).empty()) << "length " << length;
    }
}

// A damaged byte anywhere either spoils the whole package or (in bytes the reader ignores) none of it;
// a partly or silently wrong package never comes out.
TEST(SkinArchive, EveryFlippedByteGivesAllOrNothing) {
    const std::string archive = archiveBytes();
    const SkinEntries intact = unpackSkinArchive(archive.data(), archive.size());
    ASSERT_FALSE(intact.empty());
    size_t rejected = 0;
    for (size_t pos = 0; pos < archive.size(); ++pos) {
        std::string damaged = archive;
        damaged[pos] = char(damaged[pos] ^ 0x5A);
        const SkinEntries entries = unpackSkinArchive(damaged.data(), damaged.size());
        if (entries.empty()) ++rejected;
        else EXPECT_EQ(entries, intact) << "flipped byte " << pos;
    }
    EXPECT_GT(rejected, archive.size() * 9 / 10);
}

}  // namespace

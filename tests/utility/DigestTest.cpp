// Digests of byte strings and of open files through Windows' own cryptography.

#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/Digest.h"
#include "utility/UFile.h"

using namespace testsupport;
using utility::digest::Algorithm;

namespace {

TEST(Digest, KnownValues) {
    EXPECT_EQ(utility::digest::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(utility::digest::sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(utility::digest::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
}

struct FileCase {
    const char* name;
    size_t size;
};

class FileDigest : public ::testing::TestWithParam<FileCase> {};

// The file is read in blocks: sizes around the block's edge must hash as the whole bytes do.
TEST_P(FileDigest, EqualsTheDigestOfItsBytes) {
    std::string bytes(GetParam().size, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
    ScratchDir dir;
    writeFile(dir / L"file", bytes);
    const utility::UniqueHandle file = utility::ufile::openHeldForReading(dir / L"file");
    ASSERT_TRUE(file);
    for (const Algorithm algorithm : {Algorithm::Md5, Algorithm::Sha256}) {
        EXPECT_EQ(utility::digest::fileHex(algorithm, file.get()), utility::digest::hex(algorithm, bytes));
    }
    // Read again through the same handle: it starts from the first byte, wherever the last read ended.
    EXPECT_EQ(utility::digest::fileHex(Algorithm::Md5, file.get()), utility::digest::md5Hex(bytes));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileDigest,
                         ::testing::Values(FileCase{"empty", 0}, FileCase{"small", 3}, FileCase{"oneBlock", 1 << 20},
                                           FileCase{"blockAndOne", (1 << 20) + 1},
                                           FileCase{"severalBlocks", 3 * (1 << 20) + 17}),
                         [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

TEST(Digest, AHandleThatCannotBeReadGivesNothing) {
    EXPECT_EQ(utility::digest::fileHex(Algorithm::Sha256, INVALID_HANDLE_VALUE), "");
}

}  // namespace

// Which digest of the version answer a downloaded installer is held to.

#include <gtest/gtest.h>

#include "model/InstallerDigest.h"

using utility::digest::Algorithm;

namespace {

constexpr char kMd5[] = "900150983cd24fb0d6963f7d28e17f72";
constexpr char kSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

struct DigestCase {
    const char* name;
    std::string sha256;
    std::string md5;
    bool announced;
    Algorithm algorithm;
    std::string hex;
};

class AnnouncedDigest : public ::testing::TestWithParam<DigestCase> {};

TEST_P(AnnouncedDigest, IsReadOnlyInItsExactForm) {
    const DigestCase& c = GetParam();
    const InstallerDigest digest = installerDigestFrom(c.sha256, c.md5);
    EXPECT_EQ(digest.announced(), c.announced);
    EXPECT_EQ(digest.hex, c.hex);
    if (c.announced) {
        EXPECT_EQ(digest.algorithm, c.algorithm);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnnouncedDigest,
    ::testing::Values(DigestCase{"md5", "", kMd5, true, Algorithm::Md5, kMd5},
                      DigestCase{"upperCaseMd5", "", "900150983CD24FB0D6963F7D28E17F72", true, Algorithm::Md5, kMd5},
                      DigestCase{"sha256WinsOverMd5", kSha256, kMd5, true, Algorithm::Sha256, kSha256},
                      DigestCase{"brokenSha256LeavesMd5", "ba78", kMd5, true, Algorithm::Md5, kMd5},
                      DigestCase{"none", "", "", false, Algorithm::Md5, ""},
                      DigestCase{"shortMd5", "", "900150983cd24fb0d6963f7d28e17f7", false, Algorithm::Md5, ""},
                      DigestCase{"nonHexMd5", "", "900150983cd24fb0d6963f7d28e17fzz", false, Algorithm::Md5, ""},
                      DigestCase{"md5WithBlank", "", " 900150983cd24fb0d6963f7d28e17f7", false, Algorithm::Md5, ""},
                      DigestCase{"sha256LengthAsMd5", "", kSha256, false, Algorithm::Md5, ""}),
    [](const ::testing::TestParamInfo<DigestCase>& info) { return std::string(info.param.name); });

}  // namespace

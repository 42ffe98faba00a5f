// The installer signature check against copies of the test child signed at test time (tools/testca):
// by the expected publisher, by someone else, changed after signing, under a root nobody trusts, and
// not signed at all; each checked through a handle held as the installer's caller holds it.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "tests/support/ProcessLog.h"
#include "tests/support/TestFiles.h"
#include "utility/InstallerSignature.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

using namespace testsupport;
using utility::SignatureVerdict;

namespace {

constexpr wchar_t kPublisher[] = L"Pelora Test Publisher";

// The folder the ctest fixture signed the copies into; empty when the fixture did not run.
std::wstring payloadPath(const wchar_t* name) {
    const char* folder = std::getenv("PELORA_TEST_SIGNED_PAYLOADS");
    return folder == nullptr ? std::wstring() : fromLinuxPath(folder) + L"\\" + name;
}

// As the caller holds the installer from the check until it starts: read access, others may only read.
utility::UniqueHandle openHeld(const std::wstring& path) {
    return utility::UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

const char* verdictText(SignatureVerdict verdict) {
    switch (verdict) {
    case SignatureVerdict::Trusted:
        return "trusted";
    case SignatureVerdict::NotSigned:
        return "not signed";
    case SignatureVerdict::NotTrusted:
        return "not trusted";
    case SignatureVerdict::WrongSigner:
        return "wrong signer";
    }
    return "";
}

struct SignatureCase {
    const char* name;
    const wchar_t* file;
    const wchar_t* expectedSigner;
    SignatureVerdict verdict;
    const char* signer;  // the signer the log names; null where Windows and Wine name different ones
};

void PrintTo(const SignatureCase& value, std::ostream* out) { *out << value.name; }

class SignedPayloads : public ::testing::Test {
protected:
    void SetUp() override {
        processLogPath();
        ASSERT_TRUE(fileExists(payloadPath(L"unsigned.exe"))) << "the signed payloads were not made (ctest fixture)";
    }
};

class InstallerSignature : public SignedPayloads, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(InstallerSignature, TellsWhetherTheExpectedPublisherSignedIt) {
    const SignatureCase& c = GetParam();
    const std::wstring path = payloadPath(c.file);
    const utility::UniqueHandle file = openHeld(path);
    ASSERT_TRUE(file) << utility::ustring::wideToUtf8(path);

    EXPECT_EQ(utility::checkInstallerSignature(file.get(), path, c.expectedSigner), c.verdict);
    const std::string logged = "):installer " + utility::ustring::wideToUtf8(path) + ": signature " +
                               verdictText(c.verdict) + ", signer \"" + (c.signer ? c.signer : "");
    EXPECT_TRUE(logContains(c.signer ? logged + "\" " : logged)) << logged;
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstallerSignature,
    ::testing::Values(
        SignatureCase{"ByTheExpectedPublisher", L"by-publisher.exe", kPublisher, SignatureVerdict::Trusted,
                      "Pelora Test Publisher"},
        SignatureCase{"ByTheExpectedNameInOtherLetters", L"by-publisher.exe", L"pelora test publisher",
                      SignatureVerdict::WrongSigner, "Pelora Test Publisher"},
        SignatureCase{"BySomeoneElse", L"by-someone-else.exe", kPublisher, SignatureVerdict::WrongSigner,
                      "Someone Else"},
        SignatureCase{"NotSigned", L"unsigned.exe", kPublisher, SignatureVerdict::NotSigned, ""},
        SignatureCase{"ChangedAfterSigning", L"changed-after-signing.exe", kPublisher, SignatureVerdict::NotTrusted,
                      nullptr},
        // The expected name, but the authority that vouches for it is trusted nowhere: whether or not the
        // signature carries that root.
        SignatureCase{"UnderAnUnknownRoot", L"by-untrusted-publisher.exe", kPublisher, SignatureVerdict::NotTrusted,
                      nullptr},
        SignatureCase{"UnderAnUntrustedRootItCarries", L"by-untrusted-publisher-with-root.exe", kPublisher,
                      SignatureVerdict::NotTrusted, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// The caller may have read the file through the same handle before asking.
TEST_F(SignedPayloads, CheckedWhereverTheHandleWasLeft) {
    const std::wstring path = payloadPath(L"by-publisher.exe");
    const utility::UniqueHandle file = openHeld(path);
    ASSERT_TRUE(file);
    LARGE_INTEGER end{};
    ASSERT_TRUE(::SetFilePointerEx(file.get(), end, nullptr, FILE_END));
    EXPECT_EQ(utility::checkInstallerSignature(file.get(), path, kPublisher), SignatureVerdict::Trusted);
}

// The file checked is the one the caller holds open, whatever the path says.
TEST_F(SignedPayloads, GoesByTheFileBehindTheHandle) {
    const utility::UniqueHandle file = openHeld(payloadPath(L"unsigned.exe"));
    ASSERT_TRUE(file);
    EXPECT_EQ(utility::checkInstallerSignature(file.get(), payloadPath(L"by-publisher.exe"), kPublisher),
              SignatureVerdict::NotSigned);
}

}  // namespace

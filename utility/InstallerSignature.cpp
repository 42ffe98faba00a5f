#include "utility/InstallerSignature.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string>

#include "common/LogPrint.h"

namespace utility {

namespace {

// The state WinVerifyTrust keeps between its verify and its close; closed on every way out.
class TrustCheck {
public:
    TrustCheck(HANDLE file, const std::wstring& path) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path.c_str();
        file_.hFile = file;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        // The signer is pinned by name under a trusted root. A revocation lookup would wait on servers
        // outside the transfer limits before the install (where they are blocked, a long wait), and an
        // unreachable one could only be ignored.
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        result_ = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    ~TrustCheck() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    TrustCheck(const TrustCheck&) = delete;
    TrustCheck& operator=(const TrustCheck&) = delete;

    LONG result() const { return result_; }

    // The first signer's record, with its certificate chain; null when WinVerifyTrust kept none.
    CRYPT_PROVIDER_SGNR* signer() const {
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
        return provider == nullptr ? nullptr : ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    }

private:
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    LONG result_ = TRUST_E_NOSIGNATURE;
};

std::wstring signerName(CRYPT_PROVIDER_SGNR* signer) {
    if (signer == nullptr) return {};
    const CRYPT_PROVIDER_CERT* certificate = ::WTHelperGetProvCertFromChain(signer, 0);
    if (certificate == nullptr || certificate->pCert == nullptr) return {};
    wchar_t name[256] = L"";
    ::CertGetNameStringW(certificate->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, ARRAYSIZE(name));
    return name;
}

// Errors of the chain WinVerifyTrust built for the signer. Wine's WinVerifyTrust succeeds whatever the
// chain (measured: one ending at an untrusted root, and one whose root is nowhere to be found), while
// the chain it built says what is wrong; on Windows a trusted signature has a chain without errors.
DWORD chainErrors(const CRYPT_PROVIDER_SGNR* signer) {
    if (signer == nullptr || signer->pChainContext == nullptr) return CERT_TRUST_IS_PARTIAL_CHAIN;
    return signer->pChainContext->TrustStatus.dwErrorStatus;
}

const wchar_t* verdictName(SignatureVerdict verdict) {
    switch (verdict) {
    case SignatureVerdict::Trusted:
        return L"trusted";
    case SignatureVerdict::NotSigned:
        return L"not signed";
    case SignatureVerdict::NotTrusted:
        return L"not trusted";
    case SignatureVerdict::WrongSigner:
        return L"wrong signer";
    }
    return L"";
}

SignatureVerdict verdictOf(LONG result, DWORD chain, const std::wstring& signer, const std::wstring& expected) {
    if (result == TRUST_E_NOSIGNATURE) return SignatureVerdict::NotSigned;
    if (result != ERROR_SUCCESS || chain != CERT_TRUST_NO_ERROR) return SignatureVerdict::NotTrusted;
    return signer == expected ? SignatureVerdict::Trusted : SignatureVerdict::WrongSigner;
}

}  // namespace

SignatureVerdict checkInstallerSignature(HANDLE file, const std::wstring& path,
                                         const std::wstring& expectedSigner) try {
    const TrustCheck check(file, path);
    CRYPT_PROVIDER_SGNR* signer = check.result() == ERROR_SUCCESS ? check.signer() : nullptr;
    const std::wstring name = signerName(signer);
    const DWORD chain = check.result() == ERROR_SUCCESS ? chainErrors(signer) : CERT_TRUST_NO_ERROR;
    const SignatureVerdict verdict = verdictOf(check.result(), chain, name, expectedSigner);
    PEL_LOG(L"installer %s: signature %s, signer \"%s\" (expected \"%s\"; result 0x%08lx, chain errors 0x%lx)",
            path.c_str(), verdictName(verdict), name.c_str(), expectedSigner.c_str(),
            static_cast<unsigned long>(check.result()), chain);
    return verdict;
} catch (...) {
    return SignatureVerdict::NotTrusted;  // no memory for a name: nothing was shown to be trusted
}

}  // namespace utility

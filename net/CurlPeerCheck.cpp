#include "net/CurlPeerCheck.h"

#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <memory>
#include <string>

#include "common/LogPrint.h"
#include "net/CurlUrl.h"
#include "utility/UString.h"

namespace utility {

namespace {

struct CertificateFree {
    void operator()(PCCERT_CONTEXT certificate) const { ::CertFreeCertificateContext(certificate); }
};
using UniqueCertificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct ChainFree {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { ::CertFreeCertificateChain(chain); }
};
using UniqueChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

const wchar_t* reasonOf(DWORD error) {
    switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        return L"issued by no authority this machine trusts";
    case static_cast<DWORD>(CERT_E_CHAINING):
        return L"its issuer is unknown";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return L"issued for another name";
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return L"expired or not yet valid";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
        return L"not meant for servers";
    case static_cast<DWORD>(CRYPT_E_REVOKED):
        return L"revoked";
    default:
        return L"not trusted";
    }
}

// The host the current request goes to (a redirect's target once one is followed); empty when unknown.
std::wstring currentHost(CURL* curl) {
    char* url = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr) return {};
    std::wstring host = CurlUrl(url).part(CURLUPART_HOST);
    // An IPv6 address comes in brackets.
    if (host.size() > 2 && host.front() == L'[' && host.back() == L']') host = host.substr(1, host.size() - 2);
    return host;
}

// The certificate the server showed in the connection's TLS handshake.
UniqueCertificate remoteCertificate(CURL* curl) {
    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || session == nullptr ||
        session->backend != CURLSSLBACKEND_SCHANNEL || session->internals == nullptr) {
        return nullptr;
    }
    PCCERT_CONTEXT certificate = nullptr;
    if (::QueryContextAttributesW(static_cast<CtxtHandle*>(session->internals), SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                  &certificate) != SEC_E_OK) {
        return nullptr;
    }
    return UniqueCertificate(certificate);
}

// The chain up to a trusted root, for server authentication, with the certificates the server sent
// alongside. No revocation lookup: Schannel makes it during the handshake (best effort, see setPeerCheck);
// made again here it would be a second network wait outside the transfer limits.
UniqueChain serverChain(PCCERT_CONTEXT certificate) {
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0, nullptr,
                                   &chain)) {
        return nullptr;
    }
    return UniqueChain(chain);
}

// 0 when the SSL policy accepts the chain for the host; otherwise its error.
DWORD sslPolicyError(PCCERT_CHAIN_CONTEXT chain, const std::wstring& host) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
    server.cbSize = sizeof server;
    server.dwAuthType = AUTHTYPE_SERVER;
    server.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA para{};
    para.cbSize = sizeof para;
    para.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status)) return ::GetLastError();
    return status.dwError;
}

bool peerTrusted(CURL* curl) {
    const char* scheme = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_SCHEME, &scheme) == CURLE_OK && scheme != nullptr &&
        ::lstrcmpiA(scheme, "https") != 0) {
        return true;
    }
    const std::wstring host = currentHost(curl);
    const UniqueCertificate certificate = remoteCertificate(curl);
    const UniqueChain chain = certificate ? serverChain(certificate.get()) : nullptr;
    if (host.empty() || !chain) {
        PEL_LOG(L"server certificate of \"%s\" refused: it cannot be checked", host.c_str());
        return false;
    }
    const DWORD error = sslPolicyError(chain.get(), host);
    if (error == ERROR_SUCCESS) return true;
    PEL_LOG(L"server certificate of %s refused: %s (0x%08lx)", host.c_str(), reasonOf(error), error);
    return false;
}

// Runs once each connection is up (the first and every redirect's), before its request is sent.
int checkBeforeRequest(void* curl, char*, char*, int, int) {
    try {
        return peerTrusted(static_cast<CURL*>(curl)) ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
    } catch (...) {
        return CURL_PREREQFUNC_ABORT;  // no memory for a name: the server was not shown to be trusted
    }
}

}  // namespace

void setPeerCheck(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // Revoked certificates are refused, but a revocation server that cannot be reached (offline, blocked by
    // a firewall) does not fail the user's download: Schannel checks the chain with offline tolerated.
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    curl_prereq_callback check = checkBeforeRequest;
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, check);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, curl);
}

}  // namespace utility

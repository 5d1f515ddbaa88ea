#include "server_certificate.h"

#include <cstdio>
#include <vector>

#include "base/win/texts.h"
#include "notify/core/certificate_pin.h"

namespace mrwd {
namespace {

std::string Formatted(const char* format, unsigned long code) {
    char text[160];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

bool CheckPin(PCCERT_CONTEXT certificate, const std::string& pinned, std::string& failure) {
    const std::optional<Sha256> expected = ParseSha256(pinned);
    if (!expected) {
        failure = "SMTPCertSHA256 is not a SHA-256 in hex (64 digits)\r\n";
        return false;
    }
    Sha256 actual{};
    DWORD size = static_cast<DWORD>(actual.size());
    if (!::CryptHashCertificate2(L"SHA256", 0, nullptr, certificate->pbCertEncoded, certificate->cbCertEncoded,
                                 actual.data(), &size) ||
        size != actual.size()) {
        failure = Formatted("Cannot compute the server certificate's SHA-256 (error %lu)\r\n", ::GetLastError());
        return false;
    }
    if (actual == *expected) return true;
    failure = "Server certificate does not match SMTPCertSHA256: its SHA-256 is " + Sha256Hex(actual) + "\r\n";
    return false;
}

// The chain's own verdict first: Wine's SSL policy lets a chain that ends
// short of any root (an authority the store does not know) pass.
bool CheckChainStatus(DWORD status, std::string& failure) {
    if (status == CERT_TRUST_NO_ERROR) return true;
    if (status & (CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID)) {
        failure = "Server certificate has expired or is not yet valid\r\n";
    } else if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) {
        failure = "Server certificate is not trusted: its authority is not in the root store\r\n";
    } else if (status & CERT_TRUST_IS_REVOKED) {
        failure = "Server certificate has been revoked\r\n";
    } else {
        failure = Formatted("Server certificate is not trusted (chain status 0x%08lX)\r\n", status);
    }
    return false;
}

bool CheckPolicy(PCCERT_CHAIN_CONTEXT chain, const std::string& host, std::string& failure) {
    std::wstring name = WidenText(host, CP_ACP);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = &name[0];
    CERT_CHAIN_POLICY_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &parameters, &status)) {
        failure = Formatted("Server certificate cannot be checked (error %lu)\r\n", ::GetLastError());
        return false;
    }
    switch (static_cast<HRESULT>(status.dwError)) {
        case S_OK: return true;
        case CERT_E_CN_NO_MATCH: failure = "Server certificate is not for the host " + host + "\r\n"; break;
        case CERT_E_EXPIRED: failure = "Server certificate has expired or is not yet valid\r\n"; break;
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_CHAINING:
            failure = "Server certificate is not trusted: its authority is not in the root store\r\n";
            break;
        default: failure = Formatted("Server certificate refused (0x%08lX)\r\n", status.dwError); break;
    }
    return false;
}

}  // namespace

bool CheckServerCertificate(PCCERT_CONTEXT certificate, const std::string& host, const std::string& pinnedSha256,
                            std::string& failure) {
    if (!pinnedSha256.empty()) return CheckPin(certificate, pinnedSha256, failure);

    LPSTR serverUse[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = serverUse;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // The server's intermediate certificates came with it, in its own store.
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &parameters, 0, nullptr,
                                   &chain)) {
        failure = Formatted("Server certificate cannot be checked (error %lu)\r\n", ::GetLastError());
        return false;
    }
    const bool trusted = CheckChainStatus(chain->TrustStatus.dwErrorStatus, failure) && CheckPolicy(chain, host, failure);
    ::CertFreeCertificateChain(chain);
    return trusted;
}

}  // namespace mrwd

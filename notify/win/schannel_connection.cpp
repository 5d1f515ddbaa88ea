#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include "schannel_connection.h"

#include <windows.h>
#include <subauth.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <winerror.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/win/texts.h"
#include "notify/win/server_certificate.h"

namespace mrwd {
namespace {

constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;
// Every protocol below TLS 1.2 is refused.
constexpr DWORD kOldProtocols =
    SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
constexpr std::size_t kChunk = 16 * 1024 + 512;

std::string Formatted(const char* format, unsigned long code) {
    char text[128];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

struct Credentials {
    CredHandle handle{};
    bool valid = false;
    ~Credentials() {
        if (valid) ::FreeCredentialsHandle(&handle);
    }
};

struct Context {
    CtxtHandle handle{};
    bool valid = false;
    ~Context() {
        if (valid) ::DeleteSecurityContext(&handle);
    }
};

// The certificate check is ours (server_certificate), not SChannel's: it says
// why a certificate is refused, and it knows the pinned one.
bool AcquireCredentials(Credentials& credentials) {
    TimeStamp expiry;
    // Windows 10 2004 and later (and Wine): TLS 1.3 where the peer has it.
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = kOldProtocols;
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    if (::AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                    &modern, nullptr, nullptr, &credentials.handle, &expiry) == SEC_E_OK) {
        return credentials.valid = true;
    }
    // Older systems (Windows 7 with its updates): TLS 1.2, asked for by name.
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    older.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    return credentials.valid =
               ::AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                           nullptr, &older, nullptr, nullptr, &credentials.handle,
                                           &expiry) == SEC_E_OK;
}

class SchannelConnection final : public MailConnection {
public:
    SchannelConnection(std::unique_ptr<MailConnection> plain, std::wstring host)
        : plain_(std::move(plain)), host_(std::move(host)) {}

    // The handshake; false with the reason.
    bool Handshake(std::string& failure) {
        if (!AcquireCredentials(credentials_)) {
            failure = "TLS is not available on this system\r\n";
            return false;
        }
        if (!Negotiate(false, failure)) return false;
        if (::QueryContextAttributesW(&context_.handle, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) {
            failure = "TLS handshake failed: no stream sizes\r\n";
            return false;
        }
        return true;
    }

    PCCERT_CONTEXT ServerCertificate() {
        PCCERT_CONTEXT certificate = nullptr;
        if (::QueryContextAttributesW(&context_.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK) {
            return nullptr;
        }
        return certificate;
    }

    bool Send(const char* data, std::size_t size, int& error) override {
        std::vector<char> record;
        while (size > 0) {
            const std::size_t piece = size < sizes_.cbMaximumMessage ? size : sizes_.cbMaximumMessage;
            record.assign(sizes_.cbHeader + piece + sizes_.cbTrailer, '\0');
            std::memcpy(record.data() + sizes_.cbHeader, data, piece);
            SecBuffer buffers[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {static_cast<ULONG>(piece), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + piece},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
            if (::EncryptMessage(&context_.handle, 0, &message, 0) != SEC_E_OK) {
                error = WSAECONNABORTED;
                return false;
            }
            const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
            if (!plain_->Send(record.data(), total, error)) return false;
            data += piece;
            size -= piece;
        }
        return true;
    }

    bool Receive(char* buffer, std::size_t size, std::size_t& received, int& error) override {
        while (plaintext_.empty()) {
            if (!Decrypt(error)) return false;
        }
        received = plaintext_.size() < size ? plaintext_.size() : size;
        std::memcpy(buffer, plaintext_.data(), received);
        plaintext_.erase(0, received);
        return true;
    }

private:
    bool ReceiveMore(int& error) {
        char chunk[kChunk];
        std::size_t got = 0;
        if (!plain_->Receive(chunk, sizeof chunk, got, error)) return false;
        incoming_.append(chunk, got);
        return true;
    }

    // Runs the handshake (or, with `again`, what the server asks after it)
    // until the context is complete.
    bool Negotiate(bool again, std::string& failure) {
        bool first = !again;
        for (;;) {
            SecBuffer in[2] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_TOKEN, &incoming_[0]},
                               {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
            DWORD attributes = 0;
            TimeStamp expiry;
            std::wstring& target = host_;
            const SECURITY_STATUS status = ::InitializeSecurityContextW(
                &credentials_.handle, first ? nullptr : &context_.handle, first ? &target[0] : nullptr,
                kContextRequest, 0, 0, first ? nullptr : &inDesc, 0, first ? &context_.handle : nullptr, &outDesc,
                &attributes, &expiry);
            if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) context_.valid = true;
            first = false;
            if (out[0].pvBuffer != nullptr) {
                int error = 0;
                const bool sent = out[0].cbBuffer == 0 ||
                                  plain_->Send(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer, error);
                ::FreeContextBuffer(out[0].pvBuffer);
                if (!sent) {
                    failure = Formatted("TLS handshake failed: socket error %lu\r\n", static_cast<unsigned long>(error));
                    return false;
                }
            }
            if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
                // What the server sent beyond this step is kept for the next.
                incoming_ = in[1].BufferType == SECBUFFER_EXTRA ? incoming_.substr(incoming_.size() - in[1].cbBuffer)
                                                                : std::string();
                if (status == SEC_E_OK) return true;
                if (!incoming_.empty()) continue;
            } else if (status != SEC_E_INCOMPLETE_MESSAGE) {
                failure = Formatted("TLS handshake failed: 0x%08lX\r\n", static_cast<unsigned long>(status));
                return false;
            }
            int error = 0;
            if (!ReceiveMore(error)) {
                failure = Formatted("TLS handshake failed: socket error %lu\r\n", static_cast<unsigned long>(error));
                return false;
            }
        }
    }

    // Decrypts what has arrived, receiving more until a whole record is there.
    bool Decrypt(int& error) {
        for (;;) {
            if (!incoming_.empty()) {
                SecBuffer buffers[4] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_DATA, &incoming_[0]},
                                        {0, SECBUFFER_EMPTY, nullptr},
                                        {0, SECBUFFER_EMPTY, nullptr},
                                        {0, SECBUFFER_EMPTY, nullptr}};
                SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
                const SECURITY_STATUS status = ::DecryptMessage(&context_.handle, &message, 0, nullptr);
                if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) {
                    std::string extra;
                    for (const SecBuffer& b : buffers) {
                        if (b.BufferType == SECBUFFER_DATA) plaintext_.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
                        if (b.BufferType == SECBUFFER_EXTRA) extra.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
                    }
                    incoming_ = extra;
                    // TLS 1.3 sends messages after the handshake (session tickets).
                    std::string failure;
                    if (status == SEC_I_RENEGOTIATE && !Negotiate(true, failure)) {
                        error = WSAECONNABORTED;
                        return false;
                    }
                    return true;
                }
                if (status == SEC_I_CONTEXT_EXPIRED) {
                    error = WSAECONNRESET;  // the server closed the TLS session
                    return false;
                }
                if (status != SEC_E_INCOMPLETE_MESSAGE) {
                    error = WSAECONNABORTED;
                    return false;
                }
            }
            if (!ReceiveMore(error)) return false;
        }
    }

    std::unique_ptr<MailConnection> plain_;
    std::wstring host_;
    Credentials credentials_;
    Context context_;
    SecPkgContext_StreamSizes sizes_{};
    std::string incoming_;   // received, not yet decrypted
    std::string plaintext_;  // decrypted, not yet taken
};

}  // namespace

std::unique_ptr<MailConnection> StartSchannelTls(std::unique_ptr<MailConnection> plain, const std::string& host,
                                                 const std::string& pinnedSha256, std::string& failure) {
    auto connection = std::make_unique<SchannelConnection>(std::move(plain), WidenText(host, CP_ACP));
    if (!connection->Handshake(failure)) return nullptr;
    PCCERT_CONTEXT certificate = connection->ServerCertificate();
    if (certificate == nullptr) {
        failure = "The server sent no certificate\r\n";
        return nullptr;
    }
    const bool trusted = CheckServerCertificate(certificate, host, pinnedSha256, failure);
    ::CertFreeCertificateContext(certificate);
    if (!trusted) return nullptr;
    return connection;
}

}  // namespace mrwd

// TLS over a mail connection through Windows' own SChannel (SSPI): TLS 1.2,
// and 1.3 where the system has it; nothing of another TLS library. Every
// read and write goes through the plain connection, so the mail time-outs
// hold for the handshake and the encrypted dialogue alike.
#pragma once

#include <memory>
#include <string>

#include "notify/core/smtp_client.h"

namespace mrwd {

// The handshake with `host` and the check of its certificate (see
// server_certificate.h); the secured connection, or null with the reason in
// `failure` (one line ended by CR LF).
std::unique_ptr<MailConnection> StartSchannelTls(std::unique_ptr<MailConnection> plain, const std::string& host,
                                                 const std::string& pinnedSha256, std::string& failure);

}  // namespace mrwd

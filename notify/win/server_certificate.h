// Whether the mail server's certificate may be trusted: its chain against the
// Windows root store with the SSL policy for the server's host name, or, with
// a pinned SHA-256, that one certificate and nothing else.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace mrwd {

// True when trusted; otherwise the reason, one line ended by CR LF, in `failure`.
bool CheckServerCertificate(PCCERT_CONTEXT certificate, const std::string& host, const std::string& pinnedSha256,
                            std::string& failure);

}  // namespace mrwd

#pragma once
// A libcurl transfer that accepts a TLS server only when Windows would: the server's certificate chains to
// a root the machine trusts, serves server authentication, is valid now and is issued for the host name.
// Schannel is asked to check (it does on Windows); Wine's Schannel accepts any certificate, so every
// connection is also checked here, through Windows' chain engine and SSL policy, before its request is
// sent. A refused server fails the transfer with a log line that names the reason.

#include <curl/curl.h>

namespace utility {

void setPeerCheck(CURL* curl);

}  // namespace utility

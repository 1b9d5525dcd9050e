#pragma once
// The TLS rules every transfer of both programs follows. Schannel checks the server's
// certificate against the Windows store (where an office's TLS-inspecting proxy has put
// its own root); host-name checks stay on; revocation is checked where the revocation
// servers answer, since an office network that blocks them must not stop updates.

#include <curl/curl.h>

#include <string>

struct TlsOptions {
    long verifyPeer;
    long verifyHost;
    long sslOptions;
    std::string protocols;          // what the first request may use
    std::string redirectProtocols;  // what a redirect may lead to
    std::string caFile;             // empty: the system's store
    bool operator==(const TlsOptions& other) const {
        return verifyPeer == other.verifyPeer && verifyHost == other.verifyHost && sslOptions == other.sslOptions &&
               protocols == other.protocols && redirectProtocols == other.redirectProtocols && caFile == other.caFile;
    }
};

// The options for a transfer of url. A redirect never leaves https for plain http; a plain
// http URL (a file a signed list names) may be redirected to either. caFile, when not
// empty, is the only root libcurl trusts.
TlsOptions TlsOptionsFor(const std::string& url, const std::string& caFile);

// The CA file this build was given (test builds only), or empty.
const char* BuiltInCaFile();

// Sets TlsOptionsFor(url, BuiltInCaFile()) on the handle; anything but CURLE_OK means
// libcurl was built without what they need.
CURLcode ApplyTlsOptions(CURL* easy, const std::string& url);

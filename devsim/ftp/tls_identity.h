// A TLS server context with a freshly made self-signed certificate, as a
// device has: no authority signed it and clients accept it anyway.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace devsim {

using SslCtxPtr = std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)>;

// Null and *error on failure. Sessions are cached so that data connections
// can resume the control connection's session.
SslCtxPtr MakeSelfSignedServerContext(const std::string& common_name,
                                      std::string* error);

}  // namespace devsim

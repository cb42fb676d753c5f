#include "standins/inet/curl_support.h"

#include <mutex>

#include "standins/inet/errors.h"

namespace inet {

void EnsureCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

uint32_t MapCurlResult(CURLcode result, uint32_t cert_error) {
  switch (result) {
    case CURLE_OK:
      return 0;
    case CURLE_OPERATION_TIMEDOUT:
      return kErrTimeout;
    case CURLE_COULDNT_CONNECT:
      return kErrCannotConnect;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kErrNameNotResolved;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
      return kErrConnectionReset;
    case CURLE_ABORTED_BY_CALLBACK:
      return kErrCancelled;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
      return cert_error ? cert_error : kErrSecureChannel;
    default:
      return kErrInternal;
  }
}

}  // namespace inet

// Error numbers the FTP client leaves as the thread's last error when a call
// fails. They are those of the system's internet client, so that callers
// written against it read the same numbers here.
#pragma once

#include <cstdint>

namespace ftpc {

inline constexpr uint32_t kErrTimeout = 12002;          // no answer in time
inline constexpr uint32_t kErrServerRefused = 12003;    // reply text tells why
inline constexpr uint32_t kErrBadName = 12005;          // host not parsable
inline constexpr uint32_t kErrNameNotResolved = 12007;
inline constexpr uint32_t kErrIncorrectUser = 12013;
inline constexpr uint32_t kErrIncorrectPassword = 12014;
inline constexpr uint32_t kErrLoginFailure = 12015;
inline constexpr uint32_t kErrIncorrectHandleState = 12019;
inline constexpr uint32_t kErrCannotConnect = 12029;
inline constexpr uint32_t kErrConnectionAborted = 12030;
inline constexpr uint32_t kErrConnectionReset = 12031;
inline constexpr uint32_t kErrSecureChannel = 12157;    // TLS failed
inline constexpr uint32_t kErrLocalFile = 2;            // local file missing
inline constexpr uint32_t kErrLocalWrite = 29;          // local write failed
inline constexpr uint32_t kErrInvalidParameter = 87;

}  // namespace ftpc

// Error codes of the internet layer. They keep the numbers callers already
// test for, so a failure reads the same whichever transport produced it.
#pragma once

#include <cstdint>

namespace inet {

inline constexpr uint32_t kErrTimeout = 12002;
inline constexpr uint32_t kErrInternal = 12004;  // anything not listed here
inline constexpr uint32_t kErrNameNotResolved = 12007;
inline constexpr uint32_t kErrCancelled = 12017;  // the request was abandoned
inline constexpr uint32_t kErrIncorrectHandleState = 12019;
inline constexpr uint32_t kErrCannotConnect = 12029;
inline constexpr uint32_t kErrConnectionReset = 12031;
inline constexpr uint32_t kErrCertDateInvalid = 12037;
inline constexpr uint32_t kErrCertNameInvalid = 12038;
inline constexpr uint32_t kErrInvalidCa = 12045;
inline constexpr uint32_t kErrSecureChannel = 12157;

}  // namespace inet

// Shared by the protocol halves of the layer: library start-up and the
// translation of transfer results into the layer's error codes.
#pragma once

#include <curl/curl.h>

#include <cstdint>

namespace inet {

// Initialises libcurl once per process; safe from any thread.
void EnsureCurl();

// The layer's code for a finished transfer. `cert_error` is what a
// certificate check recorded (0 when none failed).
uint32_t MapCurlResult(CURLcode result, uint32_t cert_error);

}  // namespace inet

// Loopback addresses for simulated devices, so that every device can use the
// standard ports without clashing with another device or another process.
#pragma once

#include <string>

namespace devsim {

// A fresh 127.x.y.z (never 127.0.0.1) unique within the machine for the
// life of the process (pid-derived block + counter, checked bindable).
// Empty when every address of the process's blocks is taken.
std::string AllocateLoopbackAddress();

}  // namespace devsim

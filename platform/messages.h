// The system's message texts for error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The built-in English text for a code, ending in a line break, or nullopt
// when the code has none (the diagnostic log then uses its other form).
std::optional<std::string> SystemMessageText(uint32_t code);

}  // namespace platform

// IPv6 addresses as the discovery dialogs take them from the user: which
// texts count as an address, and the two forms the dialogs write.
//
// A valid text: leading blanks are ignored and no other blank is allowed;
// at most 39 characters of hexadecimal digits, ':' and '.'; each group one
// to four digits; 2 to 7 colons (8 when "::" stands at either end, as the
// compressed form of a zero first or last group has it); "::" at most once; either no '.' or an
// IPv4 tail of four decimal numbers (1 to 255, or "0") after the last
// colon, counting as two groups; eight groups without "::", fewer with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace finder {

inline constexpr size_t kIpv6TextMax = 39;

bool IsValidIpv6Text(std::string_view text);

// The full form: eight groups of four lower-case hexadecimal digits joined
// by ':' (39 characters). nullopt for a text that is not valid.
std::optional<std::string> FullIpv6(std::string_view text);

// The compressed form of a full form: the first run of all-zero groups,
// even a single one, becomes "::"; every other group is written in
// lower-case hexadecimal without leading zeros. nullopt when `full` is not
// a full form.
std::optional<std::string> CompressIpv6(std::string_view full);

// Only zeros and colons (no nonzero hexadecimal digit).
bool IsZeroIpv6(std::string_view text);
// Only 'f' or 'F' and colons.
bool IsAllOnesIpv6(std::string_view text);

}  // namespace finder

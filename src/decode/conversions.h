#pragma once
// Lenient number reading, as the readers' own tools read their fields.

#include <cstdint>
#include <string_view>

namespace varno::decode {

// Reads `text` like the C library's strtoul where unsigned long is 32 bits:
// leading white space and one sign allowed, an optional 0x prefix in base 16,
// conversion stops at the first character that is not a digit, 0 when there is
// none, saturates at 0xFFFFFFFF on overflow, a minus sign negates modulo 2^32.
// Never reports an error. `base` is 10 or 16.
std::uint32_t lenientToUInt32(std::string_view text, int base);

}  // namespace varno::decode

#pragma once
// Checks of the TCP/IP settings the operator types.

#include <cstdint>
#include <string_view>

namespace varno::link {

enum class PortTextCheck { Ok, NotAPositiveInteger, OutOfRange };

inline constexpr std::uint32_t kMaxPort = 65535;

// Reads the port edit's text as an unsigned decimal number: blanks around it are
// allowed, anything else that is not a digit (a sign included) is refused, and
// the value must lie in 0..65535. `value` is set only when the text is accepted.
PortTextCheck checkPortText(std::string_view text, std::uint32_t& value);

}  // namespace varno::link

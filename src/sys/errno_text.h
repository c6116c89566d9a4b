#pragma once
// The operating system's failures in the operator's words. A failure the
// operator must see says what failed on its first line and why on a second
// one; this is the one place where an errno becomes that "why". The texts
// are French, like the rest of the program's messages, and UTF-8.

#include <string>

namespace varno::sys {

// A short phrase for `error`, lower case, without a final period:
// "permission refusée", "aucun espace libre sur le disque". An errno without a
// phrase of its own gives "erreur système N".
std::string errnoText(int error);

}  // namespace varno::sys

#pragma once
// The stream and every text the program stores are Windows-1252 bytes.

#include <string>
#include <string_view>

namespace varno::decode {

// The Unicode code point of one Windows-1252 byte. The five bytes the code page
// leaves undefined map to the C1 control of the same value, so every byte
// survives a round trip.
char16_t cp1252ToUnicode(unsigned char byte);

// The Windows-1252 byte of a code point, or '?' when the code page lacks it.
unsigned char unicodeToCp1252(char16_t codePoint);

// UTF-8 literal (as written in our sources) to Windows-1252 bytes.
std::string utf8ToCp1252(std::string_view utf8);

}  // namespace varno::decode

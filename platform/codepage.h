// Windows-1252, the 8-bit code page of every text file this system reads
// and writes, and its conversion to and from UTF-16.
#pragma once

#include <string>
#include <string_view>

// Every byte has a UTF-16 form; the five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as
// the Windows conversion does.
std::u16string Cp1252ToUtf16(std::string_view text);

// Characters Windows-1252 cannot hold become '?'; a surrogate pair (one
// character) becomes a single '?'.
std::string Utf16ToCp1252(std::u16string_view text);

char16_t Cp1252ToUnicode(unsigned char c);

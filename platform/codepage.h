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

// Windows-1252 text as UTF-8, for messages and reports that quote file text;
// the five undefined bytes show as "?".
std::string Cp1252ToUtf8(std::string_view text);

// The Windows-1252 byte of a Unicode code point, or '?' where the code page
// has none (the Latin-1 range maps to itself, U+20AC to 0x80 and so on).
char UnicodeToCp1252(char32_t u);

// UTF-8 text as Windows-1252: every well-formed sequence becomes its byte
// (or '?'); a byte that does not start or continue a well-formed sequence is
// kept as it stands, so that 8-bit text in a file that claims UTF-8 survives.
std::string Utf8ToCp1252(std::string_view text);
// True when the text holds no byte above 0x7F (it reads alike in both).
bool IsAscii(std::string_view text);

// Drawn text: the form in which the texts of a drawing travel from the model
// to the recorded drawing. It is Windows-1252, able to carry the characters
// the code page lacks (U+00A0 to U+FFFF, surrogates excepted): such a
// character is the mark byte kDrawnTextMark (DEL, 0x7F) followed by its code
// in four hexadecimal digits (upper case), and the mark byte itself is
// written twice. Every other byte stands for itself. A text is measured as
// its plain form (DrawnTextPlain), where every such character is "?", as
// the code page's text has it; the recording carries the characters.
constexpr char kDrawnTextMark = '\x7F';
// Appends the byte (the mark byte twice).
void AppendDrawnByte(std::string& out, char c);
// Appends the character: its byte where the code page has it, else its
// marked form, else (controls U+0080 to U+009F, surrogates, characters past
// U+FFFF) "?".
void AppendDrawnChar(std::string& out, char32_t u);
// Windows-1252 text (the mark byte doubled).
std::string Cp1252ToDrawnText(std::string_view text);
// UTF-8 text as Utf8ToCp1252 reads it, keeping the characters the code page lacks.
std::string Utf8ToDrawnText(std::string_view text);
// The Windows-1252 text a drawn text reads as: "?" for every character the
// code page lacks.
std::string DrawnTextPlain(std::string_view text);
bool HasDrawnTextMark(std::string_view text);
// The characters of a drawn text (the length of its plain form).
std::size_t DrawnTextLength(std::string_view text);
std::u16string DrawnTextToUtf16(std::string_view text);

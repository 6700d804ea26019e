// The text of a drawing read as numbers, handles and names: the strict
// number parsing of the reader, case-blind comparison and replacement of
// ASCII text, blank trimming, and the escaping of file text quoted in a
// message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

std::string ReplaceTextCI(std::string s, std::string_view what, std::string_view with);
std::string DiameterSubstitute(const std::string& s);
uint32_t HexHandle(std::string_view s);
// Text read as a number ("." or "," as decimal separator); def when it is not one.
double TextToFloatDef(std::string_view s, double def);
// Strict number parsing used by the reader: leading/trailing blanks as the
// reader allows; false when the text is not a number.
bool ParseDouble(std::string_view s, double& out);
bool ParseInt32(std::string_view s, int32_t& out);
std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
std::string_view TrimBlanks(std::string_view s);
// Text from a file quoted in a message: its control bytes (line breaks
// among them) and DEL written as JSON writes them (\n, \t, \u001b, ...),
// so that a warning is always one line and shows what the file holds.
std::string EscapeControlBytes(std::string_view s);

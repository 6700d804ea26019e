// Text from a drawing (names, values quoted in messages) and file names can
// hold any byte. Before such text reaches a terminal, its control characters
// are shown as \xNN, so that an escape sequence in a hostile file cannot
// rewrite or hide what the program prints. Line feeds and tabs stay; a CR LF
// pair (the separator of the reader's error messages) becomes a line feed.
#pragma once

#include <string>
#include <string_view>

std::string Printable(std::string_view text);

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A paragraph of words (separated by single spaces) broken into lines of at
// most width characters, each ended by a newline: the first line starts with
// first, the others with rest. A word longer than a line gets a line of its
// own; the first word always stays on the first line.
std::string wrapped(std::string_view text, std::string_view first, std::string_view rest, std::size_t width);

#pragma once

#include <charconv>
#include <string>

// Text of a number as printf would write it with the given conversion and
// precision (general 17 is "%.17g"), but never in the user's locale: the
// decimal separator is always the full stop.
inline std::string numberText(double value, std::chars_format format = std::chars_format::general,
                              int precision = 17) {
    char buffer[400];  // enough for "%f" of any double
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    return std::string(buffer, result.ptr);
}

// The shortest text that reads back as the same double ("0.1", "1e+20").
inline std::string shortestText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

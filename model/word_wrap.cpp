#include "model/word_wrap.h"

#include <algorithm>

std::string wrapped(std::string_view text, std::string_view first, std::string_view rest, std::size_t width) {
    std::string out;
    std::string line(first);
    bool empty = true;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, end);
        if (!empty && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line = rest;
            empty = true;
        }
        if (!empty) line += ' ';
        line += word;
        empty = false;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return out + line + "\n";
}

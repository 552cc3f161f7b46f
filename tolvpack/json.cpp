#include "json.h"

#include <cmath>
#include <cstdio>

std::string JsonString(const std::string& utf8) {
    std::string text = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text + "\"";
}

std::string JsonNumber(double value, int decimals) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string JsonNumber(int64_t value) { return std::to_string(value); }

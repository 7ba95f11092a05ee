#include "Orbilume/CSources/Http/FormHtml.h"

#include <cstdint>

namespace formhtml {

void AppendEscaped(std::string& out, const std::string& text) {
    for (char ch : text) {
        const uint8_t c = uint8_t(ch);
        switch (c) {
            case '"':
                out += "&quot;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                if (c <= 32) {
                    out += "&#";
                    out += std::to_string(c);
                    out += ';';
                } else {
                    out += ch;
                }
        }
    }
}

void AppendPercentEncoded(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (char ch : text) {
        const uint8_t c = uint8_t(ch);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
}

void AppendFilled(std::string& out, const std::string& fragment, const std::vector<std::string>& args) {
    for (size_t i = 0; i < fragment.size(); ++i) {
        const char c = fragment[i];
        if (c == '%' && i + 1 < fragment.size()) {
            const char n = fragment[i + 1];
            if (n >= '0' && n <= '9') {
                const size_t index = size_t(n - '0');
                if (index < args.size()) AppendEscaped(out, args[index]);
                ++i;
                continue;
            }
            if (n == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += c;
    }
}

}  // namespace formhtml

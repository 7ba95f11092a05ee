// Request paths resolved inside the panel's root, and the escaping of page values: a resolved file
// stays under the root with no "." or ".." component, escaped text holds none of the characters
// that end an attribute or start markup, and percent-encoded text only safe bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Orbilume/CSources/Http/FormHtml.h"
#include "Orbilume/CSources/Http/FormServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 14) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string root = "/srv/panel root";
    std::string file;
    if (CFormServer::ResolvePath(root, text, file)) {
        if (file.compare(0, root.size(), root) != 0) std::abort();
        const std::string rest = file.substr(root.size());
        if (!rest.empty() && rest[0] != '/') std::abort();
        if (rest.find("//") != std::string::npos) std::abort();
        size_t at = 0;
        while (at < rest.size()) {
            const size_t next = rest.find('/', at + 1);
            const std::string part = rest.substr(at + 1, next - at - 1);
            if (part == "." || part == "..") std::abort();
            if (next == std::string::npos) break;
            at = next;
        }
    }
    std::string escaped;
    formhtml::AppendEscaped(escaped, text);
    for (char c : escaped)
        if (c == '<' || c == '>' || c == '"' || c == '\'' || uint8_t(c) <= 32) std::abort();
    std::string encoded;
    formhtml::AppendPercentEncoded(encoded, text);
    for (char c : encoded)
        if (c == '&' || c == '=' || c == ' ' || uint8_t(c) >= 0x80 || uint8_t(c) < 0x20) std::abort();
    std::string filled;
    formhtml::AppendFilled(filled, text, {text, "x"});
    return 0;
}

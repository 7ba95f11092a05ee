// Feeds arbitrary bytes to the header-line parser and the base64 decoder, as the HTTP server does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Common/Internet/CBase64Decoder.h"
#include "Common/Internet/CHeaderLineParser.h"

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// Builds a well-formed header block from the input (NUL separates lines, the first '=' the name
// from the value), with CR LF or LF line ends and some values folded, and checks that the parser
// gives back exactly those lines and then the empty line at the block's last byte.
void CheckWellFormed(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const bool crlf = data[0] & 1;
    const bool fold = data[0] & 2;
    const char* eol = crlf ? "\r\n" : "\n";
    Lines lines;
    std::string block;
    std::string chunk;
    for (size_t i = 1; i <= size; ++i) {
        if (i < size && data[i] != 0) {
            chunk.push_back(static_cast<char>(data[i]));
            continue;
        }
        const size_t eq = chunk.find('=');
        std::string name, value;
        for (char c : chunk.substr(0, eq))
            if (c != ':' && !Blank(c) && c != '\r' && c != '\n') name.push_back(c);
        if (name.empty()) name = "N";
        if (eq != std::string::npos)
            for (char c : chunk.substr(eq + 1))
                if (c != '\r' && c != '\n' && !(value.empty() && Blank(c))) value.push_back(c);
        chunk.clear();
        lines.emplace_back(name, value);
        std::string written = value;
        for (size_t k = 1; fold && k + 1 < value.size(); ++k)
            if (value[k] == ' ' && !Blank(value[k - 1]) && !Blank(value[k + 1])) {
                written = value.substr(0, k) + eol + " " + value.substr(k + 1);
                break;
            }
        block += name + ": " + written + eol;
    }
    block += eol;
    lines.emplace_back("", "");

    CHeaderLineParser parser;
    Lines got;
    size_t last = 0;
    for (size_t i = 0; i < block.size(); ++i) {
        const int r = parser.Feed(static_cast<uint8_t>(block[i]));
        if (!r) continue;
        got.emplace_back(parser.Name().CStr(), parser.Value().CStr());
        if (r == CHeaderLineParser::kLineAndEnd) got.emplace_back("", "");
        last = i;
    }
    if (parser.Overflowed()) return;
    if (got != lines || last != block.size() - 1) {
        fprintf(stderr, "block [%s] got %zu lines, want %zu, last %zu of %zu\n", block.c_str(), got.size(),
                lines.size(), last, block.size());
        for (auto& l : got) fprintf(stderr, "  got [%s] [%s]\n", l.first.c_str(), l.second.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    CheckWellFormed(data, size);
    CHeaderLineParser parser;
    size_t reports = 0;
    for (size_t i = 0; i < size; ++i) {
        const int r = parser.Feed(data[i]);
        if (r < 0 || r > 2) std::abort();
        if (parser.Name().Length() > CHeaderLineParser::kMaxField ||
            parser.Value().Length() > CHeaderLineParser::kMaxField)
            std::abort();
        if (std::strlen(parser.Name().CStr()) > parser.Name().Length()) std::abort();
        // Each report needs a line end, so there are never more than the line ends.
        if (r) reports += r;
        if (data[i] == '\n' && i % 97 == 0) parser.Reset();
    }
    size_t ends = 0;
    for (size_t i = 0; i < size; ++i) ends += data[i] == '\n' || data[i] == '\r';
    if (reports > ends + 1) std::abort();

    CBase64Decoder decoder;
    for (size_t i = 0; i < size; ++i) {
        const uint32_t left = decoder.Feed(reinterpret_cast<const char*>(data) + i, 1);
        if (left > 1 || decoder.BitCount() > 24) std::abort();
        while (decoder.BitCount() >= 8) decoder.NextByte();
        if (left) decoder.Reset();
    }
    return 0;
}

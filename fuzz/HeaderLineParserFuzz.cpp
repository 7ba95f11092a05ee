// Feeds arbitrary bytes to the header-line parser and the base64 decoder, as the HTTP server does.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/Internet/CBase64Decoder.h"
#include "Common/Internet/CHeaderLineParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
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

#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

namespace xmltest {

// Hands out its bytes at most `chunk` at a time, so block boundaries fall everywhere.
class ChunkedIn : public LCharIn {
public:
    ChunkedIn(const std::string& bytes, uint32_t chunk) : fBytes(bytes), fChunk(chunk) {}
    bool Get(unsigned char& c) override {
        if (fPos >= fBytes.size()) return (c = 0, false);
        c = static_cast<unsigned char>(fBytes[fPos++]);
        return true;
    }
    void Unget() override {
        if (fPos) --fPos;
    }
    uint32_t Get(unsigned char* bytes, uint32_t n) override {
        uint32_t k = static_cast<uint32_t>(std::min<size_t>({n, fChunk, fBytes.size() - fPos}));
        std::memcpy(bytes, fBytes.data() + fPos, k);
        fPos += k;
        return k;
    }

private:
    std::string fBytes;
    size_t fChunk;
    size_t fPos = 0;
};

// The event stream as text: "<name" start tag, " name=value" attribute (value read when
// readValues is set, where it lies in the input when inPlace is set and it can be), "[text]" text
// (adjacent pieces joined), ">" end tag.
inline std::string Transcript(const std::string& xml, bool readValues = true, uint32_t chunk = 1024,
                              bool inPlace = false) {
    ChunkedIn in(xml, chunk);
    CXmlTokenizer t(in);
    std::string out, text;
    auto flush = [&] {
        if (!text.empty()) out += "[" + text + "]";
        text.clear();
    };
    for (int guard = 0; guard < 100000; ++guard) {
        int e = t.Next();
        if (e == CXmlTokenizer::kText) {
            LVariStr<64> piece;
            t.TakeText(piece);
            text.append(piece.CStr(), piece.Length());
            continue;
        }
        flush();
        if (e == CXmlTokenizer::kEnd) break;
        if (e == CXmlTokenizer::kStartTag) out += std::string("<") + t.TagName().CStr();
        if (e == CXmlTokenizer::kEndTag) out += ">";
        if (e == CXmlTokenizer::kAttribute) {
            out += std::string(" ") + t.AttrName().CStr() + "=";
            const unsigned char* bytes;
            uint32_t length;
            if (readValues && inPlace && t.ValueInPlace(bytes, length)) {
                out.append(reinterpret_cast<const char*>(bytes), length);
            } else if (readValues) {
                LString v = t.ReadValue();
                out += std::string(v.CStr(), v.Length());
            }
        }
    }
    return out;
}

}  // namespace xmltest

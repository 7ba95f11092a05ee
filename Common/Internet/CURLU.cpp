#include "Common/Internet/CURLU.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>

#include "Common/Internet/CURL.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UString.h"

namespace {

bool IsSafe(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("!$'()*+,-._", c) != nullptr && c != 0;
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const unsigned char* Uc(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

}  // namespace

void CURLU::Encode(const unsigned char* segment, uint32_t length, LStrBuf& out) {
    if (length == 1 && segment[0] == '.') {
        out.Append("%2E");
        return;
    }
    if (length == 2 && segment[0] == '.' && segment[1] == '.') {
        out.Append("%2E%2E");
        return;
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (uint32_t i = 0; i < length; ++i) {
        unsigned char c = segment[i];
        if (IsSafe(c)) {
            out.Append(c);
        } else {
            unsigned char esc[3] = {'%', static_cast<unsigned char>(kHex[c >> 4]),
                                    static_cast<unsigned char>(kHex[c & 15])};
            out.Append(esc, 3);
        }
    }
}

LString CURLU::Encode(const unsigned char* segment, uint32_t length) {
    LVariStr<64> out;
    if (segment) Encode(segment, length, out);
    return LString(out);
}

LString CURLU::Encode(const unsigned char* segment) {
    return Encode(segment, UString::LengthOf(segment));
}

void CURLU::Descend(LStrBuf& path, const unsigned char* segment) {
    if (UString::IsEmpty(segment)) return;
    uint32_t n = path.Length();
    if (n == 0 || path.Text()[n - 1] != '/') path.Append('/');
    Encode(segment, UString::LengthOf(segment), path);
}

void CURLU::Decode(const unsigned char* text, uint32_t n, LStrBuf& out) {
    for (uint32_t i = 0; i < n; ++i) {
        int hi, lo;
        if (text[i] == '%' && i + 2 < n && (hi = HexValue(text[i + 1])) >= 0 &&
            (lo = HexValue(text[i + 2])) >= 0) {
            out.Append(static_cast<unsigned char>(hi * 16 + lo));
            i += 2;
        } else {
            out.Append(text[i]);
        }
    }
}

LString CURLU::Dig(const unsigned char*& path) {
    if (!path) return LString();
    while (*path == '/') ++path;
    const unsigned char* start = path;
    while (*path && *path != '/') ++path;
    LVariStr<64> out;
    Decode(start, static_cast<uint32_t>(path - start), out);
    return LString(out);
}

LString CURLU::Ascend(const unsigned char* path, LString& leaf) {
    leaf = LString();
    if (!path) return LString();
    uint32_t n = UString::LengthOf(path);
    // The last "/" that is followed by another character.
    int64_t cut = -1;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        if (path[i] == '/') cut = i;
    }
    uint32_t start = static_cast<uint32_t>(cut + 1);
    uint32_t end = start;
    while (end < n && path[end] != '/') ++end;
    LVariStr<64> decoded;
    Decode(path + start, end - start, decoded);
    leaf = LString(decoded);
    return cut < 0 ? LString() : LString(path, start);
}

LString CURLU::GetLeafDecoded(const unsigned char* url) {
    CURL u(url);
    LString leaf;
    Ascend(u.Path().Text(), leaf);
    return leaf;
}

LString CURLU::GetRelativePath(const unsigned char* target, const unsigned char* base) {
    const unsigned char* t = target ? target : Uc("");
    const unsigned char* b = base ? base : Uc("");
    LString ts, bs;
    for (;;) {
        ts = Dig(t);
        bs = Dig(b);
        if (ts.IsEmpty() && bs.IsEmpty()) return LString();
        if (ts.IsEmpty() || !(ts == bs)) break;
    }
    LVariStr<64> out;
    if (!bs.IsEmpty()) out.Append("../");
    while (!Dig(b).IsEmpty()) out.Append("../");
    if (!ts.IsEmpty()) {
        Encode(ts.Text(), ts.Length(), out);
        while (*t == '/') ++t;
        if (*t) {
            out.Append('/');
            out.Append(t);
        }
    }
    return LString(out);
}

LString CURLU::AddrToStr(uint32_t address) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255, (address >> 8) & 255,
                  address & 255);
    return LString(buf);
}

uint32_t CURLU::StrToAddr(const unsigned char* text) {
    struct in_addr a;
    if (!text || inet_aton(reinterpret_cast<const char*>(text), &a) == 0) return 0;
    return ntohl(a.s_addr);
}

LString CURLU::HostPortToStr(uint32_t address, uint32_t port) {
    LVariStr<64> out;
    out.Append(AddrToStr(address));
    if (port) {
        char buf[16];
        std::snprintf(buf, sizeof buf, ":%u", port);
        out.Append(buf);
    }
    return LString(out);
}

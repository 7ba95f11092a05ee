#include "Common/Internet/CURL.h"

#include <cstring>
#include <vector>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UStrCompar.h"

namespace {

bool IsSchemeChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

const unsigned char* Find(const unsigned char* from, const unsigned char* to, unsigned char c) {
    const void* p = std::memchr(from, c, static_cast<size_t>(to - from));
    return p ? static_cast<const unsigned char*>(p) : to;
}

LString Part(const unsigned char* from, const unsigned char* to) {
    return LString(from, static_cast<uint32_t>(to - from));
}

}  // namespace

CURL::CURL(const unsigned char* text) {
    if (!text) return;
    const unsigned char* p = text;
    const unsigned char* end = text + std::strlen(reinterpret_cast<const char*>(text));

    const unsigned char* hash = Find(p, end, '#');
    if (hash != end) fFragment = Part(hash + 1, end);
    end = hash;

    const unsigned char* s = p;
    while (s < end && IsSchemeChar(*s)) ++s;
    if (s < end && *s == ':' && s > p) {
        fScheme = Part(p, s);
        p = s + 1;
    }

    if (end - p >= 2 && p[0] == '/' && p[1] == '/') {
        const unsigned char* slash = Find(p + 2, end, '/');
        fAuthority = Part(p + 2, slash);
        p = slash;
    }

    const unsigned char* question = Find(p, end, '?');
    if (question != end) fQuery = Part(question + 1, end);
    end = question;

    const unsigned char* semi = Find(p, end, ';');
    if (semi != end) fParams = Part(semi + 1, end);
    end = semi;

    fPath = Part(p, end);
}

bool CURL::empty() const {
    return fScheme.IsEmpty() && fAuthority.IsEmpty() && fPath.IsEmpty() && fParams.IsEmpty() &&
           fQuery.IsEmpty() && fFragment.IsEmpty();
}

bool CURL::isscheme(const unsigned char* scheme) const {
    return UStrCompar::NoCase(fScheme.Text(), scheme);
}

LString CURL::GetString() const {
    LVariStr<64> s;
    if (!fScheme.IsEmpty()) {
        s.Append(fScheme);
        s.Append(':');
    }
    s.Append("//");
    s.Append(fAuthority);
    if (fPath.Text()[0] != '/') s.Append('/');
    s.Append(fPath);
    if (!fParams.IsEmpty()) {
        s.Append(';');
        s.Append(fParams);
    }
    if (!fQuery.IsEmpty()) {
        s.Append('?');
        s.Append(fQuery);
    }
    if (!fFragment.IsEmpty()) {
        s.Append('#');
        s.Append(fFragment);
    }
    return LString(s);
}

void CURL::Inherit(const CURL& base, bool folder) {
    if (base.empty()) return;
    if (empty()) {
        *this = base;
        return;
    }
    if (!fScheme.IsEmpty()) return;
    fScheme = base.fScheme;
    if (!fAuthority.IsEmpty()) return;
    fAuthority = base.fAuthority;
    if (fPath.Text()[0] == '/') return;
    if (fPath.IsEmpty()) {
        fPath = base.fPath;
        if (fParams.IsEmpty()) fParams = base.fParams;
        if (fQuery.IsEmpty()) fQuery = base.fQuery;
        return;
    }

    LVariStr<64> merged;
    const unsigned char* bp = base.fPath.Text();
    uint32_t startLength = base.fPath.Length();
    if (!folder) {
        while (startLength > 0 && bp[startLength - 1] != '/') --startLength;
    }
    merged.Append(bp, startLength);
    if (startLength > 0 && bp[startLength - 1] != '/') merged.Append('/');
    merged.Append(fPath);

    struct Segment {
        const unsigned char* text;
        uint32_t length;
    };
    std::vector<Segment> segments;
    const unsigned char* m = merged.Text();
    const unsigned char* mend = m + merged.Length();
    for (const unsigned char* p = m; p < mend;) {
        const unsigned char* slash = Find(p, mend, '/');
        uint32_t n = static_cast<uint32_t>(slash - p);
        if (n == 1 && p[0] == '.') {
        } else if (n == 2 && p[0] == '.' && p[1] == '.') {
            if (!segments.empty()) segments.pop_back();
        } else if (n > 0) {
            segments.push_back({p, n});
        }
        p = slash + 1;
    }

    LVariStr<64> path;
    if (m[0] == '/') path.Append('/');
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i) path.Append('/');
        path.Append(segments[i].text, segments[i].length);
    }
    fPath = LString(path);
}

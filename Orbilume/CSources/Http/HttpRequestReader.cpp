#include "Orbilume/CSources/Http/HttpRequestReader.h"

#include "Common/Internet/CBase64Decoder.h"

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Equal without regard to ASCII case; lower is in lower case.
bool EqualsLower(const std::string& text, const char* lower) {
    size_t i = 0;
    for (; i < text.size(); ++i)
        if (!lower[i] || Lower(text[i]) != lower[i]) return false;
    return lower[i] == 0;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The words of text separated by runs of blanks (and of any of extra).
template <typename F>
void ForEachWord(const std::string& text, const char* extra, F&& f) {
    size_t i = 0;
    auto separates = [&](char c) {
        if (IsBlank(c)) return true;
        for (const char* e = extra; *e; ++e)
            if (*e == c) return true;
        return false;
    };
    while (i < text.size()) {
        while (i < text.size() && separates(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !separates(text[i])) ++i;
        if (i > start && !f(text.substr(start, i - start))) return;
    }
}

std::string ToString(const LVariStr<16>& s) {
    return std::string(reinterpret_cast<const char*>(static_cast<const unsigned char*>(s)), s.Length());
}

// "HTTP/<major>.<minor>": -1 when malformed, else major * 1000 + minor (both capped at 999).
int ParseVersion(const std::string& v) {
    if (v.compare(0, 5, "HTTP/") != 0) return -1;
    size_t i = 5;
    auto number = [&](int& out) {
        size_t start = i;
        out = 0;
        while (i < v.size() && v[i] >= '0' && v[i] <= '9') {
            if (out < 999) out = out * 10 + (v[i] - '0');
            ++i;
        }
        return i > start;
    };
    int major = 0, minor = 0;
    if (!number(major) || i >= v.size() || v[i] != '.') return -1;
    ++i;
    if (!number(minor) || i != v.size()) return -1;
    return major * 1000 + minor;
}

}  // namespace

void HttpRequestReader::Reset() {
    fRequest = HttpRequest();
    fLine.clear();
    fHeaders.reset();
    fHeadBytes = 0;
    fHeadLines = 0;
    fPhase = 0;
}

int HttpRequestReader::Feed(uint8_t byte) {
    if (fPhase == 1) return FeedHeader(byte);
    if (byte == '\r') return kMore;
    if (byte == '\n') {
        if (fLine.empty()) return kMore;  // blank lines before a request are skipped
        return EndRequestLine();
    }
    if (fLine.size() >= kMaxLine) {
        fRequest.Fail(HttpRequest::kBadRequest);
        return kHeadDone;
    }
    fLine.push_back(char(byte));
    return kMore;
}

int HttpRequestReader::EndRequestLine() {
    std::string words[3];
    int count = 0;
    ForEachWord(fLine, "", [&](std::string w) {
        words[count++] = std::move(w);
        return count < 3;
    });
    HttpRequest& r = fRequest;
    // The version first, so that a refused method on a 1.1 connection is answered as 1.1.
    const int version = count == 3 ? ParseVersion(words[2]) : -1;
    if (version >= 1001 && version < 2000) r.Set(HttpRequest::kHttp11);
    if (EqualsLower(words[0], "get"))
        r.method = HttpRequest::kGet;
    else if (EqualsLower(words[0], "head"))
        r.method = HttpRequest::kHead;
    else if (EqualsLower(words[0], "post"))
        r.method = HttpRequest::kPost;
    if (r.method == HttpRequest::kNone) {
        r.Fail(HttpRequest::kNotImplemented);
        return kHeadDone;
    }
    if (count < 2) {
        r.Fail(HttpRequest::kBadRequest);
        return kHeadDone;
    }
    r.path = words[1];
    if (count < 3) {
        if (r.method == HttpRequest::kGet)
            r.Set(HttpRequest::kSimple);
        else
            r.Fail(HttpRequest::kNotImplemented);
        return kHeadDone;
    }
    if (version < 0) {
        r.Fail(HttpRequest::kBadRequest);
        return kHeadDone;
    }
    if (version / 1000 != 1) {
        r.Fail(HttpRequest::kBadVersion);
        return kHeadDone;
    }
    fPhase = 1;
    fHeaders.emplace();
    return kMore;
}

int HttpRequestReader::FeedHeader(uint8_t byte) {
    if (++fHeadBytes > kMaxHead) {
        fRequest.Fail(HttpRequest::kBadRequest);
        return kHeadDone;
    }
    const int result = fHeaders->Feed(byte);
    if (fHeaders->Overflowed()) {
        fRequest.Fail(HttpRequest::kBadRequest);
        return kHeadDone;
    }
    if (result == CHeaderLineParser::kNone) return kMore;
    const bool blockEnd = result == CHeaderLineParser::kLineAndEnd ||
                          (fHeaders->Name().Length() == 0 && fHeaders->Value().Length() == 0);
    if (result == CHeaderLineParser::kLineAndEnd || !blockEnd) {
        if (++fHeadLines > kMaxLines) {
            fRequest.Fail(HttpRequest::kBadRequest);
            return kHeadDone;
        }
        if (fHeaders->Name().Length() > 0) OnHeader(ToString(fHeaders->Name()), ToString(fHeaders->Value()));
    }
    return blockEnd ? kHeadDone : kMore;
}

void HttpRequestReader::OnHeader(const std::string& name, const std::string& value) {
    HttpRequest& r = fRequest;
    if (EqualsLower(name, "content-length")) {
        ReadContentLength(value);
    } else if (EqualsLower(name, "transfer-encoding")) {
        // A coded request body would be read as raw bytes.
        r.Fail(HttpRequest::kBadRequest);
    } else if (EqualsLower(name, "content-type")) {
        r.contentType = value;
    } else if (EqualsLower(name, "authorization")) {
        ReadAuthorization(value);
    } else if (r.Has(HttpRequest::kHttp11) && EqualsLower(name, "connection")) {
        ForEachWord(value, ",", [&](const std::string& w) {
            if (EqualsLower(w, "close")) r.Set(HttpRequest::kClose);
            return true;
        });
    } else if (r.Has(HttpRequest::kHttp11) && EqualsLower(name, "expect")) {
        if (value.compare(0, 4, "100-") == 0) r.Set(HttpRequest::kExpect100);
    }
}

void HttpRequestReader::ReadContentLength(const std::string& value) {
    HttpRequest& r = fRequest;
    size_t i = 0;
    while (i < value.size() && uint8_t(value[i]) <= ' ') ++i;
    const size_t start = i;
    uint64_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + uint64_t(value[i] - '0');
        if (n > fMaxBody) {
            r.Fail(HttpRequest::kBadRequest);
            return;
        }
    }
    const size_t end = i;
    while (i < value.size() && IsBlank(value[i])) ++i;
    if (end == start || i != value.size() || (r.contentLength >= 0 && uint64_t(r.contentLength) != n)) {
        r.Fail(HttpRequest::kBadRequest);
        return;
    }
    r.contentLength = int64_t(n);
}

void HttpRequestReader::ReadAuthorization(const std::string& value) {
    int index = 0;
    bool basic = false;
    ForEachWord(value, "", [&](const std::string& w) {
        if (index++ == 0) {
            basic = EqualsLower(w, "basic");
            return basic;
        }
        CBase64Decoder decoder;
        std::string decoded;
        for (char c : w) {
            if (decoder.Feed(&c, 1) != 0) break;
            if (decoder.BitCount() >= 8) decoded.push_back(char(decoder.NextByte()));
        }
        // Only the first ':' separates: the password may hold more.
        const size_t colon = decoded.find(':');
        fRequest.user = decoded.substr(0, colon);
        fRequest.password = colon == std::string::npos ? std::string() : decoded.substr(colon + 1);
        return false;
    });
}

#include "Common/Stream/CXmlCheck.h"

#include <algorithm>

#include <cstring>
#include <vector>

namespace {

class Checker {
public:
    Checker(const unsigned char* text, size_t length) : p(text), n(length) {}

    SXmlCheck Run();

private:
    bool Fail(const char* why) {
        if (!failed) {
            failed = true;
            reason = why;
        }
        return false;
    }
    bool AtEnd() const { return i >= n; }
    bool Starts(const char* s) const {
        const size_t len = std::strlen(s);
        return n - i >= len && std::memcmp(p + i, s, len) == 0;
    }
    void Advance(size_t count) {
        for (size_t k = 0; k < count && i < n; ++k, ++i)
            if (p[i] == '\n') ++line;
    }
    static bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool IsNameStart(unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
    }
    static bool IsNameChar(unsigned char c) {
        return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
    void SkipSpace() {
        while (!AtEnd() && IsSpace(p[i])) Advance(1);
    }
    bool Name(size_t& start, size_t& length);
    bool Until(const char* terminator, const char* why);
    bool Reference();
    bool Comment() { return Until("-->", "a comment is not closed"); }
    bool Instruction() { return Until("?>", "a processing instruction is not closed"); }
    bool Doctype();
    bool StartTag(bool& empty, size_t& nameStart, size_t& nameLength);
    bool EndTag();
    bool Content();
    bool Misc(bool allowDoctype);

    const unsigned char* p;
    size_t n;
    size_t i = 0;
    uint32_t line = 1;
    bool failed = false;
    const char* reason = "";
    std::vector<std::pair<size_t, size_t>> open;
    size_t deepest = 0;
};

// The reader stops at a zero byte, so a text holding one would be read only in part. Encoding
// faults are left to the reader, which takes them as older files hold them.
bool CheckText(const unsigned char* p, size_t n, uint32_t& line) {
    line = 1;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == 0) return false;
        if (p[i] == '\n') ++line;
    }
    return true;
}

bool Checker::Name(size_t& start, size_t& length) {
    start = i;
    if (AtEnd() || !IsNameStart(p[i])) return Fail("a name is expected");
    while (!AtEnd() && IsNameChar(p[i])) Advance(1);
    length = i - start;
    return true;
}

bool Checker::Until(const char* terminator, const char* why) {
    const size_t len = std::strlen(terminator);
    while (!AtEnd()) {
        if (Starts(terminator)) {
            Advance(len);
            return true;
        }
        Advance(1);
    }
    return Fail(why);
}

// After '&': a predefined entity or a character reference, up to its ';'.
bool Checker::Reference() {
    static const char* const kEntities[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};
    for (const char* e : kEntities)
        if (Starts(e)) {
            Advance(std::strlen(e));
            return true;
        }
    if (!Starts("#")) return Fail("an unknown entity reference");
    Advance(1);
    const bool hex = !AtEnd() && p[i] == 'x';
    if (hex) Advance(1);
    uint32_t value = 0;
    size_t digits = 0;
    for (; !AtEnd() && p[i] != ';'; Advance(1), ++digits) {
        const unsigned char c = p[i];
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return Fail("a character reference is malformed");
        value = value * (hex ? 16 : 10) + d;
        if (value > 0x10FFFF) return Fail("a character reference is out of range");
    }
    if (AtEnd() || digits == 0) return Fail("a character reference is malformed");
    Advance(1);
    // Older files carry control characters as references; only the zero character is refused.
    return value != 0 || Fail("a character reference names the zero character");
}

bool Checker::Doctype() {
    // "<!DOCTYPE" read; brackets of an internal subset and quoted literals skipped.
    uint32_t depth = 0;
    unsigned char quote = 0;
    while (!AtEnd()) {
        const unsigned char c = p[i];
        Advance(1);
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (depth == 0) return Fail("a document type declaration is malformed");
            --depth;
        } else if (c == '>' && depth == 0) {
            return true;
        }
    }
    return Fail("a document type declaration is not closed");
}

// After '<': the name, attributes and '>' or "/>".
bool Checker::StartTag(bool& empty, size_t& nameStart, size_t& nameLength) {
    if (!Name(nameStart, nameLength)) return false;
    std::vector<std::pair<size_t, size_t>> attrs;
    for (;;) {
        const size_t before = i;
        SkipSpace();
        if (AtEnd()) return Fail("a start tag is not closed");
        if (p[i] == '>') {
            Advance(1);
            empty = false;
            return true;
        }
        if (Starts("/>")) {
            Advance(2);
            empty = true;
            return true;
        }
        if (i == before) return Fail("attributes must be separated by white space");
        size_t as, al;
        if (!Name(as, al)) return false;
        for (const auto& [s, l] : attrs)
            if (l == al && std::memcmp(p + s, p + as, al) == 0) return Fail("an attribute is repeated");
        if (attrs.size() < 256) attrs.emplace_back(as, al);  // bounds the repeat check
        SkipSpace();
        if (AtEnd() || p[i] != '=') return Fail("an attribute has no value");
        Advance(1);
        SkipSpace();
        if (AtEnd() || (p[i] != '"' && p[i] != '\'')) return Fail("an attribute value is not quoted");
        const unsigned char quote = p[i];
        Advance(1);
        for (;;) {
            if (AtEnd()) return Fail("an attribute value is not closed");
            const unsigned char c = p[i];
            if (c == quote) {
                Advance(1);
                break;
            }
            if (c == '<') return Fail("an attribute value holds '<'");
            Advance(1);
            if (c == '&' && !Reference()) return false;
        }
    }
}

// After "</".
bool Checker::EndTag() {
    size_t s, l;
    if (!Name(s, l)) return false;
    SkipSpace();
    if (AtEnd() || p[i] != '>') return Fail("an end tag is not closed");
    Advance(1);
    if (open.empty()) return Fail("an end tag has no start tag");
    const auto [os, ol] = open.back();
    if (ol != l || std::memcmp(p + os, p + s, l) != 0) return Fail("an end tag does not match its start tag");
    open.pop_back();
    return true;
}

// Inside the root element, until it closes.
bool Checker::Content() {
    while (!open.empty()) {
        if (AtEnd()) return Fail("the text ends before its root element closes");
        const unsigned char c = p[i];
        if (c == '&') {
            Advance(1);
            if (!Reference()) return false;
        } else if (c != '<') {
            if (Starts("]]>")) return Fail("']]>' in text");
            Advance(1);
        } else if (Starts("<!--")) {
            Advance(4);
            if (!Comment()) return false;
        } else if (Starts("<![CDATA[")) {
            Advance(9);
            if (!Until("]]>", "a CDATA section is not closed")) return false;
        } else if (Starts("<?")) {
            Advance(2);
            if (!Instruction()) return false;
        } else if (Starts("</")) {
            Advance(2);
            if (!EndTag()) return false;
        } else {
            Advance(1);
            bool empty;
            size_t s, l;
            if (!StartTag(empty, s, l)) return false;
            if (!empty) {
                if (open.size() >= SXmlCheck::kMaxDepth) return Fail("elements nest too deep");
                open.emplace_back(s, l);
                deepest = std::max(deepest, open.size());
            }
        }
    }
    return true;
}

// White space, comments and processing instructions (and, before the root, one doctype).
bool Checker::Misc(bool allowDoctype) {
    for (;;) {
        SkipSpace();
        if (Starts("<!--")) {
            Advance(4);
            if (!Comment()) return false;
        } else if (Starts("<?")) {
            Advance(2);
            if (!Instruction()) return false;
        } else if (allowDoctype && Starts("<!DOCTYPE")) {
            Advance(9);
            if (!Doctype()) return false;
            allowDoctype = false;
        } else {
            return true;
        }
    }
}

SXmlCheck Checker::Run() {
    SXmlCheck out;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) i = 3;
    uint32_t badLine = 0;
    if (!CheckText(p + i, n - i, badLine)) {
        out.line = badLine;
        out.reason = "the text holds a zero byte";
        return out;
    }
    if (Misc(true)) {
        if (AtEnd() || p[i] != '<') {
            Fail("no root element");
        } else {
            Advance(1);
            bool empty;
            size_t s, l;
            if (StartTag(empty, s, l)) {
                out.rootName.assign(reinterpret_cast<const char*>(p + s), l);
                if (!empty) open.emplace_back(s, l);
                deepest = 1;
                if (Content() && Misc(false) && !AtEnd()) Fail("text follows the root element");
            }
        }
    }
    out.deepest = static_cast<uint32_t>(deepest);
    if (failed) {
        out.line = line;
        out.reason = reason;
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace

SXmlCheck CheckXmlWellFormed(const unsigned char* text, size_t length) {
    if (!text) length = 0;
    static const unsigned char kEmpty = 0;
    Checker checker(text ? text : &kEmpty, length);
    return checker.Run();
}

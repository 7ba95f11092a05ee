#include "Common/Stream/CXmlTagWriter.h"

#include <cstring>

#include "Common/Stream/CXmlRecordWriter.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UUtf8.h"

void CXmlTagWriter::OpenTag() {
    fSink.WriteChar('<');
    fBlankNeeded = false;
}

void CXmlTagWriter::OpenEndTag() {
    fSink.Write("</");
    fBlankNeeded = false;
}

void CXmlTagWriter::CloseTag() {
    fSink.WriteChar('>');
}

void CXmlTagWriter::CloseEmptyTag() {
    fSink.Write("/>");
}

void CXmlTagWriter::Name(const unsigned char* text) {
    if (fBlankNeeded) fSink.WriteChar(' ');
    uint32_t n = text ? static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(text))) : 0;
    while (n && text[n - 1] == ' ') --n;
    fSink.Write(text, n);
    fBlankNeeded = true;
}

void CXmlTagWriter::Name(const LString& text) {
    Name(text.Text());
}

void CXmlTagWriter::BeginValue() {
    fSink.Write("=\"");
    fBlankNeeded = false;
}

void CXmlTagWriter::EndValue() {
    fSink.WriteChar('"');
    fBlankNeeded = true;
}

namespace {

constexpr unsigned char kReplacement[] = {0xEF, 0xBF, 0xBD};  // U+FFFD

bool IsXmlWhite(unsigned char c) {
    return c == '\t' || c == '\n' || c == '\r';
}

// The character at text[i]: its length, and whether XML may carry it (not a control character
// other than tab, line feed and carriage return, not broken UTF-8, not U+FFFE or U+FFFF). A broken
// sequence is given up one byte at a time.
uint32_t XmlCharLength(const unsigned char* text, uint32_t n, uint32_t i, bool& allowed) {
    const unsigned char c = text[i];
    if (c < 0x80) {
        allowed = c >= 32 || IsXmlWhite(c);
        return 1;
    }
    uint32_t end = i;
    uint32_t cp = 0;
    if (!UUtf8::Decode(text, n, end, cp)) {
        allowed = false;
        return 1;
    }
    allowed = cp != 0xFFFE && cp != 0xFFFF;
    return end - i;
}

// The bytes that end a run written as it stands: kLookRaw in character data, kLookEscaped in
// attribute values (what is not printable ASCII, and the bytes that become references).
enum : uint8_t { kLookRaw = 1, kLookEscaped = 2 };
struct LookTable {
    uint8_t look[256] = {};
    constexpr LookTable() {
        for (int c = 0; c < 256; ++c)
            if (c < 0x20 || c >= 0x80) look[c] = kLookRaw | kLookEscaped;
        look[static_cast<unsigned char>('"')] = look[static_cast<unsigned char>('<')] =
            look[static_cast<unsigned char>('&')] = kLookEscaped;
    }
};
constexpr LookTable kLook;

}  // namespace

void CXmlTagWriter::Chars(const unsigned char* text, uint32_t n, bool escape) {
    const uint8_t mask = escape ? kLookEscaped : kLookRaw;
    uint32_t plain = 0;  // start of the run of bytes written as they are
    uint32_t i = 0;
    while (i < n) {
        while (i < n && !(kLook.look[text[i]] & mask)) ++i;  // printable ASCII needing no reference
        if (i == n) break;
        const unsigned char c = text[i];
        bool allowed = false;
        const uint32_t length = XmlCharLength(text, n, i, allowed);
        const char* entity = !escape    ? nullptr
                             : c == '"' ? "&quot;"
                             : c == '<' ? "&lt;"
                             : c == '&' ? "&amp;"
                                        : nullptr;
        if (allowed && !entity && !(escape && IsXmlWhite(c))) {
            i += length;
            continue;
        }
        fSink.Write(text + plain, i - plain);
        if (entity) {
            fSink.Write(entity);
        } else if (allowed) {
            CharRef(c);  // attribute values keep their blanks only as references
        } else {
            fSink.Write(kReplacement, sizeof kReplacement);
        }
        i += length;
        plain = i;
    }
    fSink.Write(text + plain, n - plain);
}

LString CXmlTagWriter::Writable(const LString& text) {
    const unsigned char* t = text.Text();
    const uint32_t n = text.Length();
    LVariStr<64> out;
    uint32_t plain = 0;
    bool replaced = false;
    for (uint32_t i = 0; i < n;) {
        if (t[i] >= 0x20 && t[i] < 0x80) {
            ++i;
            continue;
        }
        bool allowed = false;
        const uint32_t length = XmlCharLength(t, n, i, allowed);
        if (!allowed) {
            out.Append(t + plain, i - plain);
            out.Append(kReplacement, sizeof kReplacement);
            plain = i + length;
            replaced = true;
        }
        i += length;
    }
    if (!replaced) return text;
    out.Append(t + plain, n - plain);
    return LString(out.Text(), out.Length());
}

void CXmlTagWriter::Escaped(const unsigned char* text, uint32_t n) {
    Chars(text, n, true);
    fBlankNeeded = true;
}

void CXmlTagWriter::CharData(const unsigned char* text, uint32_t n) {
    Chars(text, n, false);
}

void CXmlTagWriter::Escaped(const LString& text) {
    Escaped(text.Text(), text.Length());
}

void CXmlTagWriter::Attribute(const LString& value) {
    BeginValue();
    Escaped(value);
    EndValue();
}

void CXmlTagWriter::Attribute(const char* value) {
    Attribute(LString(value));
}

void CXmlTagWriter::CharRef(uint32_t number) {
    char buf[16];
    int n = 0;
    char digits[10];
    do {
        digits[n++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number);
    int k = 0;
    buf[k++] = '&';
    buf[k++] = '#';
    while (n) buf[k++] = digits[--n];
    buf[k++] = ';';
    fSink.Write(reinterpret_cast<const unsigned char*>(buf), static_cast<uint32_t>(k));
}

void CXmlTagWriter::LineEnd() {
    fSink.NewLine();
    fBlankNeeded = false;
}

void CXmlTagWriter::Declaration() {
    OpenTag();
    Name("?xml");
    Name("version");
    Attribute("1.0");
    Name("encoding");
    Attribute("UTF-8");
    fSink.WriteChar('?');
    CloseTag();
    LineEnd();
}

#include "Common/Stream/CXmlTagWriter.h"

#include <cstring>

#include "Common/Stream/CXmlRecordWriter.h"
#include "Lib3/LSources/CoreString/LString.h"

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

void CXmlTagWriter::Escaped(const unsigned char* text, uint32_t n) {
    uint32_t plain = 0;  // start of the run of bytes written as they are
    for (uint32_t i = 0; i < n; ++i) {
        unsigned char c = text[i];
        const char* entity = c == '"' ? "&quot;" : c == '<' ? "&lt;" : c == '&' ? "&amp;" : nullptr;
        if (!entity && c >= 32) continue;
        fSink.Write(text + plain, i - plain);
        plain = i + 1;
        if (entity)
            fSink.Write(entity);
        else
            CharRef(c);
    }
    fSink.Write(text + plain, n - plain);
    fBlankNeeded = true;
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

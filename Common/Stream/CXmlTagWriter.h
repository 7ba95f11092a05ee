#pragma once

#include <cstdint>

class CXmlRecordWriter;
class LString;

// Writes tags, names and escaped attribute values to a sink. A blank goes before a name only when
// one is needed (after a name or a value).
class CXmlTagWriter {
public:
    explicit CXmlTagWriter(CXmlRecordWriter& sink) : fSink(sink) {}

    void OpenTag();        // "<"
    void OpenEndTag();     // "</"
    void CloseTag();       // ">"
    void CloseEmptyTag();  // "/>"
    // A name without its trailing blanks (codes like "i   " are padded names; readers pad them back).
    void Name(const unsigned char* text);
    void Name(const char* text) { Name(reinterpret_cast<const unsigned char*>(text)); }
    void Name(const LString& text);
    void BeginValue();  // ="
    void EndValue();    // "
    // Attribute-value escaping: '"' &quot;, '<' &lt;, '&' &amp;, tab, line feed and carriage
    // return as &#n;. What XML 1.0 cannot carry at all (other control characters, broken UTF-8,
    // U+FFFE, U+FFFF) is written as U+FFFD, so every XML reader accepts the file.
    void Escaped(const unsigned char* text, uint32_t n);
    void Escaped(const LString& text);
    // Text written as it is (CDATA content), with the same replacement as Escaped.
    void CharData(const unsigned char* text, uint32_t n);
    // The text with what XML cannot carry replaced as Escaped does (the same text when nothing is).
    static LString Writable(const LString& text);
    void Attribute(const LString& value);
    void Attribute(const char* value);
    void CharRef(uint32_t number);  // &#number;
    void LineEnd();
    // <?xml version="1.0" encoding="UTF-8"?> and a line feed.
    void Declaration();

    CXmlRecordWriter& Sink() { return fSink; }

private:
    void Chars(const unsigned char* text, uint32_t n, bool escape);

    CXmlRecordWriter& fSink;
    bool fBlankNeeded = false;
};

#include <gtest/gtest.h>

#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlElementScope.h"
#include "Common/Stream/CXmlRecordWriter.h"
#include "Common/Stream/CXmlTagWriter.h"
#include "tests/Common/Stream/XmlTestUtil.h"

namespace {

// Runs a writing function over a memory stream and returns the bytes.
template <class F>
std::string Written(F write) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        CXmlRecordWriter sink(stream);
        CXmlTagWriter w(sink);
        write(w);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

TEST(CXmlTagWriter, EscapesAttributeValues) {
    std::string all;
    for (int c = 1; c < 128; ++c) all += static_cast<char>(c);
    std::string written = Written([&](CXmlTagWriter& w) { w.Escaped(LString(all.c_str())); });
    EXPECT_NE(written.find("&#9;&#10;"), std::string::npos);
    EXPECT_NE(written.find("&#13;"), std::string::npos);
    EXPECT_NE(written.find(" !&quot;#$%&amp;'"), std::string::npos);
    EXPECT_NE(written.find("&lt;=>?"), std::string::npos);
    EXPECT_EQ(written.find("&#1;"), std::string::npos);
    EXPECT_NE(written.find("~\x7F"), std::string::npos);
}

// XML 1.0 has no form at all for most control characters, nor for broken UTF-8: they become
// U+FFFD, in attribute values and in CDATA text alike, so that every reader takes the file.
TEST(CXmlTagWriter, ReplacesWhatXmlCannotCarry) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string in, attribute, cdata;
    } cases[] = {
        {"a\x01"
         "b",
         "a" + r + "b", "a" + r + "b"},
        {"\x08\x0B\x0C\x1F", r + r + r + r, r + r + r + r},
        {"t\tl\nc\r", "t&#9;l&#10;c&#13;", "t\tl\nc\r"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
        {"x\xFFy", "x" + r + "y", "x" + r + "y"},    // a stray byte
        {"\xC3", r, r},                              // cut short at the end
        {"\xE2\x82z", r + r + "z", r + r + "z"},     // cut short before another character
        {"\xC0\x80", r + r, r + r},                  // overlong NUL
        {"\xED\xA0\x80", r + r + r, r + r + r},      // surrogate
        {"\xEF\xBF\xBE\xEF\xBF\xBF", r + r, r + r},  // U+FFFE, U+FFFF
        {"\xEF\xBF\xBD", r, r},                      // U+FFFD itself stays
        {"<&\"\x7F", "&lt;&amp;&quot;\x7F", "<&\"\x7F"},
    };
    for (const Case& c : cases) {
        LString text(c.in.data(), static_cast<uint32_t>(c.in.size()));
        EXPECT_EQ(Written([&](CXmlTagWriter& w) { w.Escaped(text); }), c.attribute) << c.in;
        EXPECT_EQ(Written([&](CXmlTagWriter& w) { w.CharData(text.Text(), text.Length()); }), c.cdata)
            << c.in;
    }
}

TEST(CXmlTagWriter, NamesDropTrailingBlanks) {
    std::string written = Written([](CXmlTagWriter& w) {
        w.OpenTag();
        w.Name("YUND_PRAM");
        w.Name("i   ");
        w.Attribute("key");
        w.Name("v   ");
        w.Attribute("value");
        w.CloseEmptyTag();
        w.LineEnd();
    });
    EXPECT_EQ(written, "<YUND_PRAM i=\"key\" v=\"value\"/>\n");
    EXPECT_EQ(xmltest::Transcript(written + "<next/>"), "<YUND_PRAM i=key v=value>[\n]<next>");
}

TEST(CXmlTagWriter, Declaration) {
    EXPECT_EQ(Written([](CXmlTagWriter& w) { w.Declaration(); }),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

TEST(CXmlElementScope, WritesOnlyWhatStarted) {
    std::string written = Written([](CXmlTagWriter& w) {
        CXmlElementScope outer(w);
        CXmlElementScope a(outer, LString("a"));
        a.Start();
        w.Name("x");
        w.Attribute("1");
        {
            CXmlElementScope silent(a, LString("never"));
            silent.End();
        }
        CXmlElementScope b(a, LString("b"));
        CXmlElementScope c(b, LString("c"));
        c.Start();
        c.End();
        b.End();
        CXmlElementScope t(a, LString("t"));
        t.BeginInlineContent();
        w.Sink().Write("text");
        t.End();
        a.End();
        outer.End();
    });
    EXPECT_EQ(written, "<a x=\"1\">\n<b>\n<c/>\n</b>\n<t>text</t>\n</a>\n");
}

}  // namespace

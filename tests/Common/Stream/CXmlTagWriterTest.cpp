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
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    std::string written = Written([&](CXmlTagWriter& w) {
        w.OpenTag();
        w.Name("a");
        w.Name("v");
        w.Attribute(LString(all.c_str()));
        w.CloseEmptyTag();
    });
    EXPECT_NE(written.find("&#1;&#2;"), std::string::npos);
    EXPECT_NE(written.find("&#9;&#10;"), std::string::npos);
    EXPECT_NE(written.find(" !&quot;#$%&amp;'"), std::string::npos);
    EXPECT_NE(written.find("&lt;=>?"), std::string::npos);
    EXPECT_NE(written.find("\x7F\x80"), std::string::npos);  // high bytes pass unchanged
    // And the tokenizer gives every byte back.
    EXPECT_EQ(xmltest::Transcript(written), "<a v=" + all + ">");
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

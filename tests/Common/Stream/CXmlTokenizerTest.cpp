#include <gtest/gtest.h>

#include <string>

#include "Common/Stream/CXmlTokenizer.h"
#include "tests/Common/Stream/XmlTestUtil.h"

namespace {

using xmltest::Transcript;

struct Case {
    const char* name;
    std::string xml;
    const char* events;
};

const Case kCases[] = {
    {"empty element with apostrophe value", "<a b='x\"y'/>", "<a b=x\"y>"},
    {"nested with text", "<a>1<b>2</b>3</a>", "<a[1]<b[2]>[3]>"},
    {"references", "<a>1 &lt; 2&#x41;&#66;&nbsp;</a>", "<a[1 < 2AB ]>"},
    {"predefined entities", "<a t=\"&quot;&apos;&amp;&gt;\"/>", "<a t=\"'&>>"},
    {"predefined then numeric references", "<a v=\"x&amp;y&lt;&#65;z\" w='&lt;&gt;'/>", "<a v=x&y<Az w=<>>"},
    {"NUL reference is a blank", "<a v=\"x&#0;y\">&#0;</a>", "<a v=x y[ ]>"},
    {"invalid code points are blanks", "<a>&#xD800;&#1114112;&#x110000;&#;&#x;&#X41;</a>", "<a[      ]>"},
    {"largest code point", "<a>&#x10FFFF;</a>", "<a[\xF4\x8F\xBF\xBF]>"},
    {"control character references", "<a v=\"&#9;&#10;&#13;&#1;\"/>", "<a v=\t\n\r\x01>"},
    {"bare ampersand stays text", "<a>fish & chips &amp x</a>", "<a[fish & chips &amp x]>"},
    {"comment and PI give nothing", "<a><!-- <b/> --><?pi <c/> ?></a>", "<a>"},
    {"CDATA is raw text", "<a><![CDATA[<b>&amp;]]></a>", "<a[<b>&amp;]>"},
    {"CDATA end found after extra brackets", "<a><![CDATA[x]]]]></a>", "<a[x]]]>"},
    {"CDATA next to text", "<a>p<![CDATA[q]]>r</a>", "<a[pqr]>"},
    {"start tag endings", "<a ><b\t><c>", "<a<b<c"},
    {"less-than and blank is text", "<a>x < y</a>", "<a[x < y]>"},
    {"empty angle brackets are text", "<a><></a>", "<a[<>]>"},
    {"carriage return in a tag is a blank", "<a\r\nb=\"1\"\r\n/>", "<a b=1>"},
    {"zero byte ends the input", std::string("<a>x\0<b/></a>", 13), "<a[x]"},
    {"greater-than and other quote in value", "<a b=\"1>2'3\"/>", "<a b=1>2'3>"},
    {"raw line feed in value", "<a b=\"x\ny\"/>", "<a b=x\ny>"},
    {"end tag with blank", "<a></a >", "<a>"},
    {"declaration skipped", "<?xml version=\"1.0\"?>\n<a/>", "[\n]<a>"},
    {"doctype skipped", "<!DOCTYPE a PUBLIC \"-//x>y//\" \"z\" [<!ENTITY e \"v\">]>\n<a/>", "[\n]<a>"},
    {"unterminated tag ends quietly", "<a b=\"x", "<a b=x"},
    // Attribute forms that other readers accept.
    {"blanks around equals", "<a b =\"x\" c= 'y' d = \"z\">t</a>", "<a b=x c=y d=z[t]>"},
    {"attribute without value is dropped", "<a b c=\"x\">t</a>", "<a c=x[t]>"},
    {"unquoted value ends at blank", "<a b=x c=\"y\">t</a>", "<a b=x c=y[t]>"},
    {"unquoted value ends at greater-than", "<a b=x>t</a>", "<a b=x[t]>"},
    {"unquoted value ends at slash", "<a b=x/>t", "<a b=x>[t]"},
    {"equals with no value", "<a b=>t</a><c d=/>", "<a[t]><c>"},
    {"trailing valueless attribute", "<a b/><c d >", "<a><c"},
};

TEST(CXmlTokenizer, EventStreams) {
    for (const Case& c : kCases) EXPECT_EQ(Transcript(c.xml), c.events) << c.name;
}

TEST(CXmlTokenizer, BlockBoundariesChangeNothing) {
    for (const Case& c : kCases)
        for (uint32_t chunk : {1u, 2u, 3u, 7u}) EXPECT_EQ(Transcript(c.xml, true, chunk), c.events) << c.name;
}

TEST(CXmlTokenizer, ValuesReadInPlaceAreTheValues) {
    for (const Case& c : kCases)
        for (uint32_t chunk : {1u, 3u, 1024u})
            EXPECT_EQ(Transcript(c.xml, true, chunk, true), c.events) << c.name;
    // Stop bytes at every place of the bulk scan, and values that reach past a block.
    for (size_t at = 0; at < 40; ++at) {
        for (const char* stop : {"&amp;", "<", "'"}) {
            std::string value(40, 'v');
            value.insert(at, stop);
            const std::string decoded =
                stop[0] == '&' ? value.substr(0, at) + "&" + value.substr(at + 5) : value;
            const std::string xml = "<a x=\"" + value + "\" y='" + std::string(at, 'w') + "'/>";
            const std::string events = "<a x=" + decoded + " y=" + std::string(at, 'w') + ">";
            for (uint32_t chunk : {16u, 29u, 1024u})
                EXPECT_EQ(Transcript(xml, true, chunk, true), events) << at << stop << chunk;
        }
    }
}

TEST(CXmlTokenizer, UnreadValuesBecomeText) {
    EXPECT_EQ(Transcript("<a b=\"x&amp;y\" c=z>t</a>", false), "<a b=[x&y] c=[zt]>");
}

TEST(CXmlTokenizer, ReadValueOutsideAValueIsEmpty) {
    xmltest::ChunkedIn in("<a>text</a>", 1024);
    CXmlTokenizer t(in);
    ASSERT_EQ(t.Next(), CXmlTokenizer::kStartTag);
    EXPECT_TRUE(t.ReadValue().IsEmpty());
    EXPECT_EQ(t.Next(), CXmlTokenizer::kText);
}

TEST(CXmlTokenizer, LongTextComesInBoundedPiecesAndLongNamesAreCut) {
    std::string body(3 * CXmlTokenizer::kMaxPiece + 5, 'x');
    std::string longName(5000, 'n');
    std::string xml = "<" + longName + ">" + body + "</" + longName + ">";
    xmltest::ChunkedIn in(xml, 1024);
    CXmlTokenizer t(in);
    ASSERT_EQ(t.Next(), CXmlTokenizer::kStartTag);
    EXPECT_EQ(t.TagName().Length(), CXmlTokenizer::kMaxName);
    std::string text;
    int pieces = 0;
    int e;
    while ((e = t.Next()) == CXmlTokenizer::kText) {
        EXPECT_LE(t.PieceLength(), CXmlTokenizer::kMaxPiece);
        text.append(reinterpret_cast<const char*>(t.PieceText()), t.PieceLength());
        ++pieces;
    }
    EXPECT_EQ(e, CXmlTokenizer::kEndTag);
    EXPECT_EQ(text, body);
    EXPECT_GE(pieces, 4);
    EXPECT_EQ(t.Next(), CXmlTokenizer::kEnd);
    EXPECT_EQ(t.Next(), CXmlTokenizer::kEnd);  // stays at the end
}

TEST(CXmlTokenizer, UnterminatedReferenceDoesNotSwallowTheDocument) {
    EXPECT_EQ(Transcript("<a>x &amp y</a><b/>"), "<a[x &amp y]><b>");
    EXPECT_EQ(Transcript("<a>&" + std::string(100, 'z') + ";</a>"), "<a[&" + std::string(100, 'z') + ";]>");
}

}  // namespace

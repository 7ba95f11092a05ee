#include <gtest/gtest.h>

#include <string>

#include "Common/Stream/CBomTextStream.h"
#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "tests/Common/Stream/XmlTestUtil.h"

namespace {

std::string ReadAll(LCharIn& in) {
    std::string s;
    unsigned char c;
    while (in.Get(c)) s += static_cast<char>(c);
    return s;
}

TEST(CXmlReader, ReadsElementTextSkippingNestedElements) {
    xmltest::ChunkedIn in("<a x=\"1\">one <b y=\"2\">skip<c/>me</b>two&amp;<d/>three</a><e>after</e>", 5);
    CXmlTokenizer t(in);
    ASSERT_EQ(t.Next(), CXmlTokenizer::kStartTag);
    CXmlReader r(t);
    EXPECT_EQ(ReadAll(r), "one two&three");
    unsigned char c;
    EXPECT_FALSE(r.Get(c));  // stays ended; does not run into the next element
    EXPECT_EQ(CXmlReader::NextStartTag(t), LString("e"));
    EXPECT_EQ(CXmlReader::NextStartTag(t), LString());
}

TEST(CXmlReader, ScannersWorkOverIt) {
    xmltest::ChunkedIn in("<v>12 -7\n 40</v>", 1024);
    CXmlTokenizer t(in);
    ASSERT_EQ(t.Next(), CXmlTokenizer::kStartTag);
    CXmlReader r(t);
    int32_t a = 0, b = 0, d = 0;
    EXPECT_TRUE(UCharIn::Read(r, a));
    EXPECT_TRUE(UCharIn::Read(r, b));
    EXPECT_TRUE(UCharIn::Read(r, d));
    int32_t none = 0;
    EXPECT_FALSE(UCharIn::Read(r, none));
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -7);
    EXPECT_EQ(d, 40);
}

TEST(CXmlReader, SkipElementStopsAtTheEndOfInput) {
    xmltest::ChunkedIn in("<a><b><c>", 1024);
    CXmlTokenizer t(in);
    ASSERT_EQ(t.Next(), CXmlTokenizer::kStartTag);
    CXmlReader::SkipElement(t);
    EXPECT_EQ(t.Next(), CXmlTokenizer::kEnd);
}

TEST(CBomTextStream, SkipsOnlyACompleteByteOrderMark) {
    struct Case {
        std::string bytes;
        std::string read;
    } cases[] = {
        {"\xEF\xBB\xBF<a/>", "<a/>"},
        {"\xEF\xBB\x41<a/>", "\xEF\xBB\x41<a/>"},
        {"\xEF\xBB", "\xEF\xBB"},
        {"", ""},
    };
    for (Case& c : cases) {
        CMemStream stream(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
        CBomTextStream in(stream);
        EXPECT_EQ(ReadAll(in), c.read);
    }
    std::string doc = "\xEF\xBB\xBF<a/>";
    CMemStream stream(doc.data(), static_cast<uint32_t>(doc.size()));
    CBomTextStream in(stream);
    CXmlTokenizer t(in);
    EXPECT_EQ(t.Next(), CXmlTokenizer::kStartTag);
    EXPECT_EQ(t.TagName(), LString("a"));
}

}  // namespace

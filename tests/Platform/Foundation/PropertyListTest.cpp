#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Platform/Composer/Image.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/support/TempDir.h"

namespace {

using plat::ByteArray;
using plat::Dictionary;
using plat::PropertyListFormat;
using plat::Value;
using plat::ValueArray;

Value SampleTree() {
    Dictionary inner;
    inner.Set("zeta", Value(1));
    inner.Set("alpha", Value(-2));  // order is kept, not sorted
    inner.Set("empty array", Value(ValueArray{}));
    inner.Set("empty dict", Value(Dictionary{}));
    Dictionary root;
    root.Set("bool", Value(true));
    root.Set("negative", Value(int64_t{-1234567890123}));
    root.Set("real", Value(0.1));
    root.Set("tiny", Value(1e-300));
    root.Set("text", Value("Grüße, <&> \"quoted\""));
    root.Set("data", Value(ByteArray{0, 1, 2, 0xFF}));
    root.Set("list", Value(ValueArray{Value("a"), Value(2.5), Value(false), Value(inner)}));
    root.Set("inner", Value(inner));
    return Value(root);
}

ByteArray Bytes(const std::string& s) {
    return ByteArray(s.begin(), s.end());
}

bool Read(const ByteArray& bytes, Value& out, const plat::PropertyListLimits& limits = {}) {
    return plat::ReadPropertyList(bytes.data(), bytes.size(), out, nullptr, limits);
}

// A binary list from raw objects (one-byte references and offsets need fewer than 256 bytes).
ByteArray BinaryList(const std::vector<ByteArray>& objects, uint8_t top = 0) {
    ByteArray out = Bytes("bplist00");
    std::vector<uint16_t> offsets;
    for (const ByteArray& o : objects) {
        offsets.push_back(static_cast<uint16_t>(out.size()));
        out.insert(out.end(), o.begin(), o.end());
    }
    size_t table = out.size();
    for (uint16_t o : offsets) {
        out.push_back(static_cast<uint8_t>(o >> 8));
        out.push_back(static_cast<uint8_t>(o));
    }
    ByteArray trailer(32, 0);
    trailer[6] = 2;  // offset size
    trailer[7] = 1;  // reference size
    trailer[15] = static_cast<uint8_t>(objects.size());
    trailer[23] = top;
    trailer[30] = static_cast<uint8_t>(table >> 8);
    trailer[31] = static_cast<uint8_t>(table);
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

TEST(PropertyListTest, RoundTripsInBothFormats) {
    const Value tree = SampleTree();
    for (PropertyListFormat format : {PropertyListFormat::Xml, PropertyListFormat::Binary}) {
        SCOPED_TRACE(format == PropertyListFormat::Xml ? "xml" : "binary");
        ByteArray bytes;
        ASSERT_TRUE(plat::WritePropertyList(tree, format, bytes));
        Value back;
        PropertyListFormat seen{};
        ASSERT_TRUE(plat::ReadPropertyList(bytes.data(), bytes.size(), back, &seen));
        EXPECT_EQ(seen, format);
        EXPECT_EQ(back, tree);
        EXPECT_TRUE(back["negative"].IsInteger());
        EXPECT_EQ(back["inner"].DictionaryValue().KeyAt(0), "zeta");
    }
}

TEST(PropertyListTest, ColoursAreWrittenAsDictionaries) {
    ByteArray bytes;
    ASSERT_TRUE(plat::WritePropertyList(Value(plat::Color{1, 0.5f, 0, 1}), PropertyListFormat::Xml, bytes));
    Value back;
    ASSERT_TRUE(Read(bytes, back));
    plat::Color c;
    ASSERT_TRUE(back.ToColor(c));
    EXPECT_EQ(c, (plat::Color{1, 0.5f, 0, 1}));
}

TEST(PropertyListTest, UnwritableValuesFailAndKeepThePreviousFile) {
    testsupport::TempDir dir;
    const std::string path = dir.File("list.plist");
    ASSERT_TRUE(plat::WritePropertyListFile(path, Value(ValueArray{Value(1)}), PropertyListFormat::Xml));
    const std::string before = dir.Read("list.plist");

    int anything = 0;
    const Value unwritable[] = {
        Value(),
        Value(ValueArray{Value(1), Value()}),
        Value(ValueArray{Value::FromPointer(&anything)}),
        Value(std::string("cut\0here", 8)),  // libplist would silently drop the tail
        Value("caf\xE9"),                    // not UTF-8: libplist would cut it in a binary list
    };
    for (const Value& v : unwritable) {
        ByteArray bytes;
        EXPECT_FALSE(plat::WritePropertyList(v, PropertyListFormat::Binary, bytes));
        EXPECT_FALSE(plat::WritePropertyListFile(path, v, PropertyListFormat::Xml));
    }
    EXPECT_EQ(dir.Read("list.plist"), before);
    EXPECT_FALSE(
        plat::WritePropertyListFile(dir.File("no/such/folder/x.plist"), Value(1), PropertyListFormat::Xml));
}

TEST(PropertyListTest, MalformedInputGivesNothing) {
    const std::string cases[] = {
        "",
        "not a list",
        "<?xml version=\"1.0\"?><plist><dict><key>a</key>",
        "<plist><array></dict></plist>",
        "bplist00",
        "bplist00\x01\x02\x03",
    };
    for (const std::string& c : cases) {
        Value out(1);
        EXPECT_FALSE(Read(Bytes(c), out)) << c;
        EXPECT_TRUE(out.IsNull());
    }
    Value out;
    EXPECT_FALSE(plat::ReadPropertyListFile("/nonexistent/file.plist", out));
}

TEST(PropertyListTest, TextIsReadAsValidUtf8) {
    const std::string replaced = "caf\xEF\xBF\xBD!";
    struct Case {
        const char* name;
        ByteArray list;
    };
    const Case cases[] = {
        {"binary", BinaryList({{0x55, 'c', 'a', 'f', 0xE9, '!'}})},
        {"xml", Bytes("<plist version=\"1.0\"><string>caf\xE9!</string></plist>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Value out;
        ASSERT_TRUE(Read(c.list, out));
        EXPECT_EQ(out, Value(replaced));
        ByteArray bytes;
        EXPECT_TRUE(plat::WritePropertyList(out, PropertyListFormat::Binary, bytes));
    }
}

TEST(PropertyListTest, XmlNestingIsBounded) {
    auto nested = [](int depth, const std::string& filler) {
        std::string s = "<plist version=\"1.0\">";
        for (int i = 0; i < depth; ++i) s += "<array>" + filler;
        for (int i = 0; i < depth; ++i) s += "</array>";
        return Bytes(s + "</plist>");
    };
    Value out;
    EXPECT_TRUE(Read(nested(60, ""), out));
    EXPECT_FALSE(Read(nested(65, ""), out));
    EXPECT_FALSE(Read(nested(300000, ""), out));  // deep enough to overflow libplist's stack
    // Closing tags inside comments must not hide the real depth.
    EXPECT_FALSE(Read(nested(100, "<!-- </array></array> -->"), out));
}

TEST(PropertyListTest, BinaryStructureIsCheckedBeforeParsing) {
    const ByteArray leaf = {0x51, 'x'};  // one-character string
    struct Case {
        const char* name;
        ByteArray list;
        bool ok;
    };
    std::vector<Case> cases;
    cases.push_back({"single string", BinaryList({leaf}), true});
    // Depth: object i is an array holding object i + 1.
    auto chain = [&](int depth) {
        std::vector<ByteArray> objs;
        for (int i = 0; i < depth - 1; ++i) objs.push_back({0xA1, static_cast<uint8_t>(i + 1)});
        objs.push_back(leaf);
        return BinaryList(objs);
    };
    cases.push_back({"depth 60", chain(60), true});
    cases.push_back({"depth 70", chain(70), false});
    // Every array holds the next one twice: 2^n leaves after expansion.
    auto doubling = [&](int levels) {
        std::vector<ByteArray> objs;
        for (int i = 0; i < levels; ++i)
            objs.push_back({0xA2, static_cast<uint8_t>(i + 1), static_cast<uint8_t>(i + 1)});
        objs.push_back(leaf);
        return BinaryList(objs);
    };
    cases.push_back({"shared 2^8", doubling(8), true});
    cases.push_back({"shared 2^40", doubling(40), false});
    cases.push_back({"cycle", BinaryList({{0xA1, 0x00}}), false});
    cases.push_back({"reference out of range", BinaryList({{0xA1, 0x05}, leaf}), false});
    cases.push_back({"top out of range", BinaryList({leaf}, 3), false});
    cases.push_back({"string past the objects", BinaryList({{0x5F, 0x10, 0x7F, 'x'}}), false});
    // libplist aborts on a dictionary key holding a NUL.
    cases.push_back({"key with a NUL", BinaryList({{0xD1, 1, 2}, {0x53, 'a', 0, 'b'}, leaf}), false});
    cases.push_back({"UTF-16 key with a NUL", BinaryList({{0xD1, 1, 2}, {0x62, 0, 'a', 0, 0}, leaf}), false});
    cases.push_back({"dictionary", BinaryList({{0xD1, 1, 2}, {0x52, 'a', 'b'}, leaf}), true});
    ByteArray badTrailer = BinaryList({leaf});
    badTrailer[badTrailer.size() - 32 + 15] = 0xFF;  // more objects than the table holds
    cases.push_back({"object count past the table", badTrailer, false});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Value out;
        EXPECT_EQ(Read(c.list, out), c.ok);
    }
    Value expanded;
    ASSERT_TRUE(Read(doubling(8), expanded));
    const Value* v = &expanded;
    for (int i = 0; i < 7; ++i) v = &v->At(1);
    EXPECT_EQ(v->At(0), Value("x"));
}

TEST(PropertyListTest, LimitsApplyToSizeAndNodes) {
    ByteArray bytes;
    ValueArray many(100, Value("abc"));
    ASSERT_TRUE(plat::WritePropertyList(Value(many), PropertyListFormat::Binary, bytes));
    plat::PropertyListLimits limits;
    Value out;
    EXPECT_TRUE(Read(bytes, out, limits));
    limits.maxNodes = 50;
    EXPECT_FALSE(Read(bytes, out, limits));
    limits = {};
    limits.maxInputBytes = bytes.size() - 1;
    EXPECT_FALSE(Read(bytes, out, limits));
}

// Documents libplist reads, with what it reads from them.
struct XmlCase {
    const char* name;
    std::string xml;
    Value value;
};

std::vector<XmlCase> XmlCases() {
    const std::string prolog =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";
    auto in = [](const std::string& body) { return "<plist version=\"1.0\">" + body + "</plist>"; };
    Dictionary uid;
    uid.Set("CF$UID", Value(7));
    Dictionary uidParent;
    uidParent.Set("u", Value(uid));
    Dictionary keys;
    keys.Set("a&b", Value(1));
    keys.Set("c", Value(3));  // a repeated key keeps its first place
    keys.Set("d", Value(""));
    return {
        {"declarations and comments",
         prolog + "<!-- c --><plist version=\"1.0\"><!-- c --><true/></plist>\n<!-- c -->", Value(true)},
        {"no plist element", "<string>x</string>", Value("x")},
        {"DOCTYPE with an internal subset", "<!DOCTYPE plist [<!ENTITY x \"]\">]>" + in("<false/>"),
         Value(false)},
        {"attributes with quoted '>'",
         "<plist version=\"1>0\"><array a=\"<>\"><integer>1</integer></array ></plist>",
         Value(ValueArray{Value(1)})},
        {"integers",
         in("<array><integer> 42 </integer><integer>-0x10</integer><integer>010</integer>"
            "<integer>+7</integer><integer></integer><integer/>"
            "<integer>99999999999999999999</integer><integer>-9223372036854775809</integer>"
            "<integer>18446744073709551615</integer></array>"),
         Value(ValueArray{Value(42), Value(-16), Value(8), Value(7), Value(0), Value(0), Value(int64_t{-1}),
                          Value(INT64_MAX), Value(int64_t{-1})})},
        {"reals",
         in("<array><real> 1.5e3 </real><real>0x1p3</real><real>+2</real><real/><real>-0</real></array>"),
         Value(ValueArray{Value(1500.0), Value(8.0), Value(2.0), Value(0.0), Value(-0.0)})},
        {"dates",
         in("<array><date>2001-01-02T00:00:00Z</date><date>1970-01-01T00:00:01Z </date>"
            "<date/><date> </date><date>2001-02-30T00:00:00Z</date></array>"),
         Value(ValueArray{Value(86400.0), Value(-978307199.0), Value(0.0), Value(-978307200.0),
                          Value(86400.0 * 60)})},
        {"data", in("<data>\n\tQUJD\n\tRA==\n</data>"), Value(ByteArray{'A', 'B', 'C', 'D'})},
        {"empty data", in("<data>  </data>"), Value(ByteArray{})},
        {"text",
         in("<string>&lt;&gt;&quot;&apos;&amp;&#65;&#x20AC;&#X1F600;<![CDATA[<&>]]><!-- x -->! &</string>"),
         Value("<>\"'&A\xE2\x82\xAC\xF0\x9F\x98\x80<&>! &")},
        {"space is kept in text", in("<string>\r\n a \t</string>"), Value("\r\n a \t")},
        {"surrogate reference", in("<string>&#xD800;x</string>"),
         Value("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx")},
        {"keys",
         in("<dict><key>a&amp;b</key><integer>1</integer><key>c</key><integer>2</integer>"
            "<key>d</key><string/><key>c</key><integer>3</integer></dict>"),
         Value(keys)},
        {"booleans with content", in("<array><true> </true><false><!-- x --></false></array>"),
         Value(ValueArray{Value(true), Value(false)})},
        {"UID dictionaries stay dictionaries",
         in("<dict><key>u</key><dict><key>CF$UID</key><integer>7</integer></dict></dict>"), Value(uidParent)},
        {"empty containers", in("<array><array/><dict/><array></array><dict></dict></array>"),
         Value(
             ValueArray{Value(ValueArray{}), Value(Dictionary{}), Value(ValueArray{}), Value(Dictionary{})})},
    };
}

TEST(PropertyListTest, XmlReadsWhatLibplistReads) {
    for (const XmlCase& c : XmlCases()) {
        SCOPED_TRACE(c.name);
        Value out;
        ASSERT_TRUE(Read(Bytes(c.xml), out));
        EXPECT_EQ(out, c.value);
    }
}

// libplist reads these too, in odd ways: see fuzz/PropertyListFuzz.cpp.
TEST(PropertyListTest, XmlRefusesWhatLibplistReadsOddly) {
    const std::string cases[] = {
        std::string("<plist><string>a\0b</string></plist>", 36),
        "<plist><array/></plist><string>x</string>",  // libplist appends it to the array
        "<plist><true/></plist>junk",
        "<plist><array><key>k</key></array></plist>",  // a string to libplist
        "<plist><dict><key>a</key><key>b</key></dict></plist>",
        "<plist><plist><true/></plist></plist>",
        "<plist><string>&ltx;</string></plist>",  // '<' to libplist
        "<plist><string>a&b c</string></plist>",
        "<plist><integer>12abc</integer></plist>",  // 12 to libplist
        "<plist><true>yes</true></plist>",
        "<plist><date>2020-1-02T03:04:05Z</date></plist>",
        "<plist><data>QUJ</data></plist>",  // nothing to libplist
        "<plist><data>QQ==QUJD</data></plist>",
        "<plist><data>QU\xC3\xA9JD</data></plist>",  // libplist reads before its table
        "<plist><data><!--x-->QUJD</data></plist>",  // empty to libplist
        "<plist><true/><!-- unterminated",
    };
    for (const std::string& c : cases) {
        Value out(1);
        EXPECT_FALSE(Read(Bytes(c), out)) << c;
        EXPECT_TRUE(out.IsNull());
    }
}

TEST(PropertyListTest, XmlLimitsCountValuesAndBytes) {
    std::string xml = "<plist><array>";
    for (int i = 0; i < 100; ++i) xml += "<string>abcdefgh</string>";
    xml += "</array></plist>";
    plat::PropertyListLimits limits;
    Value out;
    EXPECT_TRUE(Read(Bytes(xml), out, limits));
    limits.maxNodes = 100;
    EXPECT_FALSE(Read(Bytes(xml), out, limits));
    limits = {};
    limits.maxExpandedBytes = 800;
    EXPECT_FALSE(Read(Bytes(xml), out, limits));
}

// plistutil reads what we write and we read what it writes.
TEST(PropertyListTest, PeerPlistutilAgrees) {
    testsupport::TempDir dir;
    const Value tree = SampleTree();
    struct Case {
        PropertyListFormat ours;
        const char* theirs;
    };
    const Case cases[] = {{PropertyListFormat::Xml, "bin"}, {PropertyListFormat::Binary, "xml"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.theirs);
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("ours"), tree, c.ours));
        std::string cmd =
            "plistutil -i " + dir.File("ours") + " -o " + dir.File("theirs") + " -f " + c.theirs;
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Value back;
        PropertyListFormat seen{};
        ASSERT_TRUE(plat::ReadPropertyListFile(dir.File("theirs"), back, &seen));
        EXPECT_NE(seen, c.ours);
        EXPECT_EQ(back, tree);
    }
}

}  // namespace

namespace {

// plistutil's reading of each document (through its binary form) is ours.
TEST(PropertyListTest, PeerPlistutilReadsXmlAsWeDo) {
    testsupport::TempDir dir;
    for (const XmlCase& c : XmlCases()) {
        SCOPED_TRACE(c.name);
        // libplist's binary writer changes invalid UTF-8.
        if (std::string(c.name) == "surrogate reference") continue;
        dir.Write("in.plist", c.xml);
        std::string cmd = "plistutil -i " + dir.File("in.plist") + " -o " + dir.File("out.plist") + " -f bin";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Value theirs, ours;
        ASSERT_TRUE(plat::ReadPropertyListFile(dir.File("out.plist"), theirs));
        ASSERT_TRUE(Read(Bytes(c.xml), ours));
        EXPECT_EQ(ours, theirs);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscParser.h"
#include "Orbilume/CSources/Osc/OscWriter.h"
#include "tests/Orbilume/CSources/Osc/OscBytes.h"

namespace {

using osctest::B;

// The parser's events over a whole packet, as text: "5" bundle, "2:/a,if" message start,
// "i=1" "f=2.5" "s=x" "b5" arguments, "4" message end, "1" dropped.
std::string Events(const std::string& packet, size_t chunk = 0) {
    OscParser p;
    p.Reset();
    std::string out;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(packet.data());
    size_t fed = chunk ? 0 : packet.size();
    const uint8_t* cur = data;
    for (int guard = 0; guard < 10000; ++guard) {
        const uint8_t* end = data + fed;
        int r = p.Feed(cur, end);
        std::string e;
        switch (r) {
            case 0:
                if (fed >= packet.size()) return out;
                fed = std::min(packet.size(), fed + chunk);
                continue;
            case 1:
                e = "1";
                break;
            case 2:
                e = "2:" + p.Address() + "," + p.TypeTags();
                break;
            case 3:
                switch (p.CurrentTag()) {
                    case 'i':
                        e = "i=" + std::to_string(p.Int());
                        break;
                    case 'f':
                        e = "f=" + OscArg::Float(p.Float()).AsText(1);
                        break;
                    case 's':
                        e = "s=" + std::string(reinterpret_cast<const char*>(cur));
                        break;
                    case 'b':
                        e = "b" + std::to_string(p.BlobLength());
                        break;
                    case 't':
                        e = "t=" + std::to_string(p.TimeTag());
                        break;
                    default:
                        e = std::string(1, p.CurrentTag());
                }
                break;
            case 4:
                e = "4";
                break;
            case 5:
                e = "5";
                break;
        }
        out += out.empty() ? e : " " + e;
    }
    return out + " (runaway)";
}

std::string Message(const char* address, const std::vector<OscArg>& args) {
    LVariBuffer<uint8_t> buffer;
    CMemStream s(buffer);
    OscWriter w;
    w.WriteMessage(s, address, args.data(), uint32_t(args.size()));
    return std::string(reinterpret_cast<const char*>(s.Data()), s.End());
}

TEST(OscParser, EventsOfPackets) {
    const std::string ai1 = B("/a\0\0,i\0\0", 8) + osctest::BE32(1);
    const std::string pingIfs = Message("/ping", {OscArg::Int(1), OscArg::Float(2.5f), OscArg::Text("x")});
    const std::string blob5 = Message("/b", {OscArg::Blob(reinterpret_cast<const uint8_t*>("hello"), 5)});
    struct Case {
        const char* name;
        std::string packet;
        const char* events;
    } cases[] = {
        {"int message", ai1, "2:/a,i i=1 4"},
        {"address of 4 bytes gets 4 zeros", B("/abc\0\0\0\0,\0\0\0", 12), "2:/abc, 4"},
        {"flags take no bytes", B("/t\0\0,TF\0", 8), "2:/t,TF T F 4"},
        {"int float text", pingIfs, "2:/ping,ifs i=1 f=2.5 s=x 4"},
        {"blob of 5", blob5, "2:/b,b b5 4"},
        {"time tag", B("/t\0\0,t\0\0", 8) + osctest::BE32(7) + osctest::BE32(0), "2:/t,t t=30064771072 4"},
        {"no type tags", B("/x\0\0", 4) + osctest::BE32(1), "1"},
        {"unknown tag d", B("/x\0\0,d\0\0", 8) + osctest::BE32(0) + osctest::BE32(0), "2:/x,d 1"},
        {"truncated int", ai1.substr(0, 10), "2:/a,i"},
        {"truncated address", B("/abc", 4), ""},
        {"empty", "", ""},
        {"bundle of two", osctest::Bundle(5, {ai1, pingIfs}), "5 2:/a,i i=1 4 2:/ping,ifs i=1 f=2.5 s=x 4"},
        {"nested bundle", osctest::Bundle(5, {osctest::Bundle(9, {ai1, ai1}), pingIfs}),
         "5 5 2:/a,i i=1 4 2:/a,i i=1 4 2:/ping,ifs i=1 f=2.5 s=x 4"},
        {"bad message in a bundle drops only itself",
         osctest::Bundle(5, {B("/x\0\0,d\0\0", 8) + osctest::BE32(0) + osctest::BE32(0), ai1}),
         "5 2:/x,d 1 2:/a,i i=1 4"},
        {"element cut at its enclosing end", osctest::Bundle(5, {osctest::Bundle(9, {ai1}, 0, 8), pingIfs}),
         "5 5 2:/a,i i=1 4 2:/ping,ifs i=1 f=2.5 s=x 4"},
        {"blob longer than its element never completes",
         osctest::Bundle(5, {B("/d\0\0,b\0\0", 8) + osctest::BE32(0xfffffff0u) + "abcd", ai1}),
         "5 2:/d,b b4294967280 2:/a,i i=1 4"},
        {"string running past its element", osctest::Bundle(5, {B("/s\0\0,s\0\0abcd", 12), ai1}),
         "5 2:/s,s s=abcd 2:/a,i i=1 4"},
        {"element size zero", osctest::Bundle(5, {std::string(), ai1}), "5 2:/a,i i=1 4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Events(c.packet), c.events) << c.name;
        // Fed a byte at a time the events are the same.
        EXPECT_EQ(Events(c.packet, 1), c.events) << c.name << " (bytewise)";
    }
}

TEST(OscParser, OnlyTheOutermostTimeTagIsKept) {
    OscParser p;
    std::string packet = osctest::Bundle(5, {osctest::Bundle(9, {})});
    const uint8_t* cur = reinterpret_cast<const uint8_t*>(packet.data());
    const uint8_t* end = cur + packet.size();
    while (p.Feed(cur, end) != 0) {
    }
    EXPECT_EQ(p.BundleTimeTag(), 5u);
}

TEST(OscParser, ResetForgetsEnclosingEndsOfAMalformedPacket) {
    OscParser p;
    // A nested bundle cut short leaves two enclosing ends behind.
    std::string broken = osctest::Bundle(5, {osctest::Bundle(9, {B("/a\0\0,i\0\0", 8) + osctest::BE32(1)})});
    broken.resize(broken.size() - 2);
    const uint8_t* cur = reinterpret_cast<const uint8_t*>(broken.data());
    const uint8_t* end = cur + broken.size();
    while (p.Feed(cur, end) != 0) {
    }
    p.Reset();
    std::string next = B("/a\0\0,i\0\0", 8) + osctest::BE32(1);
    next = next + next;  // a second message beyond a stale bound would show up here
    cur = reinterpret_cast<const uint8_t*>(next.data());
    end = cur + 12;
    std::string ev;
    for (int r; (r = p.Feed(cur, end)) != 0;) ev += std::to_string(r);
    EXPECT_EQ(ev, "234");
}

TEST(OscParser, LongTypeTagStringDoesNotWrapItsIndex) {
    std::string tags(300, 'T');
    std::string packet = Message("/t", {});
    packet = B("/t\0\0", 4) + "," + tags;
    packet.push_back('\0');
    while (packet.size() % 4) packet.push_back('\0');
    std::string ev = Events(packet);
    EXPECT_EQ(std::count(ev.begin(), ev.end(), 'T'), 600);  // the tags text and 300 arguments
    EXPECT_EQ(ev.substr(ev.size() - 1), "4");
}

TEST(OscWriter, BytesOfMessages) {
    const uint8_t five[] = {1, 2, 3, 4, 5};
    const uint8_t eight[] = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Case {
        const char* address;
        std::vector<OscArg> args;
        std::string bytes;
    } cases[] = {
        {"/a", {OscArg::Int(1)}, B("/a\0\0,i\0\0\0\0\0\1", 12)},
        {"/abc", {}, B("/abc\0\0\0\0,\0\0\0", 12)},
        {"/b", {OscArg::Blob(five, 5)}, B("/b\0\0,b\0\0\0\0\0\5\1\2\3\4\5\0\0\0", 20)},
        {"/b", {OscArg::Blob(eight, 8)}, B("/b\0\0,b\0\0\0\0\0\x08\1\2\3\4\5\6\7\x08", 20)},
        {"/f", {OscArg::Float(1.0f)}, B("/f\0\0,f\0\0\x3f\x80\0\0", 12)},
        {"/s", {OscArg::Text("abcd")}, B("/s\0\0,s\0\0abcd\0\0\0\0", 16)},
        {"/x",
         {OscArg::Flag('T'), OscArg::Flag('F'), OscArg::Flag('N'), OscArg::Flag('I')},
         B("/x\0\0,TFNI\0\0\0", 12)},
        {"/t", {OscArg::TimeTag(0x0102030405060708ull)}, B("/t\0\0,t\0\0\1\2\3\4\5\6\7\x08", 16)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(osctest::Hex(Message(c.address, c.args)), osctest::Hex(c.bytes)) << c.address;
}

TEST(OscWriter, PaddingCountsFromThePacketStart) {
    LVariBuffer<uint8_t> buffer;
    CMemStream s(buffer);
    s.Put("xy", 2);  // the packet starts at 2
    OscWriter w;
    w.Begin(s);
    w.WriteString("/a");
    w.WriteTagStart();
    w.WriteTag('i');
    w.PadTags();
    EXPECT_EQ(s.End(), 2u + 8u);
}

TEST(OscArg, Conversions) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        OscArg arg;
        int32_t asInt;
        float asFloat;
        const char* asText;  // 2 decimals
    } cases[] = {
        {OscArg::Float(2.4f), 2, 2.4f, "2.40"},
        {OscArg::Float(-2.6f), -3, -2.6f, "-2.60"},
        {OscArg::Float(2.5f), 3, 2.5f, "2.50"},
        {OscArg::Float(nan), 0, nan, nullptr},
        {OscArg::Float(1e20f), 2147483647, 1e20f, nullptr},
        {OscArg::Float(-1e20f), -2147483647 - 1, -1e20f, nullptr},
        {OscArg::Text("12abc"), 12, 12.0f, "12abc"},
        {OscArg::Text("-7.5"), -7, -7.5f, "-7.5"},
        {OscArg::Text("99999999999"), 2147483647, 99999999999.0f, "99999999999"},
        {OscArg::Text(nullptr), 0, 0.0f, ""},
        {OscArg::Int(-5), -5, -5.0f, "-5"},
        {OscArg::Flag('T'), 1, 1.0f, "1"},
        {OscArg::Flag('F'), 0, 0.0f, "0"},
        {OscArg::Flag('N'), 0, 0.0f, ""},
        {OscArg::TimeTag(0x0000000380000000ull), 3, 3.5f, "3.50"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, char(c.arg.tag)));
        EXPECT_EQ(c.arg.AsInt(), c.asInt);
        if (std::isnan(c.asFloat))
            EXPECT_TRUE(std::isnan(c.arg.AsFloat()));
        else
            EXPECT_FLOAT_EQ(c.arg.AsFloat(), c.asFloat);
        if (c.asText) {
            EXPECT_EQ(c.arg.AsText(2), c.asText);
        }
    }
}

}  // namespace

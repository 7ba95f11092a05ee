#include <gtest/gtest.h>

#include "Lib3/LSources/CoreString/LCharIn.h"

namespace {

TEST(LCStrCharInTest, NulEndsSingleByteReadsButNotBulkReads) {
    const unsigned char text[5] = {'a', 'b', 0, 'c', 'd'};
    LCStrCharIn in(text, 5);
    unsigned char c = 'x';
    EXPECT_TRUE(in.Get(c));
    EXPECT_EQ(c, 'a');
    EXPECT_TRUE(in.Get(c));
    EXPECT_FALSE(in.Get(c));
    EXPECT_EQ(c, 0);

    unsigned char rest[8] = {};
    EXPECT_EQ(in.Get(rest, 8), 3u);
    EXPECT_EQ(rest[1], 'c');
    EXPECT_EQ(in.Get(rest, 8), 0u);
}

TEST(LCStrCharInTest, UngetStopsAtTheStart) {
    LCStrCharIn in("xy");
    unsigned char c;
    in.Unget();
    EXPECT_TRUE(in.Get(c));
    in.Unget();
    in.Unget();
    EXPECT_TRUE(in.Get(c));
    EXPECT_EQ(c, 'x');
}

TEST(LCStrCharInTest, NullOrEmptyTextReadsNothing) {
    LCStrCharIn none(static_cast<const unsigned char*>(nullptr), 10);
    LCStrCharIn empty("abc");
    empty.Setup(reinterpret_cast<const unsigned char*>("abc"), 0);
    for (LCStrCharIn* in : {&none, &empty}) {
        unsigned char c;
        EXPECT_FALSE(in->Get(c));
        unsigned char buf[4];
        EXPECT_EQ(in->Get(buf, 4), 0u);
    }
}

// A source with only single-byte reads exercises the base bulk read.
class Bytes : public LCharIn {
public:
    explicit Bytes(const char* s) : fText(s) {}
    bool Get(unsigned char& c) override {
        c = static_cast<unsigned char>(fText[fPos]);
        if (!c) return false;
        ++fPos;
        return true;
    }
    void Unget() override {
        if (fPos) --fPos;
    }
    using LCharIn::Get;
    const char* fText;
    int fPos = 0;
};

TEST(LCharInTest, BulkReadStopsAtTheEnd) {
    Bytes in("abc");
    unsigned char buf[8] = {};
    EXPECT_EQ(in.Get(buf, 2), 2u);
    EXPECT_EQ(in.Get(buf, 8), 1u);
    EXPECT_EQ(buf[0], 'c');
}

TEST(LStrCharInTest, KeepsItsStringAlive) {
    auto* s = new LString("kept text");
    LStrCharIn in(*s);
    delete s;
    unsigned char buf[16] = {};
    EXPECT_EQ(in.Get(buf, 16), 9u);
    EXPECT_STREQ(reinterpret_cast<char*>(buf), "kept text");
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"

namespace {

std::string ReadAll(CMemStream& s) {
    char buf[64];
    uint64_t n = sizeof buf;
    s.Get(buf, n);
    return std::string(buf, n);
}

TEST(CMemStream, FixedMemoryReadsFromStartAndNullMemoryReadsNothing) {
    char text[] = "hello";
    CMemStream s(text, 5);
    EXPECT_EQ(s.End(), 5u);
    EXPECT_EQ(ReadAll(s), "hello");
    EXPECT_EQ(s.Position(), 5u);

    CMemStream empty(nullptr, 16);
    EXPECT_EQ(empty.End(), 0u);
    EXPECT_EQ(ReadAll(empty), "");
    empty.Put("x", 1);
    EXPECT_EQ(empty.Error(), CStream::kErrFull);
}

TEST(CMemStream, OverflowSetsFullAndTheErrorSticks) {
    char mem[4] = {'a', 'b', 'c', 'd'};
    CMemStream s(mem, sizeof mem);
    s.Put("12", 2);
    s.Put("345", 3);  // passes the capacity: nothing written
    EXPECT_EQ(s.Error(), CStream::kErrFull);
    EXPECT_EQ(std::string(mem, 4), "12cd");
    EXPECT_EQ(s.Position(), 2u);

    // Everything does nothing from now on.
    s.Seek(0);
    EXPECT_EQ(s.Position(), 2u);
    s.Put("z", 1);
    EXPECT_EQ(std::string(mem, 4), "12cd");
    EXPECT_EQ(ReadAll(s), "");
    s.SetError(CStream::kErrNotWritable);
    EXPECT_EQ(s.Error(), CStream::kErrFull);
}

// A stream that refuses writes, as a read-only file stream does.
class ReadOnlyStream : public CMemStream {
public:
    ReadOnlyStream(void* data, uint32_t size) : CMemStream(data, size) { mMode = kModeRead; }
};

TEST(CMemStream, WriteToReadOnlyStreamIsNotWritableAndSticks) {
    char mem[4] = {'a', 'b', 'c', 'd'};
    ReadOnlyStream s(mem, sizeof mem);
    EXPECT_EQ(ReadAll(s), "abcd");
    s.Seek(0);
    s.Put("x", 1);
    EXPECT_EQ(s.Error(), CStream::kErrNotWritable);
    EXPECT_EQ(mem[0], 'a');
    EXPECT_EQ(ReadAll(s), "");  // reads stop too
    s.SetEnd();
    EXPECT_EQ(s.Error(), CStream::kErrNotWritable);
}

TEST(CMemStream, GrowableBufferIsTrimmedToWrittenLengthOnDestruction) {
    LVariBuffer<uint8_t> buf;
    {
        CMemStream s(buf);
        s.Put("0123456789", 10);
        EXPECT_GE(buf.Capacity(), 10u);
        EXPECT_EQ(s.End(), 10u);
        s.Seek(2);
        EXPECT_EQ(ReadAll(s), "23456789");
        s.Seek(4);  // destruction moves back to the end before trimming
    }
    EXPECT_EQ(buf.Capacity(), 10u);
    EXPECT_EQ(std::memcmp(buf.Data(), "0123456789", 10), 0);
}

TEST(CMemStream, RewriteKeepsHighMarkUntilSetEnd) {
    LVariBuffer<uint8_t> buf;
    CMemStream s(buf);
    s.Put("abcdef", 6);
    s.Seek(1);
    s.Put("XY", 2);
    EXPECT_EQ(s.End(), 6u);
    s.Seek(0);
    EXPECT_EQ(ReadAll(s), "aXYdef");
    s.Seek(3);
    s.SetEnd();
    EXPECT_EQ(s.End(), 3u);
    EXPECT_EQ(buf.Capacity(), 3u);
    s.Seek(0);
    EXPECT_EQ(ReadAll(s), "aXY");
    EXPECT_EQ(s.Error(), CStream::kErrNone);
}

TEST(CMemStream, SeekPastEndReadsNothingAndWritingThereGrows) {
    LVariBuffer<uint8_t> buf;
    CMemStream s(buf);
    s.Put("ab", 2);
    s.Seek(100);
    EXPECT_EQ(ReadAll(s), "");
    s.Put("z", 1);
    EXPECT_EQ(s.End(), 101u);
    EXPECT_GE(s.Capacity(), 101u);
}

TEST(CMemStream, BytesTargetEndsAsLongAsWhatWasWritten) {
    CBytes bytes;
    EXPECT_TRUE(bytes.Append("previous content", 16));
    {
        CMemStream s(bytes);
        s.Put("new", 3);
        s.Seek(0);
        EXPECT_EQ(ReadAll(s), "new");
    }
    ASSERT_EQ(bytes.Count(), 3u);
    EXPECT_EQ(std::memcmp(bytes.Data(), "new", 3), 0);
}

TEST(CMemStream, FixedMemorySetEndCutsTheReadableLength) {
    char mem[8] = "abcdefg";
    CMemStream s(mem, 7);
    s.Seek(3);
    s.SetEnd();
    EXPECT_EQ(s.End(), 3u);
    s.Seek(0);
    EXPECT_EQ(ReadAll(s), "abc");
    s.Seek(9);  // beyond the memory: refused rather than exposing bytes past it
    s.SetEnd();
    EXPECT_EQ(s.Error(), CStream::kErrFull);
}

TEST(CMemStream, FixedWidthHelpersRoundTrip) {
    LVariBuffer<uint8_t> buf;
    CMemStream s(buf);
    s.PutU8(7);
    s.PutU32(0xA1B2C3D4);
    s.PutU64(42);
    s.Seek(0);
    uint8_t a = 0;
    uint32_t b = 0;
    uint64_t c = 0, d = 0;
    EXPECT_TRUE(s.GetU8(a));
    EXPECT_TRUE(s.GetU32(b));
    EXPECT_TRUE(s.GetU64(c));
    EXPECT_FALSE(s.GetU64(d));
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 0xA1B2C3D4u);
    EXPECT_EQ(c, 42u);
}

}  // namespace

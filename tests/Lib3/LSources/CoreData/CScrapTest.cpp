#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Platform/Foundation/Bytes.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

using namespace rtest;

namespace {

enum TinyField : uint32_t { kNumb, kText, kSecret, kTInts, kLate, kTKids, kTOpt };
const SFieldDesc kTinyTable[] = {
    SFieldDesc::Int(Fcc("numb")),
    SFieldDesc::String(Fcc("text")),
    SFieldDesc::Int(0, 3),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Int(Fcc("late"), 1),
    SFieldDesc::RecordArray(Fcc("kids"), Fcc("SCRP"), Fcc("TINY"), kFieldOptional),
    SFieldDesc::Record(Fcc("optl"), Fcc("SCRP"), Fcc("TINY"), kFieldOptional),
};
const CRecordType gTinyType(Fcc("SCRP"), Fcc("TINY"), kTinyTable);

std::vector<uint8_t> Bytes(const CBytes& b) {
    return std::vector<uint8_t>(b.Data(), b.Data() + b.Count());
}

std::vector<uint8_t> Hex(const char* text) {
    std::vector<uint8_t> out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(uint8_t(std::stoul(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

struct Owned {
    CRecord* r;
    explicit Owned(CRecord* record) : r(record) {}
    ~Owned() { CRecord::Delete(r); }
};

TEST(Scrap, ImagesMatchHandCheckedBytes) {
    Owned full(CRecord::New(&gTinyType));
    full.r->Slot(kNumb).u32 = 0x01020304;
    full.r->StringSlot(kText) = LString("a\r\nb");
    full.r->Slot(kSecret).i32 = 77;  // tag 0: never written
    const int32_t five = 5;
    EXPECT_TRUE(full.r->SetArrayRaw(kTInts, &five, 1));
    full.r->Slot(kLate).i32 = 9;  // after the first array: not part of the image
    EXPECT_TRUE(full.r->InsertElementRaw(kTKids, -1, nullptr));

    Owned small(CRecord::New(&gTinyType));
    small.r->StringSlot(kText) = LString("x\r\n");

    CBytes data;
    {
        CScrapWriter writer(1, 1, data);
        ASSERT_TRUE(writer.WriteRecord(full.r));
        ASSERT_TRUE(writer.WriteRecord(small.r));
    }
    const std::vector<uint8_t> expected =
        Hex("00000001 00000064 00000001"
            " 53435250 0000003C 54494E59"
            "  55445052 00000008 01020304 610A6200"
            "  55445041 00000008 696E7473 00000005"
            "  55444152 00000010 6B696473 59554E44 00000004 55444E4C"
            " 53435250 00000014 54494E59"
            "  55445052 00000007 00000000 780A00 00");
    EXPECT_EQ(Bytes(data), expected);

    CScrapReader reader(data.Data(), data.Count());
    EXPECT_EQ(reader.FormType(), 1u);
    EXPECT_EQ(reader.Version(), 1u);
    Owned back(reader.ReadRecord());
    ASSERT_TRUE(back.r);
    EXPECT_EQ(back.r->GetUInt(kNumb), 0x01020304u);
    EXPECT_STREQ(back.r->GetString(kText).CStr(), "a\nb");
    EXPECT_EQ(back.r->GetInt(kSecret), 3);
    EXPECT_EQ(back.r->GetInt(kLate), 1);
    ASSERT_EQ(back.r->ArrayCount(kTKids), 1u);  // the optional field keeps the empty element
    EXPECT_EQ(back.r->GetElement(kTKids, 0), nullptr);
    Owned second(reader.ReadRecord());
    ASSERT_TRUE(second.r);
    EXPECT_STREQ(second.r->GetString(kText).CStr(), "x\n");
    EXPECT_EQ(reader.ReadRecord(), nullptr);
}

TEST(Scrap, TreesRoundTrip) {
    gHook = HookState();
    Owned root(NewNode("root"));
    CRecord* r = root.r;
    r->Slot(kInt).i32 = -123;
    r->Slot(kUInt).u32 = 0xFFFFFFFF;
    r->Slot(kByte).u8 = 0;
    r->Slot(kFloat).f32 = 2.25f;
    const int32_t ints[] = {-1, 0, 7};
    EXPECT_TRUE(r->SetArrayRaw(kInts, ints, 3));
    const uint8_t bytes[] = {0, 10, 13, 255};
    EXPECT_TRUE(r->SetArrayRaw(kBytes, bytes, 4));
    const float floats[] = {0.125f, -3.5f};
    EXPECT_TRUE(r->SetArrayRaw(kFloats, floats, 2));
    const LString strings[] = {LString(""), LString("two words"), LString("line\nend")};
    EXPECT_TRUE(r->SetArrayRaw(kStrings, strings, 3));
    r->GetSubRecord(kLeaf)->StringSlot(kLLabel) = LString("sub leaf");
    r->SetSubRecord(kOptional, NewLeaf("optional"));
    EXPECT_TRUE(r->InsertElementRaw(kKids, -1, NewLeaf("k0")));
    EXPECT_TRUE(r->InsertElementRaw(kKids, -1, NewLeaf("k1")));
    EXPECT_TRUE(
        r->InsertElementRaw(kAny, -1, NewNode("any node")));  // another type where any type is allowed
    EXPECT_TRUE(r->InsertElementRaw(kAny, -1, nullptr));
    CRecord* inner = NewNode("inner");
    EXPECT_TRUE(inner->InsertElementRaw(kNodes, -1, NewNode("innermost")));
    EXPECT_TRUE(r->InsertElementRaw(kNodes, -1, inner));

    CBytes data;
    {
        CScrapWriter writer(1, 1, data);
        ASSERT_TRUE(writer.WriteRecord(r));
    }
    CScrapReader reader(data.Data(), data.Count());
    Owned back(reader.ReadRecord());
    ASSERT_TRUE(back.r);
    EXPECT_EQ(Dump(back.r), Dump(r));
    gHook = HookState();
}

TEST(Scrap, FillingInPlaceMakesAHeldRecordEqualAndBroadcasts) {
    gHook = HookState();
    Owned source(NewNode("pasted"));
    EXPECT_TRUE(source.r->InsertElementRaw(kKids, -1, NewLeaf("only kid")));
    CBytes data;
    {
        CScrapWriter writer(1, 1, data);
        ASSERT_TRUE(writer.WriteRecord(source.r));
    }
    CRecord* target = NewNode("old");
    EXPECT_TRUE(target->InsertElementRaw(kKids, -1, NewLeaf("a")));
    EXPECT_TRUE(target->InsertElementRaw(kKids, -1, NewLeaf("b")));
    target->SetSubRecord(kOptional, NewLeaf("goes"));
    CRecordHolder holder(target);
    int events = 0;
    holder.AddObserver(&events, [](void* c, const SRecordEvent*) { ++*static_cast<int*>(c); });
    CScrapReader reader(data.Data(), data.Count());
    ASSERT_TRUE(reader.FillRecord(holder.RootRef()));
    EXPECT_EQ(Dump(holder.Root()), Dump(source.r));
    EXPECT_GT(events, 0);
    gHook = HookState();
}

TEST(Scrap, DepthIsBoundedBothWays) {
    // A chain of optional children deeper than an image may hold.
    Owned root(CRecord::New(&gTinyType));
    CRecord* tail = root.r;
    for (int i = 0; i < 80; ++i) {
        CRecord* child = CRecord::New(&gTinyType);
        tail->SetSubRecord(kTOpt, child);
        tail = child;
    }
    CBytes data;
    CScrapWriter writer(1, 1, data);
    const uint32_t before = data.Count();
    EXPECT_FALSE(writer.WriteRecord(root.r));
    EXPECT_EQ(data.Count(), before);
    writer.Close();

    // The same nesting made by hand is refused by the reader without harm.
    std::vector<uint8_t> image;
    auto be32 = [&image](uint32_t v) {
        uint8_t b[4];
        plat::StoreBE32(b, v);
        image.insert(image.end(), b, b + 4);
    };
    const int depth = 1000;
    be32(1);
    be32(0);  // lengths are patched below; nesting relies on clamping to the enclosing chunk
    be32(1);
    for (int i = 0; i < depth; ++i) {
        be32(Fcc("SCRP"));
        be32(0xFFFFFF);
        be32(Fcc("TINY"));
        be32(Fcc("UDUD"));
        be32(0xFFFFFF);
        be32(Fcc("optl"));
    }
    const uint32_t outer = uint32_t(image.size() - 8);
    plat::StoreBE32(image.data() + 4, outer);
    CScrapReader reader(image.data(), image.size());
    EXPECT_EQ(reader.ReadRecord(), nullptr);
}

TEST(Scrap, ShortAndForeignDataYieldNoRecords) {
    CScrapReader empty(nullptr, 0);
    EXPECT_EQ(empty.FormType(), 0u);
    EXPECT_EQ(empty.ReadRecord(), nullptr);

    // An unknown type is skipped and the next record still reads.
    const std::vector<uint8_t> image =
        Hex("00000001 00000028 00000001"
            " 4E4F5045 00000004 4E4F5045"
            " 53435250 00000010 54494E59 55445052 00000004 0000002A");
    CScrapReader reader(image.data(), image.size());
    EXPECT_EQ(reader.ReadRecord(), nullptr);
    Owned tiny(reader.ReadRecord());
    ASSERT_TRUE(tiny.r);
    EXPECT_EQ(tiny.r->GetInt(kNumb), 42);
    EXPECT_TRUE(reader.AtEnd());

    // Every truncation of a real image reads without harm.
    for (size_t cut = 0; cut < image.size(); ++cut) {
        CScrapReader part(image.data(), cut);
        for (int i = 0; i < 3; ++i) CRecord::Delete(part.ReadRecord());
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordSlab.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

using namespace rtest;

namespace {

// Records made inside a scope share chunks; a chunk goes when its last record does, on any thread,
// and records outlive the scope that made them.
TEST(CRecordSlabTest, ChunksLiveUntilTheirLastRecordGoesOnAnyThread) {
    const size_t before = CRecordSlab::LiveChunks();
    std::vector<CRecord*> records;
    {
        CRecordSlab::Scope outer;
        {
            CRecordSlab::Scope inner;  // nested: the outer scope keeps the chunk
            for (int i = 0; i < 2000; ++i) records.push_back(NewNode("n"));
        }
        records.push_back(NewLeaf("last"));
    }
    const size_t used = CRecordSlab::LiveChunks() - before;
    EXPECT_GT(used, 1u);
    EXPECT_LT(used, records.size() / 10);  // many records to a chunk
    EXPECT_EQ(Label(records.back()), "last");

    // Half go here, the rest on another thread, interleaved across chunks.
    for (size_t i = 0; i < records.size(); i += 2) CRecord::Delete(records[i]);
    EXPECT_GT(CRecordSlab::LiveChunks(), before);
    std::thread other([&] {
        for (size_t i = 1; i < records.size(); i += 2) CRecord::Delete(records[i]);
    });
    other.join();
    EXPECT_EQ(CRecordSlab::LiveChunks(), before);
}

TEST(CRecordSlabTest, OutsideAScopeAndForLargeBlocksMallocIsUsed) {
    const size_t before = CRecordSlab::LiveChunks();
    CRecord* alone = NewNode("alone");
    EXPECT_EQ(CRecordSlab::LiveChunks(), before);
    {
        CRecordSlab::Scope scope;
        bool fromSlab = true;
        void* big = CRecordSlab::Allocate(60 * 1024, fromSlab);
        ASSERT_NE(big, nullptr);
        EXPECT_FALSE(fromSlab);
        CRecordSlab::Free(big, 60 * 1024, fromSlab);
        EXPECT_EQ(CRecordSlab::LiveChunks(), before);
    }
    // A copy made outside the scope of a record made inside it is independent of its chunk.
    CRecord* inside = nullptr;
    {
        CRecordSlab::Scope scope;
        inside = NewNode("inside");
    }
    CRecord* copy = CRecord::Clone(inside, nullptr);
    CRecord::Delete(inside);
    EXPECT_EQ(CRecordSlab::LiveChunks(), before);
    EXPECT_EQ(Dump(copy), Dump(alone).replace(Dump(alone).find("alone"), 5, "inside"));
    CRecord::Delete(copy);
    CRecord::Delete(alone);
}

}  // namespace

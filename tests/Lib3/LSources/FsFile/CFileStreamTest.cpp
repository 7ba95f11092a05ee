#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>

#include "Lib3/LSources/FsFile/CFileStream.h"
#include "Lib3/LSources/FsFile/LFileCreate.h"
#include "tests/support/SpecTempDir.h"

namespace {

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        fDir.Write("data", "");
        fSpec = fDir.Child("data");
    }
    uint64_t FileSize() {
        struct stat st;
        return stat(fDir.File("data").c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }
    std::string Get(CStream& s, uint64_t n) {
        std::string out(n, '\0');
        s.Get(out.data(), n);
        out.resize(n);
        return out;
    }

    testsupport::SpecTempDir fDir;
    LFsSpec fSpec;
};

TEST_F(FileStreamTest, WholeBlocksGoDirectlyAndTheRestWaits) {
    std::string data(1000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    {
        CFileStream s(fSpec, CStream::kModeWritable);
        s.Put(data.data(), data.size());
        EXPECT_EQ(FileSize(), 512u);  // one direct block; 488 bytes buffered
        EXPECT_EQ(s.Position(), 1000u);
        s.Flush();
        EXPECT_EQ(FileSize(), 1000u);
    }
    EXPECT_EQ(fDir.Read("data"), data);
}

TEST_F(FileStreamTest, ReadsBackThroughTheBuffer) {
    CFileStream s(fSpec, CStream::kModeWritable);
    s.Put("abc", 3);
    s.Seek(1);
    EXPECT_EQ(Get(s, 2), "bc");
    EXPECT_EQ(s.Error(), 0u);

    s.Seek(0);
    EXPECT_EQ(Get(s, 100), "abc");  // past the end: what exists, no error
    EXPECT_EQ(s.Error(), 0u);
    s.SeekEnd();
    EXPECT_EQ(s.Position(), 3u);
}

// Bytes between the old end and a write after a seek past it read as zeros, whatever the buffer
// held before.
TEST_F(FileStreamTest, SeekPastTheEndLeavesZeros) {
    {
        CFileStream s(fSpec, CStream::kModeWritable);
        std::string junk(300, 'Z');
        s.Put(junk.data(), junk.size());
        s.Seek(0);
        s.SetEnd();
        s.Seek(100);
        s.Put("x", 1);
    }
    EXPECT_EQ(fDir.Read("data"), std::string(100, '\0') + "x");
}

TEST_F(FileStreamTest, ReadOnlyAndResourceFork) {
    fDir.Write("data", "hello");
    CFileStream r(fSpec, 0);
    EXPECT_EQ(Get(r, 5), "hello");
    r.Put("x", 1);
    EXPECT_EQ(r.Error(), 2u);
    EXPECT_EQ(Get(r, 5), "");  // the error sticks
    EXPECT_EQ(fDir.Read("data"), "hello");

    CMacForkStream fork(fSpec, 0, CMacForkStream::kResourceFork);
    EXPECT_EQ(fork.Error(), 1u);
    CFileStream missing(fDir.Child("missing"), 0);
    EXPECT_EQ(missing.Error(), 1u);
}

// Random seeks, reads, writes and truncations agree with a plain model of the file.
TEST_F(FileStreamTest, AgreesWithAModelUnderRandomUse) {
    std::mt19937 rng(7);
    std::string model;
    {
        CFileStream s(fSpec, CStream::kModeWritable);
        uint64_t pos = 0;
        for (int step = 0; step < 3000; ++step) {
            switch (rng() % 5) {
                case 0: {
                    pos = rng() % (model.size() + 700);
                    s.Seek(pos);
                    break;
                }
                case 1:
                case 2: {
                    std::string bytes(rng() % 1300, '\0');
                    for (char& c : bytes) c = static_cast<char>('a' + rng() % 26);
                    s.Put(bytes.data(), bytes.size());
                    if (model.size() < pos + bytes.size()) model.resize(pos + bytes.size(), '\0');
                    model.replace(pos, bytes.size(), bytes);
                    pos += bytes.size();
                    break;
                }
                case 3: {
                    uint64_t n = rng() % 1100;
                    std::string got = Get(s, n);
                    std::string want = pos < model.size() ? model.substr(pos, n) : std::string();
                    ASSERT_EQ(got, want) << "step " << step;
                    pos += got.size();
                    break;
                }
                case 4:
                    if (rng() % 4 == 0) {
                        s.SetEnd();
                        model.resize(pos, '\0');
                    }
                    break;
            }
            ASSERT_EQ(s.Position(), pos);
            ASSERT_EQ(s.Error(), 0u);
        }
    }
    EXPECT_EQ(fDir.Read("data"), model);
}

}  // namespace

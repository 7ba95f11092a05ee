#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Internet/CBoundaryScanner.h"
#include "tests/Common/Internet/MultipartSplit.h"

namespace {

TEST(CBoundaryScannerTest, SplitsPartsAndEndsAtClosingBoundary) {
    const std::string body =
        "--XyZ\r\nA: 1\r\n\r\nfirst\r\n--XyZ\r\nB: 2\r\n\r\nsec\r\n-\r\n--Xy\r\nond\r\n--XyZ--\r\n";
    const MultipartResult r = SplitMultipart(body, "XyZ");
    EXPECT_TRUE(r.ended);
    ASSERT_EQ(r.parts.size(), 2u);
    EXPECT_EQ(r.parts[0], "A: 1\r\n\r\nfirst");
    EXPECT_EQ(r.parts[1], "B: 2\r\n\r\nsec\r\n-\r\n--Xy\r\nond");
}

TEST(CBoundaryScannerTest, BrokenBoundaryFlushesHeldBytes) {
    CBoundaryScanner s("abc");
    s.SetState(0);
    const std::string bytes = "\r\n--abX";
    std::vector<int> answers;
    for (char c : bytes) answers.push_back(s.Feed(static_cast<uint8_t>(c)));
    EXPECT_EQ(answers, (std::vector<int>{1, 1, 1, 1, 1, 1, 2}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Held()), s.HeldCount()), bytes);
}

TEST(CBoundaryScannerTest, CarriageReturnRestartsTheMatch) {
    // The held CR is data; the second CR may begin the boundary.
    const MultipartResult r = SplitMultipart("--b\r\n\r\nx\r\r\n--b--\r\n", "b");
    EXPECT_TRUE(r.ended);
    ASSERT_EQ(r.parts.size(), 1u);
    EXPECT_EQ(r.parts[0], "\r\nx\r");
}

TEST(CBoundaryScannerTest, EmptyBoundaryNeverMatches) {
    const MultipartResult r = SplitMultipart("--\r\nx\r\n--\r\n", "");
    EXPECT_FALSE(r.ended);
}

}  // namespace

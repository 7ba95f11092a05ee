#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Common/Internet/CBase64Decoder.h"
#include "Common/Internet/CHeaderLineParser.h"
#include "tests/Common/Internet/MultipartSplit.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/TempDir.h"

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

// Starts curl against the listener and returns the request it sent.
std::string CaptureCurl(testsupport::LoopbackListener& listener, const std::string& args) {
    const std::string cmd = "curl -s -o /dev/null -m 10 --noproxy '*' " + args +
                            " http://127.0.0.1:" + std::to_string(listener.Port()) + "/panel/x";
    FILE* curl = popen(cmd.c_str(), "r");
    if (!curl) return {};
    std::string request = listener.CaptureHttpRequest();
    pclose(curl);
    return request;
}

// The header block after the request line, split by hand at CR LF.
Lines SplitByHand(const std::string& head) {
    Lines lines;
    size_t pos = head.find("\r\n") + 2;
    for (size_t end; (end = head.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
        const std::string line = head.substr(pos, end - pos);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            lines.emplace_back(line, "");
            continue;
        }
        size_t v = colon + 1;
        while (v < line.size() && line[v] == ' ') ++v;
        lines.emplace_back(line.substr(0, colon), line.substr(v));
    }
    return lines;
}

// Feeds bytes from `from` until the empty line; returns the index after it.
size_t ParseBlock(const std::string& bytes, size_t from, Lines& lines) {
    CHeaderLineParser parser;
    for (size_t i = from; i < bytes.size(); ++i) {
        const int r = parser.Feed(static_cast<uint8_t>(bytes[i]));
        if (!r) continue;
        lines.emplace_back(parser.Name().CStr(), parser.Value().CStr());
        if (r == CHeaderLineParser::kLineAndEnd) lines.emplace_back("", "");
        if (r == CHeaderLineParser::kLineAndEnd || lines.back().first.empty()) return i + 1;
    }
    return bytes.size();
}

TEST(InternetPeerTest, CurlRequestGivesItsHeaderLinesAndOneEmptyLine) {
    testsupport::LoopbackListener listener;
    ASSERT_TRUE(listener.Ok());
    const std::string request =
        CaptureCurl(listener, "-H 'X-Token: a b:c' -H 'Authorization: Basic dXNlcjpwYXNz' -A 'probe/1'");
    const size_t end = request.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos) << request;
    Lines expected = SplitByHand(request.substr(0, end + 4));
    ASSERT_EQ(expected.back(), (std::pair<std::string, std::string>{"", ""}));
    ASSERT_GE(expected.size(), 5u);

    Lines parsed;
    const size_t after = ParseBlock(request, request.find("\r\n") + 2, parsed);
    EXPECT_EQ(parsed, expected);
    EXPECT_EQ(after, end + 4);  // the empty line is reported at its own LF
}

TEST(InternetPeerTest, CurlFormBodySplitsIntoItsParts) {
    testsupport::TempDir dir;
    std::string file = "line one\r\n--not a boundary\r\n\r\n-";
    for (int i = 0; i < 300; ++i) file.push_back(static_cast<char>(i * 7 % 256));
    file += "\r\n--";
    dir.Write("blob.bin", file);
    testsupport::LoopbackListener listener;
    ASSERT_TRUE(listener.Ok());
    const std::string request =
        CaptureCurl(listener, "-H 'Expect:' -F 'name=plain value' -F 'upload=@" + dir.File("blob.bin") + "'");
    Lines head;
    const size_t bodyAt = ParseBlock(request, request.find("\r\n") + 2, head);
    std::string boundary;
    for (const auto& [name, value] : head)
        if (name == "Content-Type") boundary = value.substr(value.find("boundary=") + 9);
    ASSERT_FALSE(boundary.empty()) << request;

    const MultipartResult r = SplitMultipart(request.substr(bodyAt), boundary.c_str());
    EXPECT_TRUE(r.ended);
    EXPECT_TRUE(r.preamble.empty());
    ASSERT_EQ(r.parts.size(), 2u);
    std::vector<std::string> contents;
    for (const std::string& part : r.parts) {
        Lines partHead;
        const size_t dataAt = ParseBlock(part, 0, partHead);
        ASSERT_GE(partHead.size(), 2u);
        EXPECT_EQ(partHead[0].first, "Content-Disposition");
        contents.push_back(part.substr(dataAt));
    }
    EXPECT_EQ(contents[0], "plain value");
    EXPECT_EQ(contents[1], file);
}

TEST(InternetPeerTest, Base64AgreesWithCoreutils) {
    testsupport::TempDir dir;
    std::mt19937 rng(7);
    for (size_t size : {0, 1, 2, 3, 4, 5, 57, 58, 1000}) {
        std::string bytes;
        for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>(rng()));
        dir.Write("in", bytes);
        const std::string cmd = "base64 " + dir.File("in") + " > " + dir.File("out");  // wrapped lines
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const std::string text = dir.Read("out");
        CBase64Decoder d;
        std::string decoded;
        // Byte by byte, taking a byte whenever 8 bits are held; the line feeds of the wrapped
        // form are skipped as a caller does.
        for (char c : text) {
            if (c == '\n') continue;
            ASSERT_EQ(d.Feed(&c, 1), 0u);
            while (d.BitCount() >= 8) decoded.push_back(static_cast<char>(d.NextByte()));
        }
        EXPECT_EQ(decoded, bytes) << size;
    }
}

}  // namespace

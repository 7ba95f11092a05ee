#include <gtest/gtest.h>

#include <string>

#include "Orbilume/CSources/Http/HttpRequestReader.h"

namespace {

// Feeds bytes until the head is done; the bytes left over.
size_t FeedHead(HttpRequestReader& reader, const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        if (reader.Feed(uint8_t(bytes[i])) == HttpRequestReader::kHeadDone) return bytes.size() - i - 1;
    return std::string::npos;
}

struct Case {
    const char* name;
    std::string head;
    uint8_t status;
    uint8_t method;
    uint8_t flags;  // of kSimple, kHttp11, kClose, kExpect100
    int64_t contentLength;
};

TEST(HttpRequestReaderTest, RequestLinesAndHeaders) {
    using R = HttpRequest;
    const Case cases[] = {
        {"get 1.1", "GET /a HTTP/1.1\r\n\r\n", R::kOk, R::kGet, R::kHttp11, -1},
        {"method without case", "gEt /a HTTP/1.1\r\n\r\n", R::kOk, R::kGet, R::kHttp11, -1},
        {"head 1.0", "HEAD /a HTTP/1.0\r\n\r\n", R::kOk, R::kHead, 0, -1},
        {"bare LF lines", "POST /a HTTP/1.1\nContent-Length: 3\n\n", R::kOk, R::kPost, R::kHttp11, 3},
        {"blank lines before", "\r\n\r\nGET /a HTTP/1.1\r\n\r\n", R::kOk, R::kGet, R::kHttp11, -1},
        {"simple request", "GET /x\r\n", R::kOk, R::kGet, R::kSimple, -1},
        {"simple POST", "POST /x\r\n", R::kNotImplemented, R::kPost, R::kClose, -1},
        {"PUT", "PUT / HTTP/1.1\r\n", R::kNotImplemented, R::kNone, R::kHttp11 | R::kClose, -1},
        {"PUT 1.0", "PUT / HTTP/1.0\r\n", R::kNotImplemented, R::kNone, R::kClose, -1},
        {"no path", "GET\r\n", R::kBadRequest, R::kGet, R::kClose, -1},
        {"HTTP/2.0", "GET / HTTP/2.0\r\n", R::kBadVersion, R::kGet, R::kClose, -1},
        {"not HTTP", "GET / FTP/1.1\r\n", R::kBadRequest, R::kGet, R::kClose, -1},
        {"bad version", "GET / HTTP/1.x\r\n", R::kBadRequest, R::kGet, R::kClose, -1},
        {"close", "GET / HTTP/1.1\r\nConnection: keep-alive, Close\r\n\r\n", R::kOk, R::kGet,
         R::kHttp11 | R::kClose, -1},
        {"close ignored on 1.0", "GET / HTTP/1.0\r\nConnection: close\r\n\r\n", R::kOk, R::kGet, 0, -1},
        {"expect", "POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 0\r\n\r\n", R::kOk, R::kPost,
         R::kHttp11 | R::kExpect100, 0},
        {"length with blanks", "POST / HTTP/1.1\r\nContent-Length:  12 \r\n\r\n", R::kOk, R::kPost,
         R::kHttp11, 12},
        {"same length twice", "POST / HTTP/1.1\r\nContent-Length: 5\r\ncontent-length: 5\r\n\r\n", R::kOk,
         R::kPost, R::kHttp11, 5},
        {"signed length", "POST / HTTP/1.1\r\nContent-Length: +5\r\n\r\n", R::kBadRequest, R::kPost,
         R::kHttp11 | R::kClose, -1},
        {"negative length", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", R::kBadRequest, R::kPost,
         R::kHttp11 | R::kClose, -1},
        {"empty length", "POST / HTTP/1.1\r\nContent-Length:\r\n\r\n", R::kBadRequest, R::kPost,
         R::kHttp11 | R::kClose, -1},
        {"length with letters", "POST / HTTP/1.1\r\nContent-Length: 5x\r\n\r\n", R::kBadRequest, R::kPost,
         R::kHttp11 | R::kClose, -1},
        {"differing lengths", "POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",
         R::kBadRequest, R::kPost, R::kHttp11 | R::kClose, 5},
        {"length over the limit", "POST / HTTP/1.1\r\nContent-Length: 1001\r\n\r\n", R::kBadRequest, R::kPost,
         R::kHttp11 | R::kClose, -1},
        {"huge length", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", R::kBadRequest,
         R::kPost, R::kHttp11 | R::kClose, -1},
        {"transfer encoding", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", R::kBadRequest,
         R::kPost, R::kHttp11 | R::kClose, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpRequestReader reader(1000);
        ASSERT_NE(FeedHead(reader, c.head), std::string::npos);
        const HttpRequest& r = reader.Request();
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.method, c.method);
        EXPECT_EQ(r.flags, c.flags);
        EXPECT_EQ(r.contentLength, c.contentLength);
    }
}

TEST(HttpRequestReaderTest, PathIsTheSecondWord) {
    HttpRequestReader reader;
    ASSERT_EQ(FeedHead(reader, "GET  /a%20b?q=1   HTTP/1.1 \r\nContent-Type: text/x\r\n\r\nrest"), 4u);
    EXPECT_EQ(reader.Request().path, "/a%20b?q=1");
    EXPECT_EQ(reader.Request().contentType, "text/x");
}

TEST(HttpRequestReaderTest, BasicCredentialsSplitAtTheFirstColonOnly) {
    struct Cred {
        const char* encoded;
        const char* user;
        const char* password;
    };
    const Cred cases[] = {
        {"dTphOmI6Yw==", "u", "a:b:c"},  // u:a:b:c
        {"dTphYg==", "u", "ab"},         // u:ab
        {"dQ==", "u", ""},               // u
        {"OnB3", "", "pw"},              // :pw
    };
    for (const Cred& c : cases) {
        SCOPED_TRACE(c.encoded);
        HttpRequestReader reader;
        ASSERT_NE(
            FeedHead(reader, std::string("GET / HTTP/1.1\r\nAuthorization: bAsIc ") + c.encoded + "\r\n\r\n"),
            std::string::npos);
        EXPECT_EQ(reader.Request().user, c.user);
        EXPECT_EQ(reader.Request().password, c.password);
    }
    HttpRequestReader digest;
    FeedHead(digest, "GET / HTTP/1.1\r\nAuthorization: Digest dTphOmI6Yw==\r\n\r\n");
    EXPECT_EQ(digest.Request().user, "");
}

TEST(HttpRequestReaderTest, LongLinesAndHeadsAreRefused) {
    {
        HttpRequestReader reader;
        const std::string line = "GET /" + std::string(HttpRequestReader::kMaxLine, 'a');
        ASSERT_NE(FeedHead(reader, line), std::string::npos);
        EXPECT_EQ(reader.Request().status, HttpRequest::kBadRequest);
        EXPECT_TRUE(reader.Request().Has(HttpRequest::kClose));
    }
    {
        // A line of exactly the limit is read.
        HttpRequestReader reader;
        const std::string path = "/" + std::string(HttpRequestReader::kMaxLine - 14, 'a');
        ASSERT_NE(FeedHead(reader, "GET " + path + " HTTP/1.1\r\n\r\n"), std::string::npos);
        EXPECT_EQ(reader.Request().status, HttpRequest::kOk);
    }
    {
        HttpRequestReader reader;
        std::string head = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < 101; ++i) head += "X: y\r\n";
        ASSERT_NE(FeedHead(reader, head + "\r\n"), std::string::npos);
        EXPECT_EQ(reader.Request().status, HttpRequest::kBadRequest);
    }
    {
        HttpRequestReader reader;
        std::string head = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < 5; ++i) head += "X: " + std::string(8000, 'v') + "\r\n";
        ASSERT_NE(FeedHead(reader, head + "\r\n"), std::string::npos);
        EXPECT_EQ(reader.Request().status, HttpRequest::kBadRequest);
    }
    {
        HttpRequestReader reader;
        ASSERT_NE(FeedHead(reader, "GET / HTTP/1.1\r\nX: " + std::string(17000, 'v') + "\r\n\r\n"),
                  std::string::npos);
        EXPECT_EQ(reader.Request().status, HttpRequest::kBadRequest);
    }
}

TEST(HttpRequestReaderTest, ResetReadsTheNextRequest) {
    HttpRequestReader reader;
    FeedHead(reader, "POST /a HTTP/1.1\r\nContent-Length: 3\r\nContent-Type: t\r\n\r\n");
    reader.Reset();
    ASSERT_NE(FeedHead(reader, "GET /b HTTP/1.1\r\n\r\n"), std::string::npos);
    EXPECT_EQ(reader.Request().method, HttpRequest::kGet);
    EXPECT_EQ(reader.Request().contentLength, -1);
    EXPECT_EQ(reader.Request().contentType, "");
    EXPECT_EQ(reader.Request().path, "/b");
}

}  // namespace

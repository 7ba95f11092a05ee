#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orbilume/CSources/Http/FormFieldReader.h"
#include "Orbilume/CSources/Http/MultipartParser.h"
#include "Orbilume/CSources/Http/UrlFormParser.h"

namespace {

// "name=value" per field, "name@file=data" for file parts; data collects across kData answers.
std::vector<std::string> Fields(FormFieldReader& reader, const std::string& body) {
    std::vector<std::string> out;
    std::string data;
    auto act = [&](int r) {
        if (r == FormFieldReader::kData && !reader.FileName().empty()) {
            std::string piece;
            reader.TakeData(piece);
            data += piece;
        } else if (r == FormFieldReader::kField) {
            if (reader.FileName().empty()) {
                out.push_back(reader.Name() + "=" + reader.Value());
            } else {
                std::string rest;
                reader.TakeData(rest);
                out.push_back(reader.Name() + "@" + reader.FileName() + "=" + data + rest);
            }
            data.clear();
        }
    };
    for (char c : body) act(reader.Feed(uint8_t(c)));
    act(reader.Finish());
    return out;
}

TEST(UrlFormParserTest, Fields) {
    struct Case {
        std::string body;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"a=1&b=x+y%21", {"a=1", "b=x y!"}},
        {"a=%4g1", {"a=1"}},  // the broken escape and the 'g' are dropped
        {"a=%7e%7E", {"a=~~"}},
        {"a=b=c", {"a=b=c"}},  // only the first '=' separates
        {"", {}},              // no field with an empty name
        {"a=1&", {"a=1"}},
        {"&&=x&b", {"b="}},
        {"%2Fx%2Fy=1", {"/x/y=1"}},
        {"a%=1", {"a1="}},  // "%=" drops both, so "1" stays in the name
        {"n=%00", {std::string("n=") + '\0'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        UrlFormParser p;
        EXPECT_EQ(Fields(p, c.body), c.fields);
    }
}

TEST(UrlFormParserTest, OversizedFieldIsDropped) {
    UrlFormParser p;
    const std::string big(FormFieldReader::kMaxField + 1, 'v');
    EXPECT_EQ(Fields(p, "a=" + big + "&b=2"), std::vector<std::string>{"b=2"});
    UrlFormParser q;
    const std::string fits(FormFieldReader::kMaxField, 'v');
    EXPECT_EQ(Fields(q, "a=" + fits).size(), 1u);
}

TEST(FormFieldReaderTest, BoundaryFromContentType) {
    struct Case {
        const char* type;
        bool multipart;
        const char* boundary;
    };
    const Case cases[] = {
        {"multipart/form-data; boundary=abc", true, "abc"},
        {"Multipart/Form-Data;boundary=\"a b;c\"", true, "a b;c"},
        {"multipart/form-data; charset=x; BOUNDARY = q ", true, "q"},
        {"multipart/form-data", true, ""},
        {"multipart/form-data; name", true, ""},
        {"application/x-www-form-urlencoded", false, ""},
        {"multipart/mixed; boundary=abc", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        std::string b = "old";
        EXPECT_EQ(FormFieldReader::BoundaryOf(c.type, b), c.multipart);
        EXPECT_EQ(b, c.boundary);
    }
    EXPECT_EQ(FormFieldReader::ForContentType("multipart/form-data; boundary=" + std::string(71, 'b')),
              nullptr);
    EXPECT_EQ(FormFieldReader::ForContentType("multipart/form-data"), nullptr);
    EXPECT_NE(FormFieldReader::ForContentType("multipart/form-data; boundary=" + std::string(70, 'b')),
              nullptr);
    EXPECT_NE(FormFieldReader::ForContentType("text/plain"), nullptr);
}

std::string Part(const std::string& disposition, const std::string& data) {
    return "--XyZ\r\nContent-Disposition: form-data; " + disposition + "\r\nContent-Type: x/y\r\n\r\n" +
           data + "\r\n";
}

TEST(MultipartParserTest, Parts) {
    struct Case {
        const char* name;
        std::string body;
        std::vector<std::string> fields;
    };
    const std::string end = "--XyZ--\r\n";
    const Case cases[] = {
        {"text and file",
         Part("name=\"/layer/1/opacity\"", "0.5") +
             Part("name=\"/layer/1/image\"; filename=\"pic.png\"", "PNG\r\n--Xy") + end,
         {"/layer/1/opacity=0.5", "/layer/1/image@pic.png=PNG\r\n--Xy"}},
        {"no name", Part("filename=\"a\"", "1") + Part("name=b", "2") + end, {"b=2"}},
        {"preamble and epilogue", "junk\r\n" + Part("name=a", "1") + end + Part("name=late", "x"), {"a=1"}},
        {"cut short",
         Part("name=a", "1") + "--XyZ\r\nContent-Disposition: form-data; name=b\r\n\r\nhalf",
         {"a=1"}},
        {"quoted semicolon", Part("name=\"a;b\"; filename=\"c\\\"d\"", "") + end, {"a;b@c\"d="}},
        {"unquoted", Part("NAME=a ; FileName=f.txt", "z") + end, {"a@f.txt=z"}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MultipartParser p("XyZ");
        EXPECT_EQ(Fields(p, c.body), c.fields);
    }
}

TEST(MultipartParserTest, OversizedTextPartIsDroppedButFilesAreNot) {
    const std::string big(FormFieldReader::kMaxField + 10, 'v');
    MultipartParser p("XyZ");
    const auto fields = Fields(
        p, Part("name=a", big) + Part("name=f; filename=g", big) + Part("name=c", "3") + "--XyZ--\r\n");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], "f@g=" + big);
    EXPECT_EQ(fields[1], "c=3");
}

}  // namespace

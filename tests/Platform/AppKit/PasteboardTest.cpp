#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Pasteboard.h"

namespace {

using plat::Pasteboard;
using plat::PasteboardElement;
using plat::Ref;

using Bytes = std::vector<uint8_t>;

struct Owner : plat::PasteboardOwner {
    std::vector<std::string> asked;
    int gone = 0;
    bool provide = true;
    void ProvideData(Pasteboard* pb, const std::string& type) override {
        asked.push_back(type);
        if (provide) {
            EXPECT_TRUE(pb->SetString(type, "late " + type));
        }
    }
    void PasteboardChangedOwner(Pasteboard*) override { ++gone; }
};

TEST(PasteboardTest, NamedBoardsAreDistinctAndStay) {
    EXPECT_EQ(Pasteboard::General(), Pasteboard::General());
    EXPECT_NE(Pasteboard::General(), Pasteboard::Drag());
    EXPECT_NE(Pasteboard::Drag(), Pasteboard::Selection());
    EXPECT_EQ(Pasteboard::General()->Name(), "general");
    EXPECT_EQ(Pasteboard::Selection()->Name(), "selection");
    Ref<Pasteboard> a = Pasteboard::CreateUnique(), b = Pasteboard::CreateUnique();
    EXPECT_NE(a->Name(), b->Name());
}

TEST(PasteboardTest, DeclareClearsAndCountsAddKeepsTheCount) {
    Ref<Pasteboard> pb = Pasteboard::CreateUnique();
    const int64_t start = pb->ChangeCount();
    ASSERT_TRUE(pb->SetString("hello"));
    EXPECT_EQ(pb->ChangeCount(), start);
    EXPECT_EQ(pb->DeclareTypes({Pasteboard::kTypeData, "x", "x", ""}, nullptr), start + 1);
    EXPECT_EQ(pb->Types(), (std::vector<std::string>{Pasteboard::kTypeData, "x"}));
    EXPECT_FALSE(pb->HasType(Pasteboard::kTypeString));
    EXPECT_EQ(pb->AddTypes({"y", "x"}, nullptr), start + 1);
    EXPECT_EQ(pb->Types(), (std::vector<std::string>{Pasteboard::kTypeData, "x", "y"}));
    EXPECT_EQ(pb->ClearContents(), start + 2);
    EXPECT_TRUE(pb->Types().empty());
}

TEST(PasteboardTest, BytesStringsAndArraysKeepTheirForm) {
    Ref<Pasteboard> pb = Pasteboard::CreateUnique();
    pb->DeclareTypes({Pasteboard::kTypeData}, nullptr);
    const Bytes raw = {0, 1, 2, 0xFF};
    ASSERT_TRUE(pb->SetData(Pasteboard::kTypeData, raw.data(), raw.size()));
    ASSERT_TRUE(pb->SetString("text \xC3\xA9"));
    ASSERT_TRUE(pb->SetDataArray("list", {{1}, {}, {2, 3}}));
    ASSERT_TRUE(pb->SetArray("mixed", {{PasteboardElement::Kind::kString, {'a'}}}));
    EXPECT_FALSE(pb->SetData("", raw.data(), raw.size()));
    EXPECT_FALSE(pb->SetData("t", nullptr, 3));
    ASSERT_TRUE(pb->SetData("empty", nullptr, 0));

    Bytes out;
    std::string text;
    std::vector<PasteboardElement> elements;
    EXPECT_TRUE(pb->DataForType(Pasteboard::kTypeData, &out));
    EXPECT_EQ(out, raw);
    EXPECT_TRUE(pb->StringForType(Pasteboard::kTypeString, &text));
    EXPECT_EQ(text, "text \xC3\xA9");
    EXPECT_TRUE(pb->DataForType("empty", &out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(pb->DataForType("list", &out));  // an array is not plain data
    EXPECT_FALSE(pb->ArrayForType(Pasteboard::kTypeData, &elements));
    EXPECT_FALSE(pb->DataForType("missing", &out));
    ASSERT_TRUE(pb->ArrayForType("list", &elements));
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[2].bytes, (Bytes{2, 3}));
    EXPECT_EQ(elements[1].kind, PasteboardElement::Kind::kData);
    ASSERT_TRUE(pb->ArrayForType("mixed", &elements));
    EXPECT_EQ(elements[0].kind, PasteboardElement::Kind::kString);

    // Setting data turns the type's form over.
    ASSERT_TRUE(pb->SetString("list", "flat"));
    EXPECT_FALSE(pb->ArrayForType("list", &elements));
    EXPECT_EQ(pb->AvailableType({"nope", "list", Pasteboard::kTypeData}), "list");
    EXPECT_EQ(pb->AvailableType({"nope"}), "");
}

TEST(PasteboardTest, FileUrlsAndFileNames) {
    Ref<Pasteboard> pb = Pasteboard::CreateUnique();
    pb->ClearContents();
    EXPECT_FALSE(pb->SetFileURLs({"relative/path"}));
    ASSERT_TRUE(pb->SetFileURLs({"/tmp/a b", "/tmp/c%d"}));
    std::vector<std::string> urls, names;
    ASSERT_TRUE(pb->FileURLs(&urls));
    EXPECT_EQ(urls, (std::vector<std::string>{"file:///tmp/a%20b", "file:///tmp/c%25d"}));
    ASSERT_TRUE(pb->FileNames(&names));
    EXPECT_EQ(names, (std::vector<std::string>{"/tmp/a b", "/tmp/c%d"}));

    // Only a names list (an older program): URLs are made from it.
    Ref<Pasteboard> names_only = Pasteboard::CreateUnique();
    ASSERT_TRUE(names_only->SetArray(
        Pasteboard::kTypeFileNames,
        {{PasteboardElement::Kind::kString, {'/', 'x'}}, {PasteboardElement::Kind::kData, {'/', 'y'}}}));
    ASSERT_TRUE(names_only->FileURLs(&urls));
    EXPECT_EQ(urls, (std::vector<std::string>{"file:///x"}));

    // One URL as data; an http URL names no file.
    Ref<Pasteboard> one = Pasteboard::CreateUnique();
    ASSERT_TRUE(one->SetString(Pasteboard::kTypeFileURL, "http://example.invalid/x"));
    ASSERT_TRUE(one->FileURLs(&urls));
    EXPECT_EQ(urls.size(), 1u);
    ASSERT_TRUE(one->FileNames(&names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(Pasteboard::CreateUnique()->FileURLs(&urls));
}

TEST(PasteboardTest, PromisedDataIsAskedOnceAndOwnerToldWhenTakenOver) {
    Ref<Pasteboard> pb = Pasteboard::CreateUnique();
    Owner first, second;
    pb->DeclareTypes({"a", "b"}, &first);
    EXPECT_EQ(pb->Owner(), &first);
    EXPECT_TRUE(first.asked.empty());
    std::string text;
    ASSERT_TRUE(pb->StringForType("a", &text));
    EXPECT_EQ(text, "late a");
    ASSERT_TRUE(pb->StringForType("a", &text));
    EXPECT_EQ(first.asked, (std::vector<std::string>{"a"}));
    EXPECT_FALSE(pb->StringForType("c", &text));  // never declared: nobody asked
    EXPECT_EQ(first.asked.size(), 1u);

    // Re-declaring by the same owner does not tell it; another owner does, once.
    pb->DeclareTypes({"a"}, &first);
    EXPECT_EQ(first.gone, 0);
    pb->DeclareTypes({"a"}, &second);
    EXPECT_EQ(first.gone, 1);
    pb->ClearContents();
    EXPECT_EQ(second.gone, 1);
    pb->ClearContents();
    EXPECT_EQ(second.gone, 1);

    // A promise not kept reads as missing; a forgotten owner is neither asked nor told.
    Owner lazy;
    lazy.provide = false;
    pb->DeclareTypes({"a"}, &lazy);
    EXPECT_FALSE(pb->DataForType("a", nullptr));
    pb->ForgetOwner(&lazy);
    EXPECT_FALSE(pb->DataForType("a", nullptr));
    EXPECT_EQ(lazy.asked.size(), 1u);
    pb->ClearContents();
    EXPECT_EQ(lazy.gone, 0);
}

TEST(PasteboardTest, ProviderReadingItsOwnPromiseGetsNothing) {
    struct Reentrant : plat::PasteboardOwner {
        int calls = 0;
        void ProvideData(Pasteboard* pb, const std::string& type) override {
            ++calls;
            EXPECT_FALSE(pb->DataForType(type, nullptr));
            // Adding types while asked must not disturb the reader.
            pb->AddTypes({"x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8"}, this);
            EXPECT_TRUE(pb->SetString(type, "ok"));
        }
    } owner;
    Ref<Pasteboard> pb = Pasteboard::CreateUnique();
    pb->DeclareTypes({"t"}, &owner);
    std::string text;
    ASSERT_TRUE(pb->StringForType("t", &text));
    EXPECT_EQ(text, "ok");
    EXPECT_EQ(owner.calls, 1);
    pb->ForgetOwner(&owner);
}

TEST(PasteboardTest, ChangeHookSeesEveryChange) {
    Ref<Pasteboard> pb = Pasteboard::CreateUnique();
    std::vector<int64_t> seen;
    pb->SetChangeHook([](Pasteboard* p,
                         void* ctx) { static_cast<std::vector<int64_t>*>(ctx)->push_back(p->ChangeCount()); },
                      &seen);
    pb->DeclareTypes({"a"}, nullptr);
    pb->SetString("a", "x");
    pb->AddTypes({"b"}, nullptr);
    pb->ClearContents();
    EXPECT_EQ(seen, (std::vector<int64_t>{1, 1, 1, 2}));
    pb->SetChangeHook(nullptr, nullptr);
    pb->ClearContents();
    EXPECT_EQ(seen.size(), 4u);
}

TEST(PasteboardTest, TypeCodeTable) {
    struct Case {
        const char* type;
        uint32_t code;
    } cases[] = {
        {Pasteboard::kTypeString, 0x75746638},
        {Pasteboard::kTypeFileURL, 0x6675726C},
        {Pasteboard::kTypeFileNames, 0x68667320},
        {"TEXT", 0x54455854},
        {"ORBr", 0x4F524272},
        {"ab", 0x20206162},
        {"a b ", 0x61206220},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Pasteboard::CodeForType(c.type), c.code) << c.type;
        EXPECT_EQ(Pasteboard::TypeForCode(c.code), c.type) << c.type;
    }
    EXPECT_EQ(Pasteboard::CodeForType(Pasteboard::kTypeData), 0u);
    EXPECT_EQ(Pasteboard::CodeForType("com.example.long"), 0u);
    EXPECT_EQ(Pasteboard::CodeForType(""), 0u);
    EXPECT_EQ(Pasteboard::CodeForType(std::string("a\0b", 3)), 0u);
    EXPECT_EQ(Pasteboard::TypeForCode(0), "");
    EXPECT_EQ(Pasteboard::TypeForCode(0x61620063), "ab");  // stops at the zero byte
}

}  // namespace

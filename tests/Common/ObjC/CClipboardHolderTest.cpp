#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CClipboardHolder.h"
#include "Lib3/LSources/Mac/LTextScrap.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/support/GeneralPasteboardText.h"

namespace {

std::vector<std::string>* gLog = nullptr;

struct Owner : CClipboardOwner {
    explicit Owner(const char* n, const char* t = "") : name(n), text(t) {}
    void ClipboardTaken() override { gLog->push_back(name + " taken"); }
    void ClipboardLost(const CClipboardOwner* next) override {
        gLog->push_back(name + " lost to " +
                        (next ? static_cast<const Owner*>(next)->name : std::string("none")));
    }
    LString ClipboardText() const override { return LString(text.c_str()); }
    bool PasteboardHasText() const override { return pasteboardText; }
    std::string name;
    std::string text;
    bool pasteboardText = false;
};

class CClipboardHolderTest : public ::testing::Test {
protected:
    CClipboardHolderTest() { gLog = &log; }
    ~CClipboardHolderTest() override { gLog = nullptr; }
    std::vector<std::string> log;
    testsupport::GeneralPasteboardText board;
};

TEST_F(CClipboardHolderTest, OwnersAreToldInOrderAndANullOwnerIsNotCalled) {
    Owner a("a"), b("b");
    {
        CClipboardHolder holder;
        EXPECT_EQ(CClipboardHolder::Get(), &holder);
        holder.SetOwner(&a);
        holder.SetOwner(&b);
        holder.SetOwner(nullptr);  // released: nobody to call
        EXPECT_EQ(holder.Owner(), nullptr);
        holder.SetOwner(&a);
        holder.Clear();
        holder.SetOwner(&b);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"a taken", "a lost to b", "b taken", "b lost to none", "a taken",
                                             "a lost to none", "b taken", "b lost to none"}));
    EXPECT_EQ(CClipboardHolder::Get(), nullptr);
}

TEST_F(CClipboardHolderTest, AScrapIsWrittenAndReadBackAndDropsTheOwner) {
    CClipboardHolder holder;
    Owner a("a");
    holder.SetOwner(&a);
    auto scrap = std::make_unique<LScrapData>();
    ASSERT_TRUE(scrap->AddFlavor(LString("org.orbilume.cue"), 0, "cue!", 4, 0));
    holder.PutScrap(std::move(scrap));
    EXPECT_EQ(holder.Owner(), nullptr);
    ASSERT_NE(holder.Scrap(), nullptr);
    EXPECT_TRUE(plat::Pasteboard::General()->HasType(plat::Pasteboard::kTypeData));
    LScrapData read;
    ASSERT_TRUE(holder.Read(read));
    bool found = false;
    for (const SSLink* l = read.Items().First(); !l->IsEnd(); l = l->next) {
        const auto* f = static_cast<const LScrapFlavor*>(l);
        if (f->typeName == "org.orbilume.cue")
            found = f->size == 4 && std::string(reinterpret_cast<char*>(f->bytes), 4) == "cue!";
    }
    EXPECT_TRUE(found);
    holder.SetOwner(&a);
    EXPECT_EQ(holder.Scrap(), nullptr);
    EXPECT_EQ(log.front(), "a taken");
}

TEST_F(CClipboardHolderTest, OwnershipAndSameText) {
    CClipboardHolder holder;
    Owner a("a", "one"), b("b", "one"), c("c", "two");
    EXPECT_FALSE(holder.IsOwnedBy(a));
    holder.SetOwner(&a);
    EXPECT_TRUE(holder.IsOwnedBy(a));
    EXPECT_FALSE(holder.IsOwnedBy(b));
    EXPECT_TRUE(holder.SameText(b));
    EXPECT_FALSE(holder.SameText(c));
    c.pasteboardText = true;
    EXPECT_TRUE(holder.SameText(c));
}

TEST_F(CClipboardHolderTest, TextScrapsPutOnlyText) {
    board.WriteString("before");
    LTextScrap empty;
    empty.Put();
    EXPECT_EQ(board.Text(), "before");
    LTextScrap scrap(LString("Grüße"));
    scrap.Put();
    EXPECT_EQ(board.Text(), "Grüße");
    EXPECT_TRUE(scrap.Available());
    LTextScrap copy;
    EXPECT_TRUE(copy.TakeFrom(scrap));
    EXPECT_TRUE(copy.Text() == "Grüße");
    LTextScrap read;
    ASSERT_TRUE(read.Read());
    EXPECT_TRUE(read.Text() == "Grüße");
    plat::Pasteboard::General()->ClearContents();
    EXPECT_FALSE(read.Available());
    EXPECT_FALSE(read.Read());
}

}  // namespace

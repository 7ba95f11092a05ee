#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Common/Stream/CXmlArena.h"
#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "tests/Common/Stream/XmlTestUtil.h"

namespace {

// Pieces of every size, texts and objects by turns, some larger than a block: each object is
// aligned, each text is its bytes and a NUL, and nothing overlaps what came before.
TEST(CXmlArena, PiecesStayAlignedAndApart) {
    CXmlArena arena;
    struct Piece {
        unsigned char* at;
        std::string bytes;
    };
    std::vector<Piece> pieces;
    for (size_t n : {0u, 1u, 7u, 15u, 16u, 17u, 100u, 4095u, 5000u, 20000u, 3u, 1u << 20, 2u, 300000u}) {
        auto* object = static_cast<unsigned char*>(arena.Allocate(n));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % alignof(std::max_align_t), 0u) << n;
        std::memset(object, 0xAB, n);
        pieces.push_back({object, std::string(n, '\xAB')});

        std::string text(n % 5000, static_cast<char>('a' + n % 26));
        unsigned char* copy = arena.Copy(reinterpret_cast<const unsigned char*>(text.data()),
                                         static_cast<uint32_t>(text.size()));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy[text.size()], 0) << n;
        pieces.push_back({copy, text});
    }
    for (const Piece& p : pieces) EXPECT_EQ(std::memcmp(p.at, p.bytes.data(), p.bytes.size()), 0);
}

// Arenas of several threads, one after another in each, pass their largest blocks on to later
// arenas: every arena's pieces keep what it wrote, whichever arena's memory they reuse.
TEST(CXmlArena, LaterArenasReuseBlocksSafely) {
    auto work = [](unsigned char seed, bool* intact) {
        for (int round = 0; round < 4; ++round) {
            CXmlArena arena;
            std::vector<unsigned char*> pieces;
            for (int i = 0; i < 600; ++i) {  // about 6 MB: blocks grow to the largest size
                auto* p = static_cast<unsigned char*>(arena.Allocate(10000));
                if (!p) return;
                std::memset(p, seed + round, 10000);
                pieces.push_back(p);
            }
            for (unsigned char* p : pieces)
                if (p[0] != seed + round || p[9999] != seed + round) return;
        }
        *intact = true;
    };
    bool intact[3] = {};
    std::thread a(work, 10, &intact[0]), b(work, 60, &intact[1]);
    work(110, &intact[2]);
    a.join();
    b.join();
    EXPECT_TRUE(intact[0] && intact[1] && intact[2]);
}

// Elements and attributes made in a holder's arena sit beside ones made on the heap; both kinds
// are deleted with the tree, and a replaced text of an arena element reads as the new one.
TEST(CXmlArena, TreeMixesArenaAndHeapElements) {
    xmltest::ChunkedIn in("<doc><a k=\"v\">x</a></doc>", 1024);
    CXmlTokenizer t(in);
    CXmlReader::NextStartTag(t);
    CXmlRootHolder holder;
    ASSERT_EQ(CXmlDom::Build(holder, t), CXmlDom::kBuilt);
    CXmlElement* root = holder.Root();
    auto* own = new CXmlElement;
    ASSERT_TRUE(own->SetTagName(LString("p:own")));
    ASSERT_TRUE(own->AddAttribute(reinterpret_cast<const unsigned char*>("n"), 1,
                                  reinterpret_cast<const unsigned char*>("1"), 1));
    ASSERT_TRUE(own->SetText(LString("first")));
    ASSERT_TRUE(own->SetText(LString("second")));
    root->AppendChild(own);
    CXmlElement* a = root->FindChild("a");
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(a->SetText(LString("replaced")));
    EXPECT_EQ(a->Text(), LString("replaced"));
    EXPECT_EQ(a->GetAttribute("k"), LString("v"));
    ASSERT_EQ(root->FindChild("own"), own);
    EXPECT_EQ(own->Prefix(), LString("p"));
    EXPECT_EQ(own->Text(), LString("second"));
    EXPECT_EQ(own->GetAttribute("n"), LString("1"));
    CXmlElement::DeleteChild(root, a);
    EXPECT_EQ(root->ChildCount(), 1u);
}

}  // namespace

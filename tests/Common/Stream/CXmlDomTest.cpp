#include <gtest/gtest.h>

#include <string>

#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "tests/Common/Stream/XmlTestUtil.h"

namespace {

// Builds the tree under the first start tag of xml.
struct Built {
    explicit Built(const std::string& xml) : in(xml, 1024), t(in) {
        CXmlReader::NextStartTag(t);
        result = CXmlDom::Build(holder, t);
    }
    xmltest::ChunkedIn in;
    CXmlTokenizer t;
    CXmlRootHolder holder;
    int result;
};

TEST(CXmlDom, BuildsNamesPrefixesTextAndAttributes) {
    Built b("<doc><x:item id=\"1\">a<sub/>b</x:item><item v=\"l1\r\nl2\"/><p:q:r/></doc>");
    ASSERT_EQ(b.result, CXmlDom::kBuilt);
    CXmlElement* root = b.holder.Root();
    ASSERT_EQ(root->ChildCount(), 3u);
    CXmlElement* first = root->FindChild("item");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Prefix(), LString("x"));
    EXPECT_EQ(first->Text(), LString("ab"));
    EXPECT_EQ(first->GetAttribute("id"), LString("1"));
    EXPECT_TRUE(first->GetAttribute("missing").IsEmpty());
    EXPECT_EQ(first->FindChild("sub")->Parent(), first);
    auto* second = static_cast<CXmlElement*>(first->next);
    EXPECT_EQ(second->GetAttribute("v"), LString("l1\nl2"));
    auto* third = static_cast<CXmlElement*>(second->next);
    EXPECT_EQ(third->Prefix(), LString("p"));
    EXPECT_EQ(third->Name(), LString("q:r"));
}

TEST(CXmlDom, PartialTreeAtTheEndOfInput) {
    Built b("<doc><a><b>text");
    EXPECT_EQ(b.result, CXmlDom::kBuilt);
    CXmlElement* a = b.holder.Root()->FindChild("a");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->FindChild("b"), nullptr);
    EXPECT_EQ(a->FindChild("b")->Text(), LString("text"));
}

TEST(CXmlDom, RefusesAnotherRootAndBoundsDepth) {
    xmltest::ChunkedIn in("<a/>", 1024);
    CXmlTokenizer t(in);
    CXmlReader::NextStartTag(t);
    CXmlRootHolder holder;
    ASSERT_TRUE(holder.Root()->SetTagName(LString("other")));
    EXPECT_EQ(CXmlDom::Build(holder, t), CXmlDom::kRefused);

    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<e>";
    Built b("<doc>" + deep);
    EXPECT_EQ(b.result, CXmlDom::kTooDeep);
}

struct Probe : CXmlAttachable {
    explicit Probe(int* deaths) : fDeaths(deaths) {}
    ~Probe() override { ++*fDeaths; }
    int* fDeaths;
};

TEST(CXmlElement, AttachmentsAndChildDeletion) {
    int deaths = 0;
    {
        CXmlRootHolder holder;
        CXmlElement* root = holder.Root();
        auto* child = new CXmlElement;
        ASSERT_TRUE(child->SetTagName(LString("c")));
        root->AppendChild(child);
        auto* p = new Probe(&deaths);
        child->Attach(p);
        EXPECT_EQ(p->fOwner, child);
        child->Attach(new Probe(&deaths));
        EXPECT_EQ(deaths, 1);
        auto* gone = new CXmlElement;
        root->AppendChild(gone);
        gone->Attach(new Probe(&deaths));
        CXmlElement::DeleteChild(root, gone);
        EXPECT_EQ(deaths, 2);
        EXPECT_EQ(root->ChildCount(), 1u);
    }
    EXPECT_EQ(deaths, 3);
}

}  // namespace

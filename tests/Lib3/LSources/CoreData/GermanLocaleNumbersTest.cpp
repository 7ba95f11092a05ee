#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"
#include "tests/Lib3/LSources/CoreData/XmlDocumentTestTypes.h"

namespace {

// Numbers in stored and pasted text are written and read with a full stop, whatever the process
// locale says: a German locale writes 1.25 as "1,25" through printf and reads "1.25" as 1.
class GermanLocaleNumbers : public ::testing::Test {
protected:
    void SetUp() override {
        fSaved = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    void TearDown() override {
        if (!fSaved.empty()) std::setlocale(LC_ALL, fSaved.c_str());
    }
    // Runs f in the C locale and returns to German after.
    template <class F>
    void InC(F f) {
        std::setlocale(LC_ALL, "C");
        f();
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    }

private:
    std::string fSaved;
};

struct Owned {
    CRecord* r;
    explicit Owned(CRecord* record) : r(record) {}
    ~Owned() { CRecord::Delete(r); }
};

std::string Text(const CBytes& b) {
    return std::string(reinterpret_cast<const char*>(b.Data()), b.Count());
}

TEST_F(GermanLocaleNumbers, ScrapParameterSetsAndDocumentsUseAFullStop) {
    // The scrap form: the same bytes as in the C locale, and C-locale bytes read back whole.
    rtest::gHook = rtest::HookState();
    Owned node(rtest::NewNode("node"));
    node.r->Slot(rtest::kFloat).f32 = 1.25f;
    const float floats[] = {0.125f, -3.5f};
    EXPECT_TRUE(node.r->SetArrayRaw(rtest::kFloats, floats, 2));
    auto scrap = [&](CBytes& data) {
        CScrapWriter writer(1, 1, data);
        EXPECT_TRUE(writer.WriteRecord(node.r));
    };
    CBytes inC, inGerman;
    InC([&] { scrap(inC); });
    scrap(inGerman);
    EXPECT_EQ(Text(inGerman), Text(inC));
    EXPECT_NE(Text(inGerman).find("1.25"), std::string::npos);
    EXPECT_EQ(Text(inGerman).find("1,25"), std::string::npos);
    CScrapReader reader(inC.Data(), inC.Count());
    Owned back(reader.ReadRecord());
    ASSERT_TRUE(back.r);
    EXPECT_EQ(back.r->GetFloat(rtest::kFloat), 1.25f);
    EXPECT_EQ(rtest::Dump(back.r), rtest::Dump(node.r));

    // Parameter sets hold their numbers as text.
    CRecord* set = CRecord::New(&CParamSet::SetType());
    Owned ownedSet(set);
    CRecordRef ref(&ownedSet.r);
    CParamSet::SetFloat(ref, nullptr, LString("f"), 3, 1.25);
    LString value;
    ASSERT_GE(CParamSet::Find(ref, LString("f"), &value), 0);
    EXPECT_STREQ(value.CStr(), "1.25");
    CParamSet::SetString(ref, nullptr, LString("g"), LString("-0.5"));
    double f = 0;
    EXPECT_GE(CParamSet::GetFloat(ref, LString("f"), f), 0);
    EXPECT_EQ(f, 1.25);
    EXPECT_GE(CParamSet::GetFloat(ref, LString("g"), f), 0);
    EXPECT_EQ(f, -0.5);

    // Document XML.
    CRecord* root = CRecord::New(&xmldoc::gRootType);
    Owned ownedRoot(root);
    CRecordRef item(&root->Slot(xmldoc::kSub).record);
    item.SetFloat(nullptr, xmldoc::kFval, -1.25f);
    const float flts[] = {0.25f, -3.5f};
    item.SetArray(nullptr, xmldoc::kFlts, flts, 2);
    std::string xmlInC;
    InC([&] { xmlInC = xmldoc::Written(root); });
    const std::string xml = xmldoc::Written(root);
    EXPECT_EQ(xml, xmlInC);
    EXPECT_NE(xml.find("-1.25"), std::string::npos) << xml;
    CRecord* read = CRecord::New(&xmldoc::gRootType);
    Owned ownedRead(read);
    ASSERT_EQ(xmldoc::Read(xmlInC, &ownedRead.r), 1);
    const CRecord* sub = ownedRead.r->GetSubRecord(xmldoc::kSub);
    EXPECT_EQ(sub->GetFloat(xmldoc::kFval), -1.25f);
    ASSERT_EQ(sub->ArrayCount(xmldoc::kFlts), 2u);
    EXPECT_EQ(xmldoc::Written(ownedRead.r), xmlInC);
    rtest::gHook = rtest::HookState();
}

}  // namespace

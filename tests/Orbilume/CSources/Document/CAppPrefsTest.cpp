#include <gtest/gtest.h>

#include <string>

#include "Common/Mac/CPrefsRecord.h"
#include "Common/Mac/PrefsStore.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "tests/Common/Mac/PrefsTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;

namespace {

using P = CAppPrefs;

TEST(AppPrefs, NewRecordHoldsTheDefaults) {
    EXPECT_EQ(P::Get(), nullptr);
    {
        CAppPrefs prefs;
        EXPECT_EQ(P::Get(), &prefs);
        const CRecord* r = prefs.Root();
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->FieldCount(), 58u);
        EXPECT_EQ(P::DocType().FieldCount(), 14u);
        EXPECT_EQ(r->GetUInt(P::kPrefOscPort), 51000u);
        EXPECT_EQ(r->GetUInt(P::kPrefSacnUniverse), 1u);
        EXPECT_EQ(r->GetUInt(P::kPrefResolution), 0u);
        EXPECT_EQ(r->ArrayCount(P::kPrefDocs), 0u);
        EXPECT_NE(r->GetSubRecord(P::kPrefOutAdjUnit), nullptr);
        EXPECT_NE(r->GetSubRecord(P::kPrefLedLayout), nullptr);
        for (uint32_t n = P::kPrefMidiTable; n < P::kPrefFieldCount; ++n) EXPECT_EQ(r->Field(n).tag, 0u) << n;
        CRecord* doc = prefs.AppendDocument();
        ASSERT_NE(doc, nullptr);
        EXPECT_FLOAT_EQ(doc->GetFloat(P::kDocDivider1), 0.5f);
        EXPECT_FLOAT_EQ(doc->GetFloat(P::kDocDivider2), 1.0f);
        EXPECT_EQ(doc->Field(P::kDocDivider1).decimals, 3);
        for (uint32_t n = P::kDocOpenNow; n <= P::kDocRunTime13; ++n) EXPECT_EQ(doc->Field(n).tag, 0u) << n;
    }
    EXPECT_EQ(P::Get(), nullptr);
}

TEST(AppPrefs, FindDocumentSkipsOpenRecordsAndActivationOrders) {
    CAppPrefs prefs;
    const LFsSpec a = CMacFileU::LFsSpecFromPath("/srv/a.obm");
    const LFsSpec b = CMacFileU::LFsSpecFromPath("/srv/b.obm");
    auto add = [&](const LFsSpec& spec) {
        CRecord* doc = prefs.AppendDocument();
        CRecordRef(&doc).SetFileSpecField(nullptr, P::kDocPath, spec);
        return doc;
    };
    CRecord* older = add(CMacFileU::LFsSpecFromPath("/srv/old.obm"));
    CRecord* ra = add(a);
    EXPECT_EQ(prefs.FindDocument(a), ra);
    EXPECT_EQ(prefs.FindDocument(LFsSpec()), nullptr);
    ra->Slot(P::kDocOpenNow).u8 = 1;  // open now: a second window on it gets its own record
    EXPECT_EQ(prefs.FindDocument(a), nullptr);
    ra->Slot(P::kDocOpenNow).u8 = 0;

    // Activating A, B, A leaves B, A last.
    auto activate = [&](const LFsSpec& spec) {
        CRecord* doc = prefs.FindDocument(spec);
        if (!doc) doc = add(spec);
        prefs.MoveDocumentToEnd(doc);
    };
    activate(a);
    activate(b);
    activate(a);
    const CRecord* root = prefs.Root();
    ASSERT_EQ(root->ArrayCount(P::kPrefDocs), 3u);
    EXPECT_EQ(root->GetElement(P::kPrefDocs, 0), older);
    CRecord* second = root->GetElement(P::kPrefDocs, 1);
    CRecord* third = root->GetElement(P::kPrefDocs, 2);
    EXPECT_EQ(CRecordRef(&second).GetFileSpecField(P::kDocPath), b);
    EXPECT_EQ(CRecordRef(&third).GetFileSpecField(P::kDocPath), a);
}

class AppPrefsStore : public PrefsFixture {};

// Settings bound to the preferences value: run-time fields stay out, missing and wrong-kind values
// keep their defaults.
TEST_F(AppPrefsStore, BoundRecordStoresAndReadsBack) {
    std::string original;
    {
        CAppPrefs prefs;
        CPrefsRecord bound(&prefs, LString());
        CRecordRef root = prefs.RootRef();
        root.SetUInt(nullptr, P::kPrefOscPort, 9000);
        root.SetByte(nullptr, P::kPrefSilentAdd, 1);
        CParamSet::SetString(CRecordRef(&root->Slot(P::kPrefMisc).record), nullptr, LString("schctl"),
                             LString("1"));
        CRecord* doc = prefs.AppendDocument();
        CRecordRef(&doc).SetFileSpecField(nullptr, P::kDocPath, CMacFileU::LFsSpecFromPath("/srv/show.obm"));
        const int32_t rect[] = {1, 2, 300, 400};
        CRecordRef(&doc).SetArray(nullptr, P::kDocConsoleRect, rect, 4);
        original = Flat(prefs.Root());
        doc->Slot(P::kDocOpenNow).u8 = 1;  // run-time: never stored
        root->Slot(P::kPrefRunTime53).u8 = 1;
    }
    plat::Preferences::Reset();
    CAppPrefs back;
    CPrefsRecord bound(&back, LString());
    EXPECT_EQ(Flat(back.Root()), original);
}

}  // namespace

namespace {

// A hand-edited file: a missing field keeps its default, a value of another kind reads as the default.
TEST_F(AppPrefsStore, HandEditedValuesOfTheWrongKindKeepDefaults) {
    {
        PrefsStore store(LString(), PrefsStore::kWritable);
        PrefsSection section(&store, "");
        const uint8_t blob[] = {1, 2};
        section.SetData("ospt", blob, 2);  // bytes where text is expected
        section.SetString("rsdv", LString("2 "));
        section.SetString("unknown", LString("x"));
    }
    plat::Preferences::Reset();
    CAppPrefs prefs;
    CPrefsRecord bound(&prefs, LString());
    EXPECT_EQ(prefs.Root()->GetUInt(CAppPrefs::kPrefOscPort), 51000u);
    EXPECT_EQ(prefs.Root()->GetUInt(CAppPrefs::kPrefSacnUniverse), 1u);
    EXPECT_EQ(prefs.Root()->GetUInt(CAppPrefs::kPrefResolution), 2u);
}

}  // namespace

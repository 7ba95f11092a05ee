#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Editors/CDmxIoDlg.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

bool Enabled(const LPane* p) {
    return (p->State() & LPane::kEnabled) != 0;
}

class CDmxIoDlgTest : public dialogtest::HeadlessDialogTest {};

TEST_F(CDmxIoDlgTest, KeysInOrderPresetToTheStoredOne) {
    ASSERT_TRUE(resources.Ok());
    CDmxIoDlg d(&root, nullptr);
    EXPECT_STREQ(d.OkButton()->GetTitle().CStr(), "OK");
    struct Case {
        std::vector<std::string> keys;
        const char* stored;
        int32_t selected;
    } cases[] = {
        {{"A1", "B2", "C3"}, "B2", 1}, {{"A1", "B2", "B2"}, "B2", 1},
        {{"A1", "B2"}, "b2", 0},   // byte for byte
        {{"A1", "B2"}, "B2 ", 0},  // no trimming
        {{"A1", "B2"}, "", 0},         {{"0000ABCD"}, "0000ABCD", 0},
    };
    for (const Case& c : cases) {
        d.SetKeys(c.keys, LString(c.stored));
        ASSERT_EQ(d.KeyPopup()->Count(), int32_t(c.keys.size()));
        EXPECT_EQ(d.KeyPopup()->GetValue(), c.selected) << c.stored;
        EXPECT_EQ(std::string(d.SelectedKey().CStr()), c.keys[size_t(c.selected)]);
        EXPECT_TRUE(Enabled(d.OkButton()));
    }
    d.SetKeys({}, LString("A1"));
    EXPECT_EQ(d.KeyPopup()->Count(), 0);
    EXPECT_FALSE(Enabled(d.OkButton()));
    EXPECT_TRUE(d.SelectedKey().IsEmpty());
}

TEST_F(CDmxIoDlgTest, DeadZoneKnobClampsAndTruncates) {
    ASSERT_TRUE(resources.Ok());
    CDeadZoneDlg d(&root, nullptr);
    EXPECT_FLOAT_EQ(d.Knob()->Maximum(), 100);
    d.SetPercent(250);
    EXPECT_EQ(d.Percent(), 100u);
    (void)d.Knob()->SetText(LString("37.9"));
    EXPECT_EQ(d.Percent(), 37u);
    (void)d.Knob()->SetText(LString("-5"));
    EXPECT_EQ(d.Percent(), 0u);
    ExpectTidy(d, {d.OkButton(), d.Knob()});
}

}  // namespace

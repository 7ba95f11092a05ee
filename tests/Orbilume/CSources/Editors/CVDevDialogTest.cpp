#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Platform/Foundation/RunLoop.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Editors/CVDevDialog.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Media/CaptureRegistry.h"
#include "Platform/Media/synthetic/SyntheticCapture.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class CVDevDialogTest : public dialogtest::HeadlessDialogTest {
protected:
    CVDevDialogTest() {
        auto provider = std::make_shared<plat::SyntheticCapture>();
        synthetic = provider.get();
        registry.AddProvider(provider);
        synthetic->AddDevice({"Cam A", 64, 48, 30, plat::kCaptureVideo});
        synthetic->AddDevice({"Mic", 64, 48, 30, plat::kCaptureAudio});
        synthetic->AddDevice({"Cam B", 64, 48, 30, plat::kCaptureVideo});
    }
    void Store(uint32_t slot, const char* name) {
        CRecord* set = prefs.Root()->GetSubRecord(CAppPrefs::kPrefVideoSlots);
        CRecord* sub = CParamSet::GetOrCreateSubSet(CRecordRef(&set), nullptr, LString(std::to_string(slot).c_str()));
        CParamSet::SetString(CRecordRef(&sub), nullptr, LString("name"), LString(name));
    }
    bool HasSlotSet(uint32_t slot) {
        CRecord* set = prefs.Root()->GetSubRecord(CAppPrefs::kPrefVideoSlots);
        return CParamSet::GetSubSet(CRecordRef(&set), LString(std::to_string(slot).c_str())) != nullptr;
    }
    CVDevCell* Cell(CVDevList* list, int32_t row) {
        CCellRef ref(list, {0, row}, false);
        return static_cast<CVDevCell*>(ref.Pane());
    }
    std::vector<std::string> Items(CVDevCell* c) {
        std::vector<std::string> out;
        for (int32_t i = 0; i < c->Popup()->Count(); ++i) out.push_back(Str(c->Popup()->ItemTitle(i)));
        return out;
    }
    void Choose(CVDevCell* c, int32_t item) {
        (void)c->Popup()->SetValue(item);
        LHandler::Dispatch(LMessage(LPopupList_Changed, c->Popup(), c));
    }
    static void Pump() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    }

    CAppPrefs prefs;
    plat::CaptureRegistry registry;
    plat::SyntheticCapture* synthetic = nullptr;
};

TEST_F(CVDevDialogTest, RowsListTheVideoDevicesAndSelectTheStoredOne) {
    ASSERT_TRUE(resources.Ok());
    Store(0, "Cam B");
    Store(1, "Gone Cam");
    CVDevDialog d(&root, CVDevDialog::DefaultSpec(), &prefs, &registry);
    Show(&d);
    EXPECT_EQ(d.List()->Rows(), 4);
    CVDevCell* c = Cell(d.List(), 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Str(c->Label()->Text()), "1");
    EXPECT_EQ(Items(c), (std::vector<std::string>{"None", "Cam A", "Cam B"}));
    EXPECT_EQ(c->Popup()->GetValue(), 2);
    // An absent device shows item 0 and its name is kept.
    c = Cell(d.List(), 1);
    EXPECT_EQ(c->Popup()->GetValue(), 0);
    EXPECT_EQ(Str(d.List()->StoredName(1)), "Gone Cam");
    EXPECT_EQ(Cell(d.List(), 3)->Popup()->GetValue(), 0);
    EXPECT_EQ(Str(Cell(d.List(), 3)->Label()->Text()), "4");
}

TEST_F(CVDevDialogTest, ChoicesStoreNamesAndItemZeroStoresNone) {
    ASSERT_TRUE(resources.Ok());
    CVDevDialog d(&root, CVDevDialog::DefaultSpec(), &prefs, &registry);
    Show(&d);
    EXPECT_FALSE(HasSlotSet(2));
    Choose(Cell(d.List(), 2), 1);
    EXPECT_TRUE(HasSlotSet(2));  // made on the first choice
    EXPECT_EQ(Str(d.List()->StoredName(2)), "Cam A");
    Choose(Cell(d.List(), 2), 0);
    EXPECT_TRUE(d.List()->StoredName(2).IsEmpty());
}

TEST_F(CVDevDialogTest, UnpluggingRebuildsThePopups) {
    ASSERT_TRUE(resources.Ok());
    Store(0, "Cam B");
    CVDevDialog d(&root, CVDevDialog::DefaultSpec(), &prefs, &registry);
    Show(&d);
    Pump();
    ASSERT_EQ(Items(Cell(d.List(), 0)).size(), 3u);
    const uint32_t before = d.List()->Rebuilds();
    ASSERT_TRUE(synthetic->RemoveDevice("Cam B"));
    Pump();
    EXPECT_GT(d.List()->Rebuilds(), before);
    CVDevCell* c = Cell(d.List(), 0);
    EXPECT_EQ(Items(c), (std::vector<std::string>{"None", "Cam A"}));
    EXPECT_EQ(c->Popup()->GetValue(), 0);
    EXPECT_EQ(Str(d.List()->StoredName(0)), "Cam B");
    // It comes back: selected again.
    synthetic->AddDevice({"Cam B", 64, 48, 30, plat::kCaptureVideo});
    Pump();
    EXPECT_EQ(Cell(d.List(), 0)->Popup()->GetValue(), 2);
}

TEST_F(CVDevDialogTest, NamesOfAnyBytesShowReplacementCharactersAndTheFirstOfTwoMatches) {
    ASSERT_TRUE(resources.Ok());
    const char* const kBroken = "Cam \xff\xc3";
    const char* const kShown = "Cam \xef\xbf\xbd\xef\xbf\xbd";  // what the broken bytes show as
    synthetic->AddDevice({kBroken, 64, 48, 30, plat::kCaptureVideo});
    synthetic->AddDevice({"Twin", 64, 48, 30, plat::kCaptureVideo});
    synthetic->AddDevice({"Twin", 64, 48, 30, plat::kCaptureVideo});
    synthetic->AddDevice({kShown, 64, 48, 30, plat::kCaptureVideo});
    Store(0, "Twin");
    Store(1, kBroken);
    Store(3, kShown);
    CVDevDialog d(&root, CVDevDialog::DefaultSpec(), &prefs, &registry);
    Show(&d);
    Pump();
    // None, Cam A, Cam B, the broken name, the two twins, the name with U+FFFD.
    ASSERT_EQ(Items(Cell(d.List(), 0)).size(), 7u);
    EXPECT_EQ(Cell(d.List(), 0)->Popup()->GetValue(), 4);
    EXPECT_EQ(Cell(d.List(), 1)->Popup()->GetValue(), 3);  // the stored bytes match the device's
    EXPECT_EQ(Cell(d.List(), 3)->Popup()->GetValue(), 6);

    // On the screen the broken name reads as U+FFFD: the same ink as the device named that way.
    plat::Window* native = d.Window()->NativeWindow();
    const CRgn all(CLRect{0, 0, d.Bounds().Width(), d.Bounds().Height()});
    d.Invalidate(all, all);
    native->Display();
    plat::DrawContext* store = native->BackingStore();
    auto ink = [&](int32_t row) {
        LPopupList* popup = Cell(d.List(), row)->Popup();
        const CLPoint o = popup->GetOriginIn(nullptr);
        const CLRect b = popup->Bounds();
        std::vector<uint8_t> px;
        for (int32_t y = o.y + b.top; y < o.y + b.bottom; ++y)
            for (int32_t x = o.x + b.left; x < o.x + b.right; ++x) {
                const uint32_t p = store->PixelAt(x, y);
                px.push_back(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 128);
            }
        return px;
    };
    const std::vector<uint8_t> broken = ink(1);
    EXPECT_NE(std::count(broken.begin(), broken.end(), 1), 0);
    EXPECT_EQ(broken, ink(3));
    EXPECT_NE(broken, ink(0));

    // A choice stores the device's own name, which opening it looks for.
    Choose(Cell(d.List(), 2), 3);
    EXPECT_EQ(Str(d.List()->StoredName(2)), kBroken);
    // A stored name whose broken bytes a file replaced still finds the device.
    ASSERT_TRUE(synthetic->RemoveDevice(kShown));
    for (int i = 0; i < 50 && Items(Cell(d.List(), 3)).size() != 6; ++i) Pump();
    EXPECT_EQ(Cell(d.List(), 3)->Popup()->GetValue(), 3);
}

TEST_F(CVDevDialogTest, PlacedAtTheStoredRectangleWhichItKeepsOnDestruction) {
    ASSERT_TRUE(resources.Ok());
    struct Case {
        CLRect stored;
        bool applied;
    } cases[] = {{{300, 200, 700, 500}, true},
                 {{0, 0, 0, 0}, false},
                 {{500, 200, 300, 100}, false},
                 {{-60000, -60000, -59000, -59500}, false}};
    for (const Case& c : cases) {
        const uint32_t v[4] = {uint32_t(c.stored.left), uint32_t(c.stored.top), uint32_t(c.stored.right),
                               uint32_t(c.stored.bottom)};
        ASSERT_TRUE(prefs.RootRef().SetArray(nullptr, CAppPrefs::kPrefVideoDevRect, v, 4));
        CLRect content;
        {
            CVDevDialog d(&root, CVDevDialog::DefaultSpec(), &prefs, &registry);
            content = mgr.ContentRect(d.Window());
            if (c.applied) {
                EXPECT_EQ(content.left, c.stored.left);
                EXPECT_EQ(content.top, c.stored.top);
            } else {
                EXPECT_TRUE(CMonitorWin::IsOnScreen(content)) << c.stored.left;
            }
            EXPECT_GT(content.Width(), 0);
            EXPECT_GT(content.Height(), 0);
        }
        const auto* got = static_cast<const uint32_t*>(prefs.Root()->ArrayData(CAppPrefs::kPrefVideoDevRect));
        EXPECT_EQ(int32_t(got[0]), content.left);
        EXPECT_EQ(int32_t(got[3]), content.bottom);
    }
}

TEST_F(CVDevDialogTest, InputSelectionAnswersTheCheckedRadio) {
    ASSERT_TRUE(resources.Ok());
    CVInSelDialog d(&root, nullptr, ModalSpec());
    EXPECT_EQ(d.Answer(), 0u);
    EXPECT_TRUE(d.Radio(0)->GetValue());
    EXPECT_EQ(Str(d.Radio(3)->GetTitle()), "Video input 4");
    for (int32_t slot : {2, 3, 0, 1}) {
        d.Check(slot);
        EXPECT_EQ(d.Answer(), uint32_t(slot));
    }
    for (int32_t slot : {-1, 4, 99}) {
        d.Check(slot);
        EXPECT_EQ(d.Answer(), 0u) << slot;
    }
    // A click on a radio turns the others off.
    LHandler::Dispatch(LMessage(LStdCtl_Selected, d.Radio(2), d.Radio(2)));
    EXPECT_EQ(d.Answer(), 2u);
    EXPECT_FALSE(d.Radio(0)->GetValue());
    ExpectTidy(d, {d.OkButton(), d.CancelBtn(), d.Radio(0), d.Radio(1), d.Radio(2), d.Radio(3)});
}

}  // namespace

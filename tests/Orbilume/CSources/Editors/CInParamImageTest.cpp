#include <string>
#include <vector>

#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Editors/CInParamImage.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

struct Owner : LHandler {
    std::vector<std::string> notes;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CInParamNote_Change)) notes.push_back(static_cast<CInParamNote*>(msg.sender)->value.CStr());
        if (msg.Is(CInParamPane_image_Reveal)) notes.push_back("reveal");
        return LMessage();
    }
};

uint32_t gPreselected = 99;

class CInParamImageTest : public dialogtest::HeadlessDialogTest {
protected:
    CInParamImageTest() {
        CLayerFrm::SetPreviewsEnabled(false);
        model.SetDocumentPath(LFsSpec(LString("/shows/a/show.obm")));
        pane = new CInParamImage(&owner, &dialog, 7, LString("_protocolInput_Image"), &model);
        pane->SetBounds({0, 0, 400, 60});
    }
    ~CInParamImageTest() override {
        delete pane;
        CInParamImage::SetChooseFileFunction(nullptr);
        CInParamImage::SetChooseVideoFunction(nullptr);
        CLayerFrm::SetPreviewsEnabled(true);
    }
    // Item texts with "*" for marked ones and the command in brackets.
    std::vector<std::string> Items() {
        std::vector<std::string> out;
        LMenu* menu = pane->RebuildMenu();
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i)) {
            if (!i->HasCommands()) {
                out.push_back(i->Submenu() ? "<sub>" : "-");
                continue;
            }
            out.push_back(std::string(i->IsMarked() ? "*" : "") + i->GetFirstCommand().CStr());
        }
        return out;
    }
    LMenuItem* Item(const char* command) {
        LMenu* menu = pane->RebuildMenu();
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
            if (i->HasCommand(command)) return i;
        return nullptr;
    }

    CAppPrefs prefs;
    CDocModelHolder model;
    Owner owner;
    LModalDialog dialog{&root, nullptr};
    CInParamImage* pane = nullptr;
};

TEST_F(CInParamImageTest, ClassifiesValuesAndMarksTheCurrentSource) {
    ASSERT_TRUE(resources.Ok());
    struct {
        const char* value;
        CInParamImage::Source source;
        uint32_t device;
        const char* marked;
    } const rows[] = {
        {"", CInParamImage::Source::kNone, 0, "CAppCmd_ImgNone"},
        {".colorfill", CInParamImage::Source::kColor, 0, "CAppCmd_ImgColor"},
        {".localtap", CInParamImage::Source::kTap, 0, "CAppCmd_ImgTap"},
        {".mixbuffer", CInParamImage::Source::kMixBuffer, 0, "CAppCmd_ImgMixBuf"},
        {".videoinput2", CInParamImage::Source::kVideo, 2, "CAppCmd_ImgVideo"},
        {".videoinput9", CInParamImage::Source::kVideo, 0, "CAppCmd_ImgVideo"},
        {".videoinput-1", CInParamImage::Source::kVideo, 0, "CAppCmd_ImgVideo"},
        {".videoinputx", CInParamImage::Source::kVideo, 0, "CAppCmd_ImgVideo"},
        {"pics/a.png", CInParamImage::Source::kFile, 0, "CAppCmd_ImgFile"},
    };
    for (const auto& r : rows) {
        uint32_t device = 77;
        EXPECT_EQ(CInParamImage::Classify(LString(r.value), &device), r.source) << r.value;
        EXPECT_EQ(device, r.device) << r.value;
        pane->SetValueText(LString(r.value));
        std::vector<std::string> marked;
        for (const std::string& s : Items())
            if (s[0] == '*') marked.push_back(s.substr(1));
        EXPECT_EQ(marked, std::vector<std::string>{r.marked}) << r.value;
    }
}

TEST_F(CInParamImageTest, FileValueListsItsNameAndRevealFirst) {
    ASSERT_TRUE(resources.Ok());
    pane->SetValueText(LString("pics/a.png"));
    EXPECT_STREQ(pane->Slot()->Text().CStr(), "a.png");
    const std::vector<std::string> items = Items();
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0], "*CAppCmd_ImgFile");
    EXPECT_EQ(items[1], "CAppCmd_ImgReveal");
    EXPECT_EQ(items[2], "-");
    EXPECT_STREQ(Item("CAppCmd_ImgFile")->Text().CStr(), "a.png");
    EXPECT_TRUE(pane->Choose(Item("CAppCmd_ImgReveal")));
    EXPECT_EQ(owner.notes, std::vector<std::string>{"reveal"});
    // Without a file, no reveal.
    pane->SetValueText(LString(".colorfill"));
    EXPECT_EQ(Item("CAppCmd_ImgReveal"), nullptr);
}

TEST_F(CInParamImageTest, ChoicesSetValuesAndNotify) {
    ASSERT_TRUE(resources.Ok());
    const char* const rows[][2] = {{"CAppCmd_ImgColor", ".colorfill"},
                                   {"CAppCmd_ImgTap", ".localtap"},
                                   {"CAppCmd_ImgMixBuf", ".mixbuffer"},
                                   {"CAppCmd_ImgNone", ""}};
    for (const auto& r : rows) {
        owner.notes.clear();
        EXPECT_TRUE(pane->Choose(Item(r[0])));
        EXPECT_STREQ(pane->GetValueText().CStr(), r[1]);
        EXPECT_EQ(owner.notes, std::vector<std::string>{r[1]});
    }
    // A dropped or chosen file is stored in the document's stored-path form.
    const LFsSpec file(LString("/shows/a/pics/b.png"));
    owner.notes.clear();
    pane->DropFile(file);
    EXPECT_STREQ(pane->GetValueText().CStr(), model.MakeStoredPath(file).CStr());
    EXPECT_EQ(owner.notes.size(), 1u);
    CInParamImage::SetChooseFileFunction([](const LFsSpec&, LFsSpec&) { return false; });
    owner.notes.clear();
    EXPECT_TRUE(pane->Choose(Item("CAppCmd_ImgFile")));
    EXPECT_TRUE(owner.notes.empty());  // cancelled
}

TEST_F(CInParamImageTest, VideoInputPreselectsItsSlotAndShowsItCountedFromOne) {
    ASSERT_TRUE(resources.Ok());
    pane->SetValueText(LString(".videoinput2"));
    EXPECT_NE(std::string(pane->Slot()->Text().CStr()).find('3'), std::string::npos);
    LMenuItem* video = Item("CAppCmd_ImgVideo");
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(video->IsMarked());
    EXPECT_NE(std::string(video->Text().CStr()).find('3'), std::string::npos);
    CInParamImage::SetChooseVideoFunction([](uint32_t pre, uint32_t& chosen) {
        gPreselected = pre;
        chosen = 1;
        return true;
    });
    EXPECT_TRUE(pane->Choose(video));
    EXPECT_EQ(gPreselected, 2u);
    EXPECT_STREQ(pane->GetValueText().CStr(), ".videoinput1");
    pane->SetValueText(LString(".videoinput12"));
    EXPECT_TRUE(pane->Choose(Item("CAppCmd_ImgVideo")));
    EXPECT_EQ(gPreselected, 0u);  // out of 0-3: slot 0
}

TEST_F(CInParamImageTest, FilterItemsGoToTheChainFrame) {
    ASSERT_TRUE(resources.Ok());
    EXPECT_EQ(pane->Chain()->Flag(), 0);
    CSrcRendrFrm::SetChooseFileFunction([](const LFsSpec&, LFsSpec&) { return false; });
    EXPECT_TRUE(pane->Choose(Item("CAppCmd_LoadFilter")));
    CSrcRendrFrm::SetChooseFileFunction(nullptr);
    EXPECT_TRUE(owner.notes.empty());
}

}  // namespace

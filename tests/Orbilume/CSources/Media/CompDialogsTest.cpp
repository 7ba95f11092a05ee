#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Media/CAudioCompDialog.h"
#include "Orbilume/CSources/Media/CMovieRecorder.h"
#include "Orbilume/CSources/Media/CVideoCompDialog.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

bool Enabled(LPane* p) {
    return (p->State() & LPane::kEnabled) != 0;
}

void Choose(LPopupList* popup, int32_t row, LHandler* dialog) {
    (void)popup->SetValue(row);
    LHandler::Dispatch(LMessage(LPopupList_Changed, popup, dialog));
}

// The root answers a modal run's step with `step` (the operator) instead of running the loop.
struct OperatorRoot : dialogtest::ModalRoot {
    std::function<void(LHandler* dialog)> step;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode") && msg.sender && step) {
            step(msg.sender);
            return LMessage();
        }
        return ModalRoot::Handle(msg);
    }
};

class CompDialogsTest : public dialogtest::HeadlessDialogTest {
protected:
    OperatorRoot op;
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        op.loop = loop;
    }
};

TEST_F(CompDialogsTest, VideoDialogBuildsFromItsResourcesWithItsRanges) {
    CVideoCompDialog d(&root, nullptr);
    EXPECT_TRUE(d.HasLayout());
    EXPECT_EQ(Str(d.OkButton()->GetTitle()), "OK");
    EXPECT_EQ(Str(d.CancelButton()->GetTitle()), "Cancel");
    EXPECT_EQ(d.DefaultButton(), d.OkButton());
    const char* labels[] = {"Codec:", "Frames per second:", "Key frame every:", "Quality (%):"};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(Str(d.Label(i)->Text()), labels[i]);
    ASSERT_EQ(d.CodecPopup()->Count(), 2);
    EXPECT_EQ(Str(d.CodecPopup()->ItemTitle(0)), "H.264");
    EXPECT_EQ(Str(d.CodecPopup()->ItemTitle(1)), "JPEG");
    struct Range {
        CNumVol* knob;
        float min, max, value;
    } ranges[] = {
        {d.FrameRateKnob(), 1, 60, 30}, {d.KeyFrameKnob(), 1, 300, 100}, {d.QualityKnob(), 0, 100, 50}};
    for (const Range& r : ranges) {
        EXPECT_EQ(r.knob->Minimum(), r.min);
        EXPECT_EQ(r.knob->Maximum(), r.max);
        EXPECT_EQ(r.knob->Step(), 1.0f);
        EXPECT_EQ(r.knob->GetValue(), r.value);
    }
    EXPECT_EQ(d.CodecPopup()->GetValue(), 0);
    EXPECT_TRUE(Enabled(d.KeyFrameKnob()));
    EXPECT_FALSE(Enabled(d.QualityKnob()));
    ExpectTidy(d, {d.OkButton(), d.CancelButton(), d.Label(0), d.CodecPopup(), d.Label(1), d.FrameRateKnob(),
                   d.Label(2), d.KeyFrameKnob(), d.Label(3), d.QualityKnob()});
}

TEST_F(CompDialogsTest, TheCodecRowSwitchesTheKnobs) {
    CVideoCompDialog d(&root, nullptr);
    d.SetCodec(LString("hevc"));  // unknown: row 0 stays
    EXPECT_EQ(d.CodecPopup()->GetValue(), 0);
    EXPECT_TRUE(d.GetCodec() == "avc1");
    Choose(d.CodecPopup(), 1, &d);
    EXPECT_TRUE(d.GetCodec() == "jpeg");
    EXPECT_FALSE(Enabled(d.KeyFrameKnob()));
    EXPECT_TRUE(Enabled(d.QualityKnob()));
    d.SetCodec(LString("nonsense"));
    EXPECT_TRUE(d.GetCodec() == "jpeg");
    Choose(d.CodecPopup(), 0, &d);
    EXPECT_TRUE(Enabled(d.KeyFrameKnob()));
    EXPECT_FALSE(Enabled(d.QualityKnob()));
    d.SetCodec(LString("jpeg"));
    EXPECT_EQ(d.CodecPopup()->GetValue(), 1);
    EXPECT_TRUE(Enabled(d.QualityKnob()));
}

TEST_F(CompDialogsTest, TheRecorderShowsItsValuesAndTakesTheDialogs) {
    CMovieRecorder r;
    r.SetFrameRate(0);  // shown as the knob's lowest value
    r.SetJpegQuality(0.2);
    CVideoCompDialog d(&root, nullptr);
    r.ShowIn(d);
    EXPECT_EQ(d.FrameRateKnob()->GetValue(), 1.0f);
    EXPECT_EQ(d.QualityKnob()->GetValue(), 20.0f);
    Choose(d.CodecPopup(), 1, &d);
    d.FrameRateKnob()->SetValue(24);
    d.KeyFrameKnob()->SetValue(12);
    d.QualityKnob()->SetValue(75);
    r.TakeFrom(d);
    EXPECT_TRUE(r.Codec() == "jpeg");
    EXPECT_EQ(r.FrameRate(), 24);
    EXPECT_EQ(r.KeyFrameInterval(), 12);
    EXPECT_FLOAT_EQ(r.JpegQuality(), 0.75f);
}

TEST_F(CompDialogsTest, AudioDialogListsTheEncodersAndFallsBackToLinearPCM) {
    CAudioCompDialog d(&root, nullptr);
    EXPECT_TRUE(d.HasLayout());
    EXPECT_EQ(Str(d.FormatLabel()->Text()), "Format:");
    ASSERT_EQ(d.FormatPopup()->Count(), 3);
    EXPECT_EQ(Str(d.FormatPopup()->ItemTitle(0)), "Linear PCM");
    EXPECT_EQ(d.GetFormat(), CAudioCompDialog::kLinearPCM);
    d.SelectFormat(plat::kMovieAudioAAC);
    EXPECT_EQ(d.GetFormat(), plat::kMovieAudioAAC);
    d.SelectFormat(0x12345678);  // none: no change
    EXPECT_EQ(d.GetFormat(), plat::kMovieAudioAAC);
    Choose(d.FormatPopup(), 2, &d);
    EXPECT_EQ(d.GetFormat(), plat::kMovieAudioALAC);
    ExpectTidy(d, {d.OkButton(), d.CancelButton(), d.FormatLabel(), d.FormatPopup()});

    CAudioCompDialog empty(&root, nullptr, LFrameSpec::Default(), {});
    EXPECT_EQ(empty.FormatPopup()->Count(), 0);
    empty.SelectFormat(plat::kMovieAudioAAC);
    EXPECT_EQ(empty.GetFormat(), 0x6C70636Du);  // 'lpcm'
    CMovieRecorder r;
    r.SetAudioFormat(plat::kMovieAudioALAC);
    r.TakeFrom(empty);
    EXPECT_EQ(r.AudioFormat(), plat::kMovieAudioLPCM);
}

TEST_F(CompDialogsTest, RunnersStoreOnOkAndKeepTheValuesOnCancel) {
    CMovieRecorder r;
    op.step = [](LHandler* dialog) {
        auto* d = static_cast<CVideoCompDialog*>(dialog);
        Choose(d->CodecPopup(), 1, d);
        d->QualityKnob()->SetValue(75);
        d->FrameRateKnob()->SetValue(15);
        LHandler::Dispatch(LMessage(LDialog_Escape, d, d));
    };
    EXPECT_FALSE(r.RunVideoDialog(&op));
    EXPECT_TRUE(r.Codec() == "avc1");
    EXPECT_FLOAT_EQ(r.JpegQuality(), 0.5f);
    op.step = [](LHandler* dialog) {
        auto* d = static_cast<CVideoCompDialog*>(dialog);
        EXPECT_TRUE(d->GetCodec() == "avc1");  // shown afresh from the recorder
        Choose(d->CodecPopup(), 1, d);
        d->QualityKnob()->SetValue(75);
        d->FrameRateKnob()->SetValue(15);
        LHandler::Dispatch(LMessage(LDialog_Default, d, d));
    };
    EXPECT_TRUE(r.RunVideoDialog(&op));
    EXPECT_TRUE(r.Codec() == "jpeg");
    EXPECT_FLOAT_EQ(r.JpegQuality(), 0.75f);
    EXPECT_EQ(r.FrameRate(), 15);

    op.step = [](LHandler* dialog) {
        auto* d = static_cast<CAudioCompDialog*>(dialog);
        EXPECT_EQ(d->GetFormat(), plat::kMovieAudioLPCM);
        d->SelectFormat(plat::kMovieAudioAAC);
        LHandler::Dispatch(LMessage(LDialog_Default, d, d));
    };
    EXPECT_TRUE(r.RunAudioDialog(&op));
    EXPECT_EQ(r.AudioFormat(), plat::kMovieAudioAAC);
}

TEST_F(CompDialogsTest, TheVideoDialogDrawsItsControls) {
    auto* d = new CVideoCompDialog(&root, nullptr, ModalSpec());
    Show(d);
    Choose(d->CodecPopup(), 1, d);
    d->Window()->NativeWindow()->Display();
    plat::DrawContext* store = d->Window()->NativeWindow()->BackingStore();
    ASSERT_NE(store, nullptr);
    // Every pane shows more than one colour (text, frames); the gap between two rows is plain.
    auto colours = [&](const CLRect& r) {
        std::set<uint32_t> seen;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) seen.insert(store->PixelAt(x, y));
        return seen.size();
    };
    std::vector<LPane*> panes = {d->OkButton(),      d->CancelButton(), d->Label(0), d->CodecPopup(),
                                 d->FrameRateKnob(), d->KeyFrameKnob(), d->Label(3), d->QualityKnob()};
    for (size_t i = 0; i < panes.size(); ++i) EXPECT_GT(colours(panes[i]->Bounds()), 1u) << i;
    const CLRect popup = d->CodecPopup()->Bounds();
    const CLRect knob = d->FrameRateKnob()->Bounds();
    ASSERT_GE(knob.top - popup.bottom, 2);
    EXPECT_EQ(colours({popup.left, popup.bottom, popup.right, knob.top}), 1u);
    delete d;
}

}  // namespace

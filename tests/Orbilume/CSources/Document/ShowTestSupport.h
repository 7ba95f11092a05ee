#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordFlat.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"

namespace showtest {

using T = CDocModelTypes;

inline std::string FixtureDir() {
    return ORBILUME_FIXTURE_DIR;
}

// A document handler that owns an undo queue, as the document window will.
class UndoDocument : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x100000};
};

inline CRecordRef Ref(CRecord*& var) {
    return CRecordRef(&var);
}

inline std::string WriteXml(const CDocModelHolder& holder) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        holder.WriteXml(stream);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

inline bool ReadXml(CDocModelHolder& holder, const std::string& xml) {
    std::string copy = xml;
    CMemStream stream(copy.data(), static_cast<uint32_t>(copy.size()));
    return holder.ReadXml(stream);
}

// Every field of every record, run-time fields included.
inline std::string Flat(const CRecord* record) {
    std::string out;
    EXPECT_TRUE(CRecordFlat::Flatten(out, record));
    return out;
}

inline CRecord* Layer(CDocModelHolder& h, uint32_t n) {
    return h.Mix()->GetElement(T::kMixsLayers, n);
}

inline CRecord* LayerUnit(CDocModelHolder& h, uint32_t n) {
    CRecord* layer = Layer(h, n);
    return layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
}

inline std::string InputKeys(const CRecord* unit) {
    std::string out;
    for (uint32_t i = 0; unit && i < unit->ArrayCount(T::kUnitInputs); ++i) {
        const CRecord* input = unit->GetElement(T::kUnitInputs, i);
        out += std::string(input->GetString(T::kInptKey).CStr()) + "=" +
               input->GetString(T::kInptValue).CStr() + ";";
    }
    return out;
}

// The show of the fixture, made through the model operations: two layers (a colour fill with a
// filter; a picture fed by an image-input unit, with an animated and MIDI-controlled input),
// scenes in the document's list and in two sequences, a scheduled sequence and the three control
// assignments. The document lies in folder; compositions are named relative to it.
inline void BuildShow(CDocModelHolder& h, LHandler* editor, const std::string& folder) {
    h.SetDocumentPath(CMacFileU::LFsSpecFromPath(LString((folder + "/show.obm").c_str())));
    CRecordRef mix = h.Mix();
    auto file = [&](const char* name) {
        return CMacFileU::LFsSpecFromPath(LString((folder + "/" + name).c_str()));
    };

    ASSERT_EQ(UDocUnits::AddMediaLayer(h, editor, 0, file("fill.qtz")), 0);
    CRecord* fill = LayerUnit(h, 0);
    Ref(fill).SetString(editor, T::kUnitSpec, h.MakeStoredPath(file("fill.qtz")));
    UDocUnits::FindOrAddUnitInput(fill, editor, LString("_oblayer_MixFunc"), LString("add"));
    UDocUnits::FindOrAddUnitInput(fill, editor, LString("_oblayer_Blend"), LString("0.75"));
    CRecord* layer0 = Layer(h, 0);
    Ref(layer0).SetString(editor, T::kLayrName, LString("Fill"));
    ASSERT_TRUE(UDocUnits::AddFilterUnit(mix, editor, fill->GetUInt(T::kUnitId), 0, LString("tint.qtz")));
    CRecord* tint = fill->GetElement(T::kUnitFilters, 0);
    ASSERT_TRUE(UDocUnits::SetUnitInput(mix, editor, tint, LString("Amount"), LString("0.25"), false));

    ASSERT_EQ(UDocUnits::AddCompositionLayer(mix, editor, 1, LString("picture.qtz")), 1);
    CRecord* layer1 = Layer(h, 1);
    Ref(layer1).SetString(editor, T::kLayrName, LString("Picture & <more>"));
    CRecord* picture = LayerUnit(h, 1);
    ASSERT_TRUE(
        UDocUnits::SetUnitInput(mix, editor, picture, LString("_protocolInput_Image"), LString(), true));
    CRecord* image = UDocModel::FindUnitInput(picture, LString("_protocolInput_Image"));
    CRecord* source = image->GetSubRecord(T::kInptImage);
    Ref(source).SetString(editor, T::kUnitSpec, LString("source.qtz"));
    ASSERT_TRUE(UDocUnits::SetUnitInput(mix, editor, picture, LString("Mode"), LString("1"), false));
    CRecord* mode = UDocModel::FindUnitInput(picture, LString("Mode"));
    ASSERT_TRUE(UDocUnits::SetAnimator(mix, editor, mode, LString("wave.qtz")));
    CRecordRef modeCtl(&mode->Slot(T::kInptCtl).record);
    UCtlAttr::SetInCtlType(modeCtl, editor, 3);
    UCtlAttr::SetInCtlMidiCh(modeCtl, editor, 2);
    UCtlAttr::SetInCtlMidiCc(modeCtl, editor, 20);
    UDocUnits::SetLayerMixFunc(layer1, editor, 3);
    UDocUnits::SetLayerBlend(layer1, 0.5);

    CRecordRef scns = h.Scenes();
    CRecord* open = UDocScenes::NewScene();
    open->StringSlot(T::kScneName) = LString("Open");
    ASSERT_EQ(UDocScenes::InsertSceneByTime(scns, editor, 0.0f, open), 0);
    CRecord* bright = UDocScenes::NewScene();
    bright->StringSlot(T::kScneName) = LString("Bright");
    bright->StringSlot(T::kScneKey) = LString("b");
    bright->Slot(T::kScneFade).f32 = 2.5f;
    ASSERT_EQ(UDocScenes::InsertSceneByTime(scns, editor, 4.25f, bright), 1);
    bright = UDocModel::GetSceneAt(scns.Get(), 1);
    UDocScenes::SetSceneValue(bright, editor, fill->GetUInt(T::kUnitId), LString("_oblayer_Blend"),
                              LString("1"), false);
    UDocScenes::SetSceneValue(bright, editor, tint->GetUInt(T::kUnitId), LString("Amount"), LString("0.5"),
                              false);

    ASSERT_EQ(UDocScenes::AppendSequence(scns, editor), 0);
    ASSERT_EQ(UDocScenes::AppendSequence(scns, editor), 1);
    CRecord* intro = scns->GetElement(T::kScnsSequences, 0);
    CRecord* outro = scns->GetElement(T::kScnsSequences, 1);
    Ref(intro).SetString(editor, T::kSqncName, LString("Intro"));
    Ref(outro).SetString(editor, T::kSqncName, LString("Outro"));
    UDocScenes::SetSequenceEditing(scns, true);
    for (float t : {0.0f, 8.0f}) {
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString(t == 0 ? "Intro start" : "Intro end");
        UDocScenes::InsertSceneByTime(scns, editor, t, s);
    }
    UDocScenes::SetEditedSequence(scns, 1);
    UDocScenes::InsertSceneByTime(scns, editor, 1.5f, UDocScenes::NewScene());
    UDocScenes::SetSequenceEditing(scns, false);
    scns.SetFloat(editor, T::kScnsTo, 30.0f);
    scns.SetByte(editor, T::kScnsLoop, 1);

    CRecordRef blend = h.BlendControl();
    blend.SetByte(editor, T::kCtrlType, 1);
    blend.SetUInt(editor, T::kCtrlDmxCh, 10);
    UCtlAttr::SetCtlr(h.SceneControl(), UCtlAttr::kCtlrMidiNote);
    UCtlAttr::SetUsage(h.SceneControl(), UCtlAttr::kUsageSelect);
    UCtlAttr::SetCtlMidiNn(h.SceneControl(), 36);
    UCtlAttr::SetCtlr(h.SequenceControl(), UCtlAttr::kCtlrDmx);
    UCtlAttr::SetUsage(h.SequenceControl(), UCtlAttr::kUsageStep);
    UCtlAttr::SetCtlDmxCh(h.SequenceControl(), 100);
    UCtlAttr::SetCtlStepBack(h.SequenceControl(), true);

    CRecord* entry = CRecord::New(T::Type(T::kSCEV));
    entry->StringSlot(T::kScevName) = LString("Nightly");
    entry->StringSlot(T::kScevHour) = LString("20");
    entry->StringSlot(T::kScevMinute) = LString("0");
    CRecord* period = CRecord::New(T::Type(T::kSCEP));
    period->Slot(T::kScepRange).u8 = 1;
    const uint32_t start[] = {0, 0, 20, 0, 1, 12, 2026};
    const uint32_t end[] = {0, 0, 23, 0, 31, 12, 2026};
    EXPECT_TRUE(period->SetArrayRaw(T::kScepStart, start, 7));
    EXPECT_TRUE(period->SetArrayRaw(T::kScepEnd, end, 7));
    EXPECT_TRUE(entry->InsertElementRaw(T::kScevPeriods, -1, period));
    CRecord* command = UDocScenes::NewSequenceRef();
    command->Slot(T::kScexSeqId).u32 = intro->GetUInt(T::kSqncId);
    CRecord::Delete(entry->SetSubRecord(T::kScevCommand, command));
    ASSERT_TRUE(h.Schedule().InsertRecord(editor, T::kSchdEntries, 0, entry));
}

}  // namespace showtest

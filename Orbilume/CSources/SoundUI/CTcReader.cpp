#include "Orbilume/CSources/SoundUI/CTcReader.h"

#include <algorithm>
#include <cstdio>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Platform/Foundation/Check.h"

CTcReader::CTcReader(LtcSource* source, LAsyncLoop* mainLoop, CTcReaderView* view)
    : LHandler(nullptr), fSource(source), fView(view), fEvent(this, mainLoop) {
    fSource->AddListener(this, OnTime);
}

CTcReader::~CTcReader() {
    fSource->RemoveListener(this, OnTime);
    fEvent.Cancel();
}

void CTcReader::OnTime(void* self, TimecodeSource*) {
    // The source's thread: only the event goes to the main thread.
    static_cast<CTcReader*>(self)->fEvent.Post();
}

LMessage CTcReader::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncEvent_Note) && msg.sender == &fEvent) {
        fView->ShowTime(fSource->GetTime().Format());
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CTcReader::SetUpMeter(CLevelMeter& meter) {
    PLAT_DCHECK_MAIN_THREAD();
    // Kept for the program's life once both loaded.
    static LImageH* images = nullptr;
    if (!images) {
        LImageH off(new LRsrcImage(SRsrcRequest("LMOF")));
        LImageH on(new LRsrcImage(SRsrcRequest("LMON")));
        if (!off.IsEmpty() && !on.IsEmpty()) images = new LImageH[2]{off, on};
        meter.SetImages(off, on, 1);
    } else {
        meter.SetImages(images[0], images[1], 1);
    }
    meter.SetMaximum(kMeterSteps);
}

uint32_t CTcReader::MeterValue(int levelDb) {
    const int64_t value = int64_t(levelDb) / 2 + 15;
    return uint32_t(std::clamp<int64_t>(value, 0, kMeterSteps));
}

void CTcReader::OnMeterTimer() {
    PLAT_DCHECK_MAIN_THREAD();
    fView->SetMeterValue(MeterValue(fSource->LevelDb()));
    fView->StartMeterTimer(kMeterMs);
}

void CTcReader::OnGainChanged(int dB) {
    PLAT_DCHECK_MAIN_THREAD();
    fGain = std::clamp(dB, kGainMin, kGainMax);
    fSource->SetGainDb(fGain);
}

void CTcReader::OnThruChanged(bool checked) {
    PLAT_DCHECK_MAIN_THREAD();
    fThru = checked;
    fSource->SetThru(fThru);
}

void CTcReader::Open() {
    if (!fSource->Open(fSpec)) return;  // the button stays off
    fView->SetUseButton(true);
    fSource->SetGainDb(fGain);
    fSource->SetThru(fThru);
    fView->StartMeterTimer(kMeterMs);
}

void CTcReader::Close() {
    fSource->Close();
    fView->SetUseButton(false);
    fView->SetMeterValue(0);
    fView->StopMeterTimer();
}

void CTcReader::OnUsePressed() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fSource->IsOpen()) {
        Close();
    } else {
        Open();
    }
}

void CTcReader::OnSoundInputPressed() {
    PLAT_DCHECK_MAIN_THREAD();
    const bool wasOpen = fSource->IsOpen();
    Close();
    SoundInputSpec chosen = fSpec;
    if (fView->RunSoundInputDialog(chosen)) fSpec = chosen;
    if (wasOpen) Open();
}

void CTcReader::ReadSettings(CRecordRef set) {
    PLAT_DCHECK_MAIN_THREAD();
    int32_t value = 0;
    if (CParamSet::GetInt(set, LString("gain"), value) >= 0) {
        fGain = std::clamp<int32_t>(value, kGainMin, kGainMax);
        fView->SetGainSlider(fGain);
        fSource->SetGainDb(fGain);
    }
    if (CParamSet::GetInt(set, LString("thru"), value) >= 0) {
        fThru = value != 0;
        fView->SetThruBox(fThru);
        fSource->SetThru(fThru);
    }
    if (CRecord* sub = CParamSet::GetSubSet(set, LString("sndin"))) fSpec.ReadSettings(CRecordRef(&sub));
    if (CParamSet::Find(set, LString("wp")) >= 0) {
        const CLRect r = CParamSet::GetRect(set, LString("wp"));
        if (r.left < r.right && r.top < r.bottom) fView->PlaceWindow(r);
    }
    if (CParamSet::GetInt(set, LString("vis"), value) >= 0 && value != 0) fView->ShowWindow(true);
    if (CParamSet::GetInt(set, LString("use"), value) >= 0 && value != 0 && !fSource->IsOpen()) Open();
}

void CTcReader::WriteSettings(CRecordRef set, LHandler* editor) const {
    CParamSet::SetInt(set, editor, LString("gain"), fGain);
    CParamSet::SetInt(set, editor, LString("thru"), fThru ? 1 : 0);
    CParamSet::SetInt(set, editor, LString("use"), fSource->IsOpen() ? 1 : 0);
    CParamSet::SetInt(set, editor, LString("vis"), fView->IsWindowShown() ? 1 : 0);
    if (CRecord* sub = CParamSet::GetOrCreateSubSet(set, editor, LString("sndin")))
        fSpec.WriteSettings(CRecordRef(&sub), editor);
    const CLRect r = fView->WindowFrame();
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", int(r.left), int(r.top), int(r.right), int(r.bottom));
    CParamSet::SetString(set, editor, LString("wp"), LString(text));
}

// The application's live inputs: DMX from Art-Net, sACN and OSC "/dmx" through the merge into the
// control-input hub, the OSC server and the scene announcements' sender.
#include <algorithm>
#include <cmath>
#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/CSAcnIn.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Orbilume/CSources/Midi/MtcSource.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Orbilume/CSources/OscUI/COscSettingsDlg.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"
#include "Orbilume/CSources/SoundUI/CSoundInSel.h"
#include "Orbilume/CSources/UsbDmxUI/CDmxSettingsDlg.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/AppKit/Bell.h"
#include "Platform/USB/UsbHost.h"

namespace {

using P = CAppPrefs;

constexpr uint32_t kNetPriority = 100;
constexpr uint32_t kDialogOk = 1;
constexpr int32_t kDefaultAnnouncePort = 51001;

void ArtNetProc(void* app, const CNetAddress& from, uint32_t length, const uint8_t* datagram) {
    static_cast<CMainApp*>(app)->OnArtNet(from, length, datagram);
}

void DmxDeviceProc(void* app, const uint8_t* data, uint32_t count, uint32_t status) {
    static_cast<CMainApp*>(app)->OnDmxDeviceFrame(data, count, status);
}

void SAcnProc(void* app, const CNetAddress& from, uint8_t priority, uint32_t count, const uint8_t* values) {
    static_cast<CMainApp*>(app)->OnSAcn(from, priority, count, values);
}

}  // namespace

void CMainApp::OnArtNet(const CNetAddress& from, uint32_t length, const uint8_t* datagram) {
    CRecord* prefs = mPrefs->Root();
    const auto word = static_cast<uint16_t>((prefs->GetByte(P::kPrefArtNetNet) & 0x7F) << 8 |
                                            prefs->GetByte(P::kPrefArtNetSubUni));
    dmxpkt::ArtDmxView view;
    if (!datagram || !dmxpkt::AcceptArtDmx(datagram, length, word, &view)) return;
    DmxInSource source;
    source.kind = DmxInSource::kArtNet;
    source.priority = kNetPriority;
    source.address = from;
    mDmxMerge->Offer(source, view.length, view.slots);
}

bool CMainApp::OpenDmxDeviceInput() {
    CRecord* prefs = mPrefs->Root();
    if (!prefs->GetByte(P::kPrefUsbDmxOn)) return true;
    if (mUsbIn) return true;
    mUsbIn = mUsbDmx->Acquire(prefs->GetString(P::kPrefUsbDmxKey).CStr(), CDmxIoManager::kInput);
    if (!mUsbIn) return false;
    mUsbIn->SetInputCallback(this, &DmxDeviceProc);
    return true;
}

void CMainApp::CloseDmxDeviceInput() {
    if (!mUsbIn) return;
    mUsbIn->SetInputCallback(nullptr, nullptr);
    mUsbDmx->Release(mUsbIn, CDmxIoManager::kInput);
    mUsbIn = nullptr;
}

void CMainApp::OnDmxDeviceFrame(const uint8_t* data, uint32_t count, uint32_t status) {
    // A start code alone holds no slots.
    if (status != 0 || !data || count < 2 || data[0] != 0) return;
    DmxInSource source;
    source.kind = DmxInSource::kUsb;
    source.priority = kNetPriority;
    mDmxMerge->Offer(source, std::min<uint32_t>(count - 1, 512), data + 1);
}

void CMainApp::OnSAcn(const CNetAddress& from, uint8_t priority, uint32_t count, const uint8_t* values) {
    // A start code alone holds no slots.
    if (!values || count < 2) return;
    DmxInSource source;
    source.kind = DmxInSource::kSAcn;
    source.priority = priority;
    source.address = from;
    mDmxMerge->Offer(source, std::min<uint32_t>(count - 1, 512), values + 1);
}

void CMainApp::OnOscMessage(OscPattern& pattern, const OscArg* args, uint32_t count) {
    if (pattern.IsMatch("/dmx")) {
        if (!mPrefs->Root()->GetByte(P::kPrefOscDmx) || !args || count == 0) return;
        const OscArg& blob = args[0];
        if (blob.tag != 'b' || !blob.value.b || blob.size < 1 || blob.value.b[0] != 0) return;
        DmxInSource source;
        source.kind = DmxInSource::kOsc;
        source.priority = kNetPriority;
        // The blob's first byte is the start code; the merge takes at most 512 slots.
        mDmxMerge->Offer(source, std::min<uint32_t>(blob.size - 1, 512), blob.value.b + 1);
        return;
    }
    mHub->NotifyOsc(pattern, args, count);
}

void CMainApp::ApplyLiveInputs() {
    CRecord* prefs = mPrefs->Root();
    (void)OpenDmxDeviceInput();
    // OSC server.
    if (prefs->GetByte(P::kPrefOscIn)) {
        const uint32_t port = prefs->GetUInt(P::kPrefOscPort);
        if (!mOscServer) mOscServer = std::make_unique<OscServer>(&mOscIn);
        if (port >= 1 && port <= 65535 && (!mOscServer->IsOpen() || mOscServer->LocalPort() != port)) {
            mOscServer->Close();
            if (mOscServer->Open(static_cast<uint16_t>(port)) != 0) mOscServer->Close();
        }
    } else if (mOscServer) {
        mOscServer->Close();
    }
    // Art-Net.
    if (prefs->GetByte(P::kPrefArtNetIn)) {
        if (!mArtNet) mArtNet = std::make_unique<CArtNetIn>(this, mAsyncMain.get(), this, &ArtNetProc);
        (void)mArtNet->Start();
    } else if (mArtNet) {
        mArtNet->Stop();
    }
    // sACN.
    if (prefs->GetByte(P::kPrefSacnIn)) {
        if (!mSAcn) mSAcn = std::make_unique<CSAcnIn>(this, mAsyncMain.get(), this, &SAcnProc);
        if (!mSAcn->IsOpen() && !mSAcn->Open()) mSAcn->Close();
        const auto universe = static_cast<int32_t>(prefs->GetUInt(P::kPrefSacnUniverse));
        if (mSAcn->IsOpen() && mSAcn->Universe() != universe) (void)mSAcn->SetUniverse(universe);
    } else if (mSAcn) {
        mSAcn->Close();
    }
    // Sound input.
    if (prefs->GetByte(P::kPrefSoundIn)) {
        if (!IsSoundInputOpen()) (void)OpenSoundInput();
    } else {
        CloseSoundInput();
    }
    mHub->SetDmxThreshold(prefs->GetUInt(P::kPrefDmxThreshold));
    // The HTTP panel, when its set says "use".
    CRecord* fmsv = prefs->GetSubRecord(P::kPrefFormServer);
    if (fmsv && CParamSet::GetIntOr(CRecordRef(&fmsv), LString("use"), 0) != 0) {
        const FormServerSettings settings = FormServerSettings::Read(CRecordRef(&fmsv));
        if (!mFormServer)
            mFormServer = std::make_unique<CFormServer>(mAsyncMain.get(), mHub.get(), &mFormDocs, settings);
        else
            mFormServer->SetSettings(settings);
        if (mFormServer->Port() < 0 && mFormServer->Listen(settings.port) != 0) mFormServer->Stop();
    } else if (mFormServer) {
        mFormServer->Stop();
    }
    // The sender of scene announcements (the documents look at 'snsl' "send" themselves).
    if (!mOscSender) mOscSender = std::make_unique<COSCSender>(this, mAsyncMain.get());
    if (!mOscSender->IsOpen() && mOscSender->Open(0x7F000001) != 0) mOscSender->Close();
    CObDoc::SetSceneSender(mOscSender->IsOpen() ? mOscSender.get() : nullptr);
}

// ---- setting dialogs

namespace {

CMainApp::DialogRunner gDialogRunner = nullptr;

uint32_t RunModal(LModalDialog& dialog) {
    return gDialogRunner ? gDialogRunner(&dialog) : dialog.RunUntilResult();
}

// The knob's value when it is a whole number within the range (what was typed counts too).
bool KnobIn(CNumVol* knob, long minimum, long maximum, long& out) {
    const float v = knob ? knob->GetValue() : NAN;
    if (!std::isfinite(v) || v < float(minimum) - 0.5f || v > float(maximum) + 0.5f) return false;
    out = std::clamp(std::lround(v), minimum, maximum);
    return true;
}

}  // namespace

void CMainApp::SetDialogRunner(DialogRunner runner) {
    gDialogRunner = runner;
    UCtlDlgCmds::SetRunner(runner);
}

bool CMainApp::RunSettingDialog(const char* command) {
    CRecordRef prefs = mPrefs->RootRef();
    const std::string c = command;
    if (c == "cArtIn") {
        CArtNetDlg dialog(this, nullptr);
        dialog.SetAddress(prefs->GetByte(P::kPrefArtNetNet), prefs->GetByte(P::kPrefArtNetSubUni));
        if (RunModal(dialog) != kDialogOk) {
            if (mArtNet) mArtNet->Stop();
            (void)prefs.SetByte(nullptr, P::kPrefArtNetIn, 0);
            return true;
        }
        long net = 0, subNet = 0, universe = 0;
        if (!KnobIn(dialog.KnobPane(CArtNetDlg::kNet), 0, 127, net) ||
            !KnobIn(dialog.KnobPane(CArtNetDlg::kSubNet), 0, 15, subNet) ||
            !KnobIn(dialog.KnobPane(CArtNetDlg::kUniverse), 0, 15, universe)) {
            plat::Bell::Ring();
            return true;
        }
        (void)prefs.SetByte(nullptr, P::kPrefArtNetIn, 1);
        (void)prefs.SetByte(nullptr, P::kPrefArtNetNet, uint8_t(net));
        (void)prefs.SetByte(nullptr, P::kPrefArtNetSubUni, uint8_t(subNet << 4 | universe));
        if (!mArtNet) mArtNet = std::make_unique<CArtNetIn>(this, mAsyncMain.get(), this, &ArtNetProc);
        if (!mArtNet->Start()) plat::Bell::Ring();
        return true;
    }
    if (c == "cSAcnIn") {
        CSAcnDlg dialog(this, nullptr);
        dialog.SetUniverse(prefs->GetUInt(P::kPrefSacnUniverse));
        if (RunModal(dialog) != kDialogOk) {
            if (mSAcn) mSAcn->Close();
            (void)prefs.SetByte(nullptr, P::kPrefSacnIn, 0);
            return true;
        }
        // The whole universe number is stored and joined; outside 1..63999 nothing changes.
        long universe = 0;
        if (!KnobIn(dialog.KnobPane(0), 1, 63999, universe)) {
            plat::Bell::Ring();
            return true;
        }
        (void)prefs.SetByte(nullptr, P::kPrefSacnIn, 1);
        (void)prefs.SetUInt(nullptr, P::kPrefSacnUniverse, uint32_t(universe));
        if (!mSAcn) mSAcn = std::make_unique<CSAcnIn>(this, mAsyncMain.get(), this, &SAcnProc);
        if ((!mSAcn->IsOpen() && !mSAcn->Open()) || !mSAcn->SetUniverse(int32_t(universe)))
            plat::Bell::Ring();
        return true;
    }
    if (c == "cOscIn") {
        COscServerDlg dialog(this, nullptr);
        dialog.SetPort(prefs->GetUInt(P::kPrefOscPort));
        dialog.SetChecked(prefs->GetByte(P::kPrefOscDmx) != 0);
        const uint32_t result = RunModal(dialog);
        long port = 0;
        if (result == kDialogOk && !KnobIn(dialog.PortKnob(), 1, 65535, port)) {
            plat::Bell::Ring();
            return true;
        }
        if (mOscServer) mOscServer->Close();
        if (result != kDialogOk) {
            (void)prefs.SetByte(nullptr, P::kPrefOscIn, 0);
            return true;
        }
        (void)prefs.SetUInt(nullptr, P::kPrefOscPort, uint32_t(port));
        (void)prefs.SetByte(nullptr, P::kPrefOscDmx, dialog.IsChecked() ? 1 : 0);
        (void)prefs.SetByte(nullptr, P::kPrefOscIn, 1);
        if (!mOscServer) mOscServer = std::make_unique<OscServer>(&mOscIn);
        if (mOscServer->Open(uint16_t(port)) != 0) {
            mOscServer->Close();
            plat::Bell::Ring();
        }
        return true;
    }
    if (c == "cSceneSelSend") {
        CRecordRef set(&prefs->Slot(P::kPrefSceneSelSend).record);
        if (!set.Get()) return true;
        LString address;
        if (CParamSet::Find(set, LString("oscaddr"), &address) < 0 || address.IsEmpty())
            address = LString("/scene");
        COscSenderDlg dialog(this, nullptr);
        dialog.SetPort(uint32_t(CParamSet::GetIntOr(set, LString("oscport"), kDefaultAnnouncePort)));
        dialog.SetAddressText(address);
        if (RunModal(dialog) != kDialogOk) {
            CParamSet::SetString(set, nullptr, LString("send"), LString());
            return true;
        }
        long port = 0;
        const LString text = dialog.AddressText();
        if (!KnobIn(dialog.PortKnob(), 1, 65535, port) || text.CStr()[0] != '/') {
            plat::Bell::Ring();
            return true;
        }
        CParamSet::SetInt(set, nullptr, LString("oscport"), int32_t(port));
        CParamSet::SetString(set, nullptr, LString("oscaddr"), text);
        CParamSet::SetString(set, nullptr, LString("send"), LString("1"));
        if (!mOscSender) mOscSender = std::make_unique<COSCSender>(this, mAsyncMain.get());
        if (!mOscSender->IsOpen() && mOscSender->Open(0x7F000001) != 0) {
            mOscSender->Close();
            plat::Bell::Ring();
        }
        CObDoc::SetSceneSender(mOscSender->IsOpen() ? mOscSender.get() : nullptr);
        return true;
    }
    if (c == "cSoundIn") {
        CRecordRef set(&prefs->Slot(P::kPrefSoundSelect).record);
        if (!set.Get()) return true;
        SoundInputSpec spec;
        spec.ReadSettings(set);
        CSoundInSel dialog(this);
        dialog.Set(spec);
        const uint32_t result = RunModal(dialog);
        CloseSoundInput();
        if (result != kDialogOk) {
            (void)prefs.SetByte(nullptr, P::kPrefSoundIn, 0);
            return true;
        }
        dialog.Get().WriteSettings(set, nullptr);
        (void)prefs.SetByte(nullptr, P::kPrefSoundIn, 1);
        if (!OpenSoundInput()) plat::Bell::Ring();
        return true;
    }
    if (c == "cDmxIn") {
        UCtlDlgCmds::DmxInput input;
        input.context = this;
        input.release = [](void* app) { static_cast<CMainApp*>(app)->CloseDmxDeviceInput(); };
        input.open = [](void* app) {
            auto* self = static_cast<CMainApp*>(app);
            return self->OpenDmxDeviceInput() && self->mUsbIn && self->mUsbIn->IsOpen();
        };
        input.beep = [] { plat::Bell::Ring(); };
        (void)UCtlDlgCmds::DmxInterface(this, prefs, UCtlDlgCmds::ConnectedKeys(plat::UsbHost::Current()), input);
        return true;
    }
    if (c == "cDeadZone") {
        (void)UCtlDlgCmds::DeadZone(this, prefs, mHub.get());
        return true;
    }
    return false;
}

void CMainApp::OnMidiMessage(const MidiInMessage& message) {
    if (mMtc) mMtc->OnMidi(message);
    mHub->MidiIn(message);
}

void CMainApp::MidiProc(void* app, const MidiInMessage* message) {
    static_cast<CMainApp*>(app)->OnMidiMessage(*message);
}

void CMainApp::SetSoundFormat(const SoundFormat& format) {
    const uint32_t order = format.bigEndian ? CSampleConverter::kBigEndian : CSampleConverter::kLittleEndian;
    mSoundLeft.Select(order, format.isSigned != 0, format.bits, format.channels, 0);
    mSoundRight.Select(order, format.isSigned != 0, format.bits, format.channels, format.channels > 1 ? 1 : 0);
    mSoundFrameSize = format.BytesPerFrame();
}

void CMainApp::OnSoundFrames(const uint8_t* bytes, uint32_t count) {
    if (mSoundFrameSize == 0 || bytes == nullptr) return;
    const uint32_t n = count / mSoundFrameSize;
    const uint32_t kept = std::min(n, CtlInSoundRing::kFrames);
    const uint8_t* frame = bytes + (n - kept) * mSoundFrameSize;
    mSoundSamples.Lock();
    CtlInSoundRing& ring = mSoundSamples.Ring();
    for (uint32_t i = 0; i < kept; ++i, frame += mSoundFrameSize) {
        if (static_cast<uint16_t>(ring.writeIndex - ring.readIndex) >= CtlInSoundRing::kFrames) ++ring.readIndex;
        int16_t* pair = ring.frames[ring.writeIndex & CtlInSoundRing::kMask];
        pair[0] = static_cast<int16_t>(std::clamp(mSoundLeft.Read(frame), -32768, 32767));
        pair[1] = static_cast<int16_t>(std::clamp(mSoundRight.Read(frame), -32768, 32767));
        ++ring.writeIndex;
    }
    if (kept > 0) ring.newSamples = 1;
    mSoundSamples.Unlock();
}

bool CMainApp::OpenSoundInput() {
    CRecord* select = mPrefs->Root()->GetSubRecord(P::kPrefSoundSelect);
    SoundInputSpec spec;
    if (select) spec.ReadSettings(CRecordRef(&select));
    SoundFormat format;
    format.rate = 0;  // the device's own
    format.channels = 2;
    format.bits = 16;
    format.isSigned = 1;
    format.bigEndian = 0;
    if (mSoundIn->Open(spec, format) != 0) return false;
    SetSoundFormat(mSoundIn->GetFormat());
    mSoundIn->SetConsumer(this, &SoundConsumer);
    mSoundIn->Start();
    return true;
}

void CMainApp::CloseSoundInput() {
    if (mSoundIn) mSoundIn->Close();
}

bool CMainApp::IsSoundInputOpen() const {
    return mSoundIn && mSoundIn->IsOpen();
}

void CMainApp::SoundConsumer(void* app, const uint8_t* bytes, uint32_t count) {
    static_cast<CMainApp*>(app)->OnSoundFrames(bytes, count);
}

// The application's live inputs: DMX from Art-Net, sACN and OSC "/dmx" through the merge into the
// control-input hub, the OSC server and the scene announcements' sender.
#include <algorithm>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/CSAcnIn.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Orbilume/CSources/Osc/OscServer.h"

namespace {

using P = CAppPrefs;

constexpr uint32_t kNetPriority = 100;

void ArtNetProc(void* app, const CNetAddress& from, uint32_t length, const uint8_t* datagram) {
    static_cast<CMainApp*>(app)->OnArtNet(from, length, datagram);
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
        if (blob.tag != 'b' || !blob.value.b || blob.size < 2) return;
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
        if (!mArtNet) mArtNet = std::make_unique<CArtNetIn>(this, mWorker.get(), this, &ArtNetProc);
        (void)mArtNet->Start();
    } else if (mArtNet) {
        mArtNet->Stop();
    }
    // sACN.
    if (prefs->GetByte(P::kPrefSacnIn)) {
        if (!mSAcn) mSAcn = std::make_unique<CSAcnIn>(this, mWorker.get(), this, &SAcnProc);
        if (!mSAcn->IsOpen() && !mSAcn->Open()) mSAcn->Close();
        const auto universe = static_cast<int32_t>(prefs->GetUInt(P::kPrefSacnUniverse));
        if (mSAcn->IsOpen() && mSAcn->Universe() != universe) (void)mSAcn->SetUniverse(universe);
    } else if (mSAcn) {
        mSAcn->Close();
    }
    // Scene announcements.
    CRecord* snsl = prefs->GetSubRecord(P::kPrefSceneSelSend);
    LString send;
    const bool sending = snsl && CParamSet::Find(CRecordRef(&snsl), LString("send"), &send) >= 0 && !send.IsEmpty();
    if (sending) {
        if (!mOscSender) mOscSender = std::make_unique<COSCSender>(this, mWorker.get());
        if (!mOscSender->IsOpen() && mOscSender->Open(0x7F000001) != 0) mOscSender->Close();
        CObDoc::SetSceneSender(mOscSender->IsOpen() ? mOscSender.get() : nullptr);
    } else {
        CObDoc::SetSceneSender(nullptr);
        if (mOscSender) mOscSender->Close();
    }
}

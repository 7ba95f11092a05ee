#include "Orbilume/CSources/Led/CDimDragTracker.h"

#include <memory>
#include <utility>

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LScrapData.h"

CDimDragTracker::CDimDragTracker(LPane* owner) : fOwner(owner) {
    fWindow = owner ? owner->GetWindow() : nullptr;
    if (fWindow) (void)LDropTargetList::Acquire(fWindow);
}

CDimDragTracker::~CDimDragTracker() {
    Retire();
    if (!fWindow) return;
    if (LDrop* drop = LDropTargetList::Find(fWindow)) drop->Forget(fOwner);
    LDropTargetList::Release(fWindow);
}

void CDimDragTracker::Retire() {
    if (CDragger* d = std::exchange(fDragger, nullptr)) {
        d->Abandon();
        LHandler::DeleteAfterDispatch(d);
    }
    fActive = false;
}

void CDimDragTracker::StartDrag(const LScrapType& type) {
    if (!fOwner) return;
    Retire();
    fType = type;
    fCopy = false;
    auto data = std::make_unique<LScrapData>();
    const uint8_t zero = 0;
    if (!data->AddFlavor(type.name, type.code, &zero, 1, 0)) return;
    fDragger = new CDragger(fOwner);
    fDragger->SetOwned(true);
    fDragger->SetData(std::move(data));
    fActive = true;
}

int32_t CDimDragTracker::Dispatch(const LMessage& msg, LMessage* reply) {
    if (!fActive) return kNone;
    LMessage answer;
    int32_t result = kNone;
    if (fDragger && msg.sender == fDragger && msg.Is(CDragger_Drag)) {
        answer = msg.Retarget(fDragger);
        result = kConsumed;
    } else if (fDragger && msg.sender == fDragger && msg.Is(CDragger_End)) {
        // Deleted once this message is over.
        LHandler::DeleteAfterDispatch(std::exchange(fDragger, nullptr));
        fActive = false;
        result = kEnded;
    } else if (msg.Is(LDrop_Sense) && msg.sender) {
        static_cast<LDrop*>(msg.sender)->Target(fOwner);
        result = kConsumed;
    } else if ((msg.Is(LDrop_Enter) || msg.Is(LDrop_Drag) || msg.Is(LDrop_Drop)) && msg.sender) {
        auto* drop = static_cast<LDrop*>(msg.sender);
        if (!UDragPboard::HasScrapType(drop, fType)) return kNone;
        if (msg.Is(LDrop_Enter)) {
            result = kConsumed;
        } else if (msg.Is(LDrop_Drag)) {
            fDropPoint = drop->MouseLocation();
            result = kMoved;
        } else {
            fDropPoint = drop->MouseLocation();
            fCopy = drop->IsCopyOnly();
            result = kDropped;
        }
        drop->SetFeedback(LDrop::kCopy);
    } else {
        return kNone;
    }
    if (reply) *reply = answer;
    return result;
}

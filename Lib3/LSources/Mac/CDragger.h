#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/Object.h"

class LScrapData;
class MDragSrc;
namespace plat {
class BitmapImage;
}

L_MESSAGE_ID(CDragger_Drag);
L_MESSAGE_ID(CDragger_End);

// Turns a press on a pane into a drag out of it: captures the mouse, asks the pane ("CDragger_Drag",
// once the mouse moved 4 pixels) and, when the message comes back, runs the platform drag with the
// data and the image region the pane gave; "CDragger_End" follows with the result (1 no drop, 2 a
// drop). A dragger that an owner keeps (SetOwned) is deleted by that owner, else by itself when End
// comes back; either way only after the message's dispatch has ended. An owner that goes away mid
// drag abandons it: the drag ends quietly. Main thread only.
class CDragger : public LPane {
public:
    enum : uint32_t { kRunning = 0, kNoDrop = 1, kDropped = 2 };
    static constexpr int32_t kThreshold = 4;

    explicit CDragger(LPane* pane);
    ~CDragger() override;

    LMessage Handle(const LMessage& msg) override;

    uint32_t Result() const { return fResult; }
    const CLPoint& StartPoint() const { return fStart; }
    void SetData(std::unique_ptr<LScrapData> data);
    LScrapData* Data() const { return fData.get(); }
    // Screen coordinates (top-left).
    void SetImageRegion(const CRgn& region) { fRegion = region; }
    const CRgn& ImageRegion() const { return fRegion; }
    void SetOwned(bool owned) { fOwned = owned; }
    void Abandon();
    bool IsDragging() const { return fDragging; }
    // The drag image of a region: its bounds (1 × 1 for an empty region), the region grey 128 at 0.25.
    static plat::Ref<plat::BitmapImage> MakeImage(const CRgn& region);

private:
    LMessage StartDrag();

    LPane* fPane;
    uint32_t fResult = kRunning;
    CLPoint fStart;
    std::unique_ptr<LScrapData> fData;
    CRgn fRegion;
    plat::Event fMouseDown;
    plat::Ref<MDragSrc> fSource;
    bool fOwned = false;
    bool fAbandoned = false;
    bool fDragging = false;
};

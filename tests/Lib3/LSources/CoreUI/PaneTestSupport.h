#pragma once

#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"

// The top of a test chain: records the id of every message that reaches it.
class MessageLog : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        return LHandler::Handle(msg);
    }
    std::vector<std::string> ids;
};

// Stands in for a frame without window: its port origin is its top-left, its clip its bounds, and
// it records what its children invalidate.
class FakeOwner : public LPane {
public:
    explicit FakeOwner(LHandler* upper, const CLRect& bounds = {0, 0, 200, 100}) : LPane(upper, nullptr) {
        SetBounds(bounds);
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    void FillPort(LPanePort& port) override {
        port.clip = CRgn(Bounds());
        port.origin = {Bounds().left, Bounds().top};
    }
    void Invalidate(const CRgn& invalid, const CRgn& erase) override {
        invalids.push_back(invalid);
        erases.push_back(erase);
    }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_Constructing)) return LMessage();
        return LPane::Handle(msg);
    }
    std::vector<CRgn> invalids;
    std::vector<CRgn> erases;
};

inline CRgn Rgn(const CLRect& r) {
    return CRgn(r);
}

inline CRgn Union(std::initializer_list<CLRect> rects) {
    CRgn out;
    for (const CLRect& r : rects) out |= CRgn(r);
    return out;
}

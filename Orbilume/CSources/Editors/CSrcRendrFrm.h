#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class CDocModelHolder;
class CInParamFrm;
class CInParamPane;
class CRecord;
class IChannelEngine;
class LMenuItem;

// A composition path chosen for a new filter: the sender's LastFilterPath.
L_MESSAGE_ID(CSrcRendrFrm_Filter);

// A unit's chain as a column of input-parameter frames: child 0 the unit itself (kind 1 - flag),
// then one frame of kind 2 per filter in chain order. Flag 1 in a channel cell, 0 in an image
// pane. Rebuilds keep the frames of units that stay. Main thread only.
class CSrcRendrFrm : public LFrame {
public:
    static constexpr int32_t kGap = 2;

    CSrcRendrFrm(LHandler* upper, LPane* owner, CDocModelHolder* model, uint8_t flag);
    ~CSrcRendrFrm() override;

    // unit: the chain's UNIT record (null: no frames); ports from the engine.
    void Rebuild(CRecord* unit, IChannelEngine* engine, bool showControls);
    void Clear();

    uint32_t ChildCount() const { return uint32_t(fChildren.size()); }
    CInParamFrm* ChildAt(uint32_t i) const { return i < fChildren.size() ? fChildren[i] : nullptr; }
    CInParamFrm* FrameOf(uint32_t unitId) const;
    CInParamPane* FindPane(uint32_t unitId, const LString& key) const;
    // The chain position under a point (local): the unit (child 0's) and the number of filter
    // frames whose middle lies above it.
    bool ChainPositionAt(const CLPoint& local, uint32_t& unitId, uint32_t& index) const;
    // The input pane under a point: its unit and its index among the frame's panes.
    bool InputAt(const CLPoint& local, uint32_t& unitId, uint32_t& index) const;
    // The y (local) of a drop mark before filter index of the chain.
    int32_t DropMarkY(uint32_t index) const;

    // "CAppCmd_LoadFilter" and "CAppCmd_AddCompo"; false for other items.
    bool MenuCommand(const LMenuItem* item);
    const LString& LastFilterPath() const { return fLastPath; }
    uint8_t Flag() const { return fFlag; }

    // Stacks the children from y = 2, 2 apart, full width.
    void Stack();
    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    // The open panel of "CAppCmd_LoadFilter": the chosen file or an empty spec when cancelled;
    // tests replace it.
    using ChooseFileFunction = bool (*)(const LFsSpec& start, LFsSpec& chosen);
    static void SetChooseFileFunction(ChooseFileFunction f);

private:
    CInParamFrm* NewChild(uint32_t kind);
    void Bind(CInParamFrm* frame, uint32_t unitId, IChannelEngine* engine, bool showControls);
    void SendFilter(const LString& path);

    CDocModelHolder* fModel;
    uint8_t fFlag;
    std::vector<CInParamFrm*> fChildren;
    LString fLastPath;
};

#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CInParamPane;
class CRecord;
class LHandler;
class PropertyTreeObject;
struct CUnitPort;
class CDocModelHolder;
struct CUnitPortList;

// A click inside a frame of kind 2 or 3, sent to the owner with the frame.
L_MESSAGE_ID(CInParamFrm_Click);

// The inputs of one unit as a vertical stack of value panes at the frame's full width, built from a
// "controls" description. Kinds: 0 a layer's own unit (and the output adjustment; a line along the
// bottom), 1 nested in a mode pane, 2 a filter of a chain, 3 nested in a value pane (grey 191); kinds
// 2 and 3 draw a rounded outline and report clicks. Value and assignment notes pass up; assignment
// notes get the frame's unit id when they have none. Main thread only.
class CInParamFrm : public LFrame {
public:
    static constexpr uint32_t kMaxDecimals = 6;
    static constexpr uint32_t kMaxLines = 32;

    CInParamFrm(LHandler* upper, LPane* owner, uint32_t kind);
    ~CInParamFrm() override;

    // desc's member "controls": a list of objects with "id", "type" ("check", "selector" with
    // "items" of "text", "numeric" with "min", "max", "prec", "ini", "edittext" with "lines",
    // "mode" with "modes"), "name". With a unit record each input is found or made in it and its
    // value shown; with showEditors its 'ctrl' set goes to the pane's assignment editor.
    void BuildFromControls(const PropertyTreeObject* desc, CRecord* unit, bool showEditors);
    // One pane per shown port after the bypass pane ("_obunit_Bypass", labelled with the unit's
    // name); panes whose reference is unchanged are kept (with their focus and typing). With
    // showEditors and a document mix, each input's 'ctrl' set goes to its assignment editor. Null
    // ports: no panes, unit id 0.
    void BuildFromPorts(const CUnitPortList* ports, CRecord* mix, bool showEditors);
    // Decimals of a number port: its own, or from the range when negative (3 for non-finite bounds).
    static uint32_t PortDecimals(const CUnitPort& port);
    void Clear();

    CInParamPane* FindPane(uint32_t unitId, const LString& key);
    CInParamFrm* FindFrame(uint32_t unitId);
    uint32_t PaneCount() const { return uint32_t(fPanes.size()); }
    CInParamPane* PaneAt(uint32_t i) const { return i < fPanes.size() ? fPanes[i] : nullptr; }
    uint32_t Kind() const { return fKind; }
    uint32_t UnitId() const { return fUnitId; }
    void SetUnitId(uint32_t id) { fUnitId = id; }
    // The document an image input's pane edits; without it image inputs get a plain pane.
    void SetModel(CDocModelHolder* model) { fModel = model; }
    void SetFocusedLook(bool on);

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    // Places the panes top to bottom at full width, each at its preferred height.
    void Stack();

private:
    CInParamPane* MakePane(const PropertyTreeObject& entry, CRecord* unit, bool showEditors);
    CInParamPane* MakePortPane(const CUnitPort& port);
    void RemovePanes(size_t from, size_t to);

    uint32_t fKind;
    uint32_t fUnitId = 0;
    CDocModelHolder* fModel = nullptr;
    bool fFocusedLook = false;
    bool fBuilding = false;             // one stacking at the end of a build
    std::vector<CInParamPane*> fPanes;  // children, deleted last first
};

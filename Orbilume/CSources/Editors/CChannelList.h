#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class CCellDragHelper;
class CDropScrollHelper;
class CDocModelHolder;
class CDragger;
class CListDropTarget;
class LDrop;
class CInParamFrm;
class CLayerFrm;
class CRecord;
class CSrcRendrFrm;
class IChannelEngine;
struct SRecordEvent;

// A pane's value for the engine alone while a control is dragged (sender a CInParamNote).
L_MESSAGE_ID(CInParamPane_Preview);

// The mixing desk: one channel cell (CLayerFrm) per layer of the mix, side by side. Edits go
// through the record setters with the document as the editing handler; display follows the
// model's observers. DCPF run-time fields 10-13 hold the strips' shared view state. Main thread.
class CChannelList : public CCellGridPane {
public:
    static constexpr const char* kCellName = "CHANNELCELL";
    static constexpr uint32_t kScrapLayers = 0x4C415952;     // 'LAYR'
    static constexpr uint32_t kScrapFilters = 0x464C5452;    // 'FLTR'
    static constexpr uint32_t kScrapAnimators = 0x414E4D54;  // 'ANMT'
    enum : uint32_t { kFeedbackOwn = 1, kFeedbackMove = 2, kFeedbackCopy = 3 };
    static constexpr uint32_t kPreviewDelayMs = 125;

    struct SPreviewRequest {
        uint32_t unitId;
        uint8_t immediate;
    };
    // Where a unit drag would land: kind 0 filter index of unit's chain, kind 1 input index.
    struct SDropMark {
        uint32_t unitId = 0;
        uint32_t index = 0;
        uint8_t kind = 0;
    };

    CChannelList(LPane* owner, LHandler* document, CDocModelHolder* model, IChannelEngine* engine,
                 CRecord* docPrefs);
    ~CChannelList() override;

    // Where commands insert new layers: the selection's left column, else the layer count.
    uint32_t GetInsertIndex() const;
    void SelectChannel(uint32_t index);
    // The focused control's (unit id, input key); unit id 0 when none.
    uint32_t GetFocusedParameter(LString& key) const;

    // Cell slots.
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    // Cells (the prototype too) follow DCPF field 10 for their width.
    void PrepareCellPane(LPane* pane) override;
    bool FillCell(CLayerFrm* cell, uint32_t index);
    CLayerFrm* CellPane(uint32_t column) const;
    // The cells' header height, as the prototype cell's layout places it.
    int32_t HeaderHeight();

    // Edits from the cells (the apply-to-selection rule).
    void SetBlendFromFader(uint32_t column, int32_t faderValue);
    void SetMixFromPopup(uint32_t column, int32_t index);
    void SetNameFromField(uint32_t column, const LString& name);
    // A new filter at the end of the column's chain, or of the unit's.
    void AppendFilter(uint32_t column, const LString& path);
    void AppendFilterTo(uint32_t unitId, const LString& path);
    // An assignment note into the input's 'ctrl' set: path innermost first.
    void StoreControlNote(uint32_t unitId, const LString& key, const std::vector<LString>& path,
                          const LString& value);

    // Drops between columns (one undo group each); the feedback given.
    uint32_t DropLayers(uint32_t column, std::vector<CRecord*> records, bool moveFeedback);
    uint32_t DropUnitsAsLayers(uint32_t column, std::vector<CRecord*> units, bool moveFromHere);
    uint32_t DropFiles(uint32_t column, const std::vector<LFsSpec>& files);
    // A unit drop onto a chain or an input; records are UNITs (or LAYRs for 'LAYR').
    uint32_t DropUnits(const SDropMark& mark, uint32_t scrapType, std::vector<CRecord*> records, bool copyOnly);
    // The drop counts as a copy: no drag from this list, or the target lies inside the dragged unit.
    bool DropIsCopy(uint32_t targetUnitId) const;
    // "LStdCmd_Delete".
    bool CanDelete() const;
    void DeleteCommand();

    // The unit focused by a frame click; 0 none.
    void FocusUnit(uint32_t unitId);
    uint32_t FocusedUnit() const { return fFocusedUnit; }
    void SetDraggedUnit(uint32_t unitId) { fDraggedUnit = unitId; }
    uint32_t DraggedUnit() const { return fDraggedUnit; }
    const SDropMark* ShownMark() const { return fMarkShown ? &fMark : nullptr; }
    void SetColumnDragRunning(bool on) { fColumnDrag = on; }
    bool ColumnDragRunning() const { return fColumnDrag; }
    CDropScrollHelper* ChainDrop() const { return fChainDrop.get(); }

    // The preview queue.
    void QueuePreview(uint32_t unitId, bool immediate);
    // The pending requests in serving order: immediate ones first.
    std::vector<SPreviewRequest> PreviewQueue() const;
    bool HasPendingPreviews() const { return !fQueued.empty(); }
    void ClearPreviews();
    LTimer& PreviewTimer() { return fTimer; }
    // One expiry of the preview timer.
    void ServePreviews();
    // The tree's previews of a layer: inputs' image units first, filters, the unit last.
    void QueueLayerPreviews(const CRecord* unit);

    // Field 13 := value clamped to [0, field 11 - field 12].
    void SetChainOffset(int32_t value);
    // Fields 11 and 12 from the visible cells.
    void MeasureChains();

    CDocModelHolder* Model() const { return fModel; }
    IChannelEngine* Engine() const { return fEngine; }
    LHandler* Document() const { return fDocument; }
    CRecord* DocPrefs() const { return fPrefs; }
    bool ControlsShown() const;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    void StateChanged(uint32_t op) override;

private:
    static void ModelObserver(void* context, const SRecordEvent* event);
    static void PrefsObserver(void* context, const SRecordEvent* event);
    void OnModelChange(const SRecordEvent& event);
    void OnPrefsChange(const SRecordEvent& event);
    CRecord* Mix() const;
    CRecord* LayerRecord(uint32_t column) const;
    std::vector<uint32_t> TargetColumns(uint32_t column) const;
    int32_t ColumnOfRecord(const CRecord* record) const;
    void RefreshColumn(int32_t column);
    void RenumberFrom(int32_t column);
    LMessage HandleCellMessage(CLayerFrm* cell, const LMessage& msg);
    // The chain frame that is the sender: the chain itself or an image input's chain inside it.
    static const CSrcRendrFrm* FindChain(const CSrcRendrFrm* chain, const void* sender);
    // The drop target's codes: between columns, or a unit mark over a chain.
    void HandleDrop(int32_t code);
    bool TrackUnitDrag(LDrop* drop, const CLPoint& local);
    void StartUnitDrag(CInParamFrm* frame);
    // The frame of a unit in a live cell's chain, nested frames included; null when none.
    CInParamFrm* UnitFrame(uint32_t unitId) const;
    void RedrawMark();
    void HideMark();
    LMessage HandleChainDrop(const LMessage& msg);
    // The chain drag turned into a drop between columns: the list's own target takes it over.
    void HandChainDragToColumns();
    bool ServeOne(const SPreviewRequest& r);
    bool PopPreview(SPreviewRequest& r);

    LHandler* fDocument;
    CDocModelHolder* fModel;
    IChannelEngine* fEngine;
    CRecord* fPrefs;
    LTimer fTimer;
    // The queue is two FIFOs (immediate, then delayed) of (unit id, ticket); fQueued maps each
    // pending unit to its live ticket, so a dedup or an upgrade never scans. Stale entries are
    // skipped when popped.
    struct SQueued {
        uint32_t unitId;
        uint32_t ticket;
    };
    std::deque<SQueued> fImmediate;
    std::deque<SQueued> fDelayed;
    struct SPending {
        uint32_t ticket;
        uint8_t immediate;
    };
    std::unordered_map<uint32_t, SPending> fQueued;
    uint32_t fNextTicket = 0;
    uint32_t fFocusedUnit = 0;
    uint32_t fDraggedUnit = 0;
    bool fColumnDrag = false;
    bool fCreating = false;
    std::unique_ptr<CCellDragHelper> fColumnHelper;
    std::unique_ptr<CListDropTarget> fDropTarget;
    // Unit drags over the chains: auto-scroll and the drop mark.
    std::unique_ptr<CDropScrollHelper> fChainDrop;
    CDragger* fUnitDragger = nullptr;
    SDropMark fMark;
    bool fMarkShown = false;
    // The last mix-function edit: merged while the same popup sets the same selection again.
    struct {
        const void* control = nullptr;
        std::vector<uint32_t> columns;
        int32_t value = -1;
    } fLastMix;
};

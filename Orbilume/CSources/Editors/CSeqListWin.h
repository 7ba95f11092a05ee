#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/LScrapType.h"
#include "Orbilume/CSources/App/DocWindows.h"

class CDocModelHolder;
class CLatentEditText;
class CRecordRowDrag;
class LListNavi;
class LTextPane;
struct SRecordEvent;

// The sequences of a show ('sqns'), one "OBSEQCELL" row each: the ">" marker of the edited sequence
// (SCNS field 16), the control slot label ('sqct') and the name, edited in place only when its row
// alone is selected. A click makes the row the edited sequence; rows drag as 'SEQC' (moved within
// the list, inserted from elsewhere); Delete removes the selection last first. Main thread only.
class CSeqList : public CCellGridPane {
public:
    CSeqList(LPane* owner, CDocModelHolder* doc);
    ~CSeqList() override;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    void Draw(LDrawContext& ctx) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }

    CRecord* SequenceAt(int32_t row) const;
    void DeleteSelection();
    CDocModelHolder* Document() const { return fDoc; }
    CRecordRowDrag* Drag() const { return fDrag.get(); }
    static LScrapType ScrapType();

private:
    friend class CSeqCell;

    static void Observe(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);

    int32_t fTypingRow = -1;
    CDocModelHolder* fDoc = nullptr;
    std::unique_ptr<CRecordRowDrag> fDrag;
};

class CSeqCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "OBSEQCELL";

    explicit CSeqCell(CSeqList* list);
    LMessage Handle(const LMessage& msg) override;

    void Bind(int32_t row);
    int32_t Row() const { return fRow; }
    LTextPane* Marker() const { return fMarker; }
    LTextPane* SlotLabel() const { return fSlot; }
    CLatentEditText* NameField() const { return fName; }

private:
    CSeqList* fList = nullptr;
    LTextPane* fMarker = nullptr;
    LTextPane* fSlot = nullptr;
    CLatentEditText* fName = nullptr;
    int32_t fRow = -1;
};

// The sequence window ("OBSEQWIN"): a floating panel over the sequence list. Showing it makes
// sequence 0 the edited one when none is; hiding it ends sequence editing (field 16 to -1). Its
// place is DCPF 'sqwp'. "cAddSeq" adds a sequence and edits its name.
class CSeqListWin : public LFrame {
public:
    static constexpr const char* kName = "OBSEQWIN";

    CSeqListWin(LHandler* upper, CDocModelHolder* doc, CRecord* docPrefs, const LFrameSpec& spec = DefaultSpec());
    ~CSeqListWin() override;

    LMessage Handle(const LMessage& msg) override;

    void Show();
    void Hide();
    bool IsShown() const { return fShown; }
    // A new sequence, selected and revealed with its name field active; its row or -1.
    int32_t AddSequence();

    CSeqList* List() const { return fList; }
    LListNavi* Navi() const { return fNavi; }
    static LFrameSpec DefaultSpec();

private:
    CDocModelHolder* fDoc = nullptr;
    CRecord* fPrefs = nullptr;
    LListNavi* fNavi = nullptr;
    CSeqList* fList = nullptr;
    bool fShown = false;
};

// The document's sequence window through its window interface.
class CDocSeqListWin : public IDocWindow {
public:
    explicit CDocSeqListWin(const SDocWindowArgs& args);
    ~CDocSeqListWin() override;

    LHandler* Handler() override;
    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void Select() override;
    CLRect Frame() const override;
    void SetFrame(const CLRect& frame) override;
    void SetTitle(const LString& title) override;

    CSeqListWin* Window() const { return fWin.get(); }
    static std::unique_ptr<IDocWindow> Make(const SDocWindowArgs& args);

private:
    std::unique_ptr<CSeqListWin> fWin;
};

#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/LScrapType.h"
#include "Lib3/LSources/Mac/UPasteboard.h"

class CHeaderFrame;
class CNumVol;
class CRecord;
class CRecordHolder;
class CRecordRowDrag;
class LEditText;
class LTextPane;
struct SRecordEvent;

// The universe numbers of a UVAD row as the window shows and edits them. Art-Net: net in bits
// 8-14, sub-net in 4-7, universe in 0-3; sACN shows univ + 1. Every edit gives a 15-bit value, so
// bits above 14 read from a file never survive an edit unseen.
struct UUvAd {
    static constexpr int32_t kMaxUniverse = 32767;

    static int32_t Net(int32_t univ) { return (univ >> 8) & 127; }
    static int32_t SubNet(int32_t univ) { return (univ >> 4) & 15; }
    static int32_t Universe(int32_t univ) { return univ & 15; }
    // min(univ + flws, 32767), never below 0.
    static int32_t Last(int32_t univ, int32_t flws);

    static int32_t WithNet(int32_t univ, int32_t net);
    static int32_t WithSubNet(int32_t univ, int32_t subNet);
    static int32_t WithUniverse(int32_t univ, int32_t universe);
    // sACN universe 1-32768 (clamped) to univ.
    static int32_t FromSacn(int32_t sacn);
    // Count 1-32768 (clamped) to flws.
    static int32_t FromCount(int32_t count);
    // " nnn/ s/ u" of Last, as the row's label shows it in Art-Net mode.
    static LString LastArtNetText(int32_t univ, int32_t flws);
};

class CUvAdList;

// One UVAD row ("UVADCELL"): the Art-Net frame ("UVADANF": Net 0-127 / Sub-Net 0-15 / Universe
// 0-15) or the sACN frame ("UVADSACNF": Universe 1-32768), the last universe, Count 1-32768 and the
// address. Each edit is one undoable record change through the list; the address is committed
// when its field loses the focus or on Return or Enter. Main thread only.
class CUvAdCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "UVADCELL";
    static constexpr const char* kArtNetName = "UVADANF";
    static constexpr const char* kSacnName = "UVADSACNF";

    explicit CUvAdCell(CUvAdList* list);
    LMessage Handle(const LMessage& msg) override;

    void Bind(int32_t row);
    int32_t Row() const { return fRow; }

    CNumVol* NetKnob() const { return fNet; }
    CNumVol* SubNetKnob() const { return fSubNet; }
    CNumVol* UniverseKnob() const { return fUniverse; }
    CNumVol* SacnKnob() const { return fSacn; }
    CNumVol* CountKnob() const { return fCount; }
    LTextPane* LastLabel() const { return fLast; }
    LEditText* Address() const { return fAddress; }
    LFrame* ArtNetFrame() const { return fArtNet; }
    LFrame* SacnFrame() const { return fSacnFrame; }

private:
    void CommitAddress();

    CUvAdList* fList;
    LFrame* fArtNet = nullptr;
    LFrame* fSacnFrame = nullptr;
    CNumVol* fNet = nullptr;
    CNumVol* fSubNet = nullptr;
    CNumVol* fUniverse = nullptr;
    CNumVol* fSacn = nullptr;
    LTextPane* fLast = nullptr;
    CNumVol* fCount = nullptr;
    LEditText* fAddress = nullptr;
    int32_t fRow = -1;
};

// The rows of a UVAS record ('uvas'), one per UVAD, following the record's holder. Cut, Copy, Paste,
// Delete and dragging work on the selected rows as list scraps of ScrapType(); "+" (AddRow) inserts
// a default UVAD after the selection. Main thread only.
class CUvAdList : public CCellGridPane {
public:
    CUvAdList(LPane* owner, CRecordHolder* holder, CRecord* uvas);
    ~CUvAdList() override;

    static LScrapType ScrapType();

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    void Draw(LDrawContext& ctx) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }

    // Redraws every row when the mode changes; the records are not touched.
    void SetSacnMode(bool sacn);
    bool SacnMode() const { return fSacn != 0; }

    // A default UVAD at the end of the selection (or of the list), selected; its row or -1.
    int32_t AddRow();
    CRecord* Uvas() const { return fUvas; }
    CRecord* RowAt(int32_t row) const;
    void SetHeader(CHeaderFrame* header) { fHeader = header; }
    CHeaderFrame* Header() const { return fHeader; }

private:
    static void Observe(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);
    int32_t Count() const;

    CRecordHolder* fHolder;
    CRecord* fUvas;
    CHeaderFrame* fHeader = nullptr;
    CPasteboardU fPasteboard;
    std::unique_ptr<CRecordRowDrag> fDrag;
    uint8_t fSacn = 0;
};

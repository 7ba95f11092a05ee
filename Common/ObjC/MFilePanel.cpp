#include "Common/ObjC/MFilePanel.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "Common/ObjC/CEmbeddedFrame.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Bell.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/StandardFolders.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

constexpr uint32_t kPanelWindowKind = 3;
constexpr int32_t kWidth = 520;
constexpr int32_t kListHeight = 260;
constexpr int32_t kMargin = 12;
constexpr double kPrefixPause = 1.0;  // seconds after which typing starts a new prefix

LHandler* gUpper = nullptr;
MFilePanel::ReplaceQuestion gReplace = nullptr;
void* gReplaceContext = nullptr;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The folder as the file system resolves it (links and "..", so entering a link loop goes nowhere).
std::string Resolved(const std::string& path) {
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf)) return path;
    return buf;
}

std::string Parent(const std::string& folder) {
    if (folder.size() <= 1) return "/";
    const size_t slash = folder.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::string Leaf(const std::string& folder) {
    if (folder == "/") return "/";
    const size_t slash = folder.rfind('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

bool AskReplace(const std::string& path) {
    if (gReplace) return gReplace(path, gReplaceContext);
    CSimpleMessageDialog box(MFilePanel::DefaultUpper(), nullptr);
    const std::string text = "\xE2\x80\x9C" + plat::ValidUtf8(Leaf(path)) +
                             "\xE2\x80\x9D already exists. Do you want to replace it?";
    return box.Run(LString(text.c_str()), 0, true) == 1;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

// MFileCell.

MFileCell::MFileCell(LPane* grid) : CTabFocusPane(grid, grid), fText(new LTextPane(this, 0)) {
    ChangeState(kChainShow);
    ChangeState(kChainEnable);
}

void MFileCell::Bind(const std::string& text) {
    (void)fText->SetText(LString(text.c_str()));
    const CLRect b = Bounds();
    fText->SetBounds({4, 2, std::max(4, b.Width() - 4), std::max(2, b.Height() - 2)});
}

// MFileGrid.

MFileGrid::MFileGrid(LPane* owner, MFilePanel* panel)
    : CCellGridPane(owner, kSelectSingle, true, false), fPanel(panel) {
    SetCellSize(100, MFilePanel::kRowHeight);
}

MFileGrid::~MFileGrid() {
    SetGridSize(0, 0);
}

LMessage MFileGrid::Handle(const LMessage& msg) {
    if (msg.Is(LKeyboard_Down) && msg.sender == LKeyboard::Get() && fPanel->HandleListKey())
        return LMessage();
    return CCellGridPane::Handle(msg);
}

LPane* MFileGrid::FindPaneAt(const CLPoint& p) {
    // The rows take no clicks of their own: the list selects.
    return Bounds().Contain(p) ? this : nullptr;
}

void MFileGrid::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() != CellWidth() && Bounds().Width() > 0)
        SetCellSize(Bounds().Width(), MFilePanel::kRowHeight);
}

CTabFocusPane* MFileGrid::CreateCellPane() {
    return new MFileCell(this);
}

bool MFileGrid::BindCell(LPane* pane, const CLPoint& cell) {
    const auto& entries = fPanel->Entries();
    if (cell.x != 0 || cell.y < 0 || size_t(cell.y) >= entries.size()) return false;
    const MFileEntry& e = entries[size_t(cell.y)];
    static_cast<MFileCell*>(pane)->Bind(e.folder && !e.package ? e.shown + "/" : e.shown);
    return true;
}

// MFilePanel.

LHandler* MFilePanel::DefaultUpper() {
    if (gUpper) return gUpper;
    // The application root, above the main loop: it runs the modal steps.
    CMacMainLoop* loop = CMacMainLoop::Get();
    return loop ? (loop->Upper() ? loop->Upper() : loop) : nullptr;
}

void MFilePanel::SetDefaultUpper(LHandler* upper) {
    gUpper = upper;
}

void MFilePanel::SetReplaceQuestion(ReplaceQuestion question, void* context) {
    gReplace = question;
    gReplaceContext = context;
}

MFilePanel::MFilePanel(LHandler* upper, Kind kind)
    : LModalDialog(upper, nullptr,
                   LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kPanelWindowKind)))),
      MFilePanelBase(kind),
      fMessage(new LTextPane(this, 0)),
      fLocation(new LPopupList(this, LStdCtlSpec{})),
      fNavi(new LListNavi(this, LListNavi::kVerticalBar, 1)),
      fGrid(new MFileGrid(fNavi, this)) {
    PLAT_DCHECK_MAIN_THREAD();
    fNavi->SetListPane(fGrid);
    if (kind == kSavePanel) {
        fNameLabel = new LTextPane(this, 0);
        (void)fNameLabel->SetText(LString("Save As:"));
        fName = new LEditText(this, LEditText::kSingleLine, 0);
    }
    fCancel = new LStdButton(this, LStdCtlSpec{});
    fCancel->SetTitle(LString("Cancel"));
    fOK = new LStdButton(this, LStdCtlSpec{});
    fOK->SetTitle(LString(kind == kSavePanel ? "Save" : "Open"));
    SetDefaultButton(fOK);
    SetCancelButton(fCancel);
    SetWindowTitle(LString(kind == kSavePanel ? "Save" : "Open"));
    SetWindowFrame({120, 120, 120 + kWidth, 120 + kListHeight + 160});
    LayOutPanes();
}

MFilePanel::~MFilePanel() {
    SetAccessoryView(nullptr);
}

plat::Window* MFilePanel::HostWindow() const {
    return Window() ? Window()->NativeWindow() : nullptr;
}

void MFilePanel::SetAccessoryView(CEmbeddedFrame* view) {
    CEmbeddedFrame* old = AccessoryView();
    if (old == view) return;
    if (old) old->View()->RemoveFromSuperview();
    MFilePanelBase::SetAccessoryView(view);
    LayOutPanes();
}

void MFilePanel::BoundsChanged(const CLRect& old) {
    LModalDialog::BoundsChanged(old);
    if (Bounds().Width() != old.Width() || Bounds().Height() != old.Height()) LayOutPanes();
}

void MFilePanel::LayOutPanes() {
    const CLRect b = Bounds();
    const int32_t w = std::max<int32_t>(b.Width(), 200);
    const int32_t right = w - kMargin;
    int32_t y = kMargin;
    const bool hasMessage = !Message().empty();
    fMessage->SetBounds({kMargin, y, right, y + (hasMessage ? 18 : 0)});
    y += hasMessage ? 24 : 0;
    fLocation->SetBounds({kMargin, y, std::min(right, kMargin + 300), y + 22});
    y += 30;
    CEmbeddedFrame* acc = AccessoryView();
    const int32_t accH = acc ? acc->Bounds().Height() : 0;
    const int32_t nameH = fName ? 30 : 0;
    const int32_t bottom = std::max<int32_t>(b.Height(), y + 100) - kMargin - 24;
    const int32_t listBottom = std::max(y + 40, bottom - 10 - accH - nameH);
    fNavi->SetBounds({kMargin, y, right, listBottom});
    y = listBottom + 8;
    if (fName) {
        fNameLabel->SetBounds({kMargin, y + 3, kMargin + 70, y + 21});
        fName->SetBounds({kMargin + 74, y, right, y + 22});
        y += nameH;
    }
    if (acc) {
        plat::View* content = HostWindow() ? HostWindow()->ContentView() : nullptr;
        if (content && acc->View()->Superview() != content)
            acc->AttachTo(content, {double(kMargin), double(y)});
        else
            acc->View()->SetFrame({double(kMargin), double(y), double(acc->Bounds().Width()), double(accH)});
    }
    fOK->SetBounds({right - 90, bottom, right, bottom + 24});
    fCancel->SetBounds({right - 190, bottom, right - 100, bottom + 24});
}

void MFilePanel::FillLocations() {
    fLocation->RemoveAll();
    fLocations.clear();
    for (std::string p = fFolder;; p = Parent(p)) {
        fLocation->AddItem(LString(plat::ValidUtf8(Leaf(p)).c_str()));
        fLocations.push_back(p);
        if (p == "/") break;
    }
    const std::string home = plat::StandardFolderPath(plat::StandardFolder::kCurrentUser, false);
    const std::string places[] = {home,
                                  plat::StandardFolderPath(plat::StandardFolder::kDesktop, false),
                                  plat::StandardFolderPath(plat::StandardFolder::kDocuments, false),
                                  plat::StandardFolderPath(plat::StandardFolder::kDownloads, false),
                                  plat::StandardFolderPath(plat::StandardFolder::kMusic, false),
                                  plat::StandardFolderPath(plat::StandardFolder::kPictures, false),
                                  plat::StandardFolderPath(plat::StandardFolder::kMovies, false)};
    bool separated = false;
    for (const std::string& p : places) {
        if (p.empty() || !IsFolder(p) ||
            std::find(fLocations.begin(), fLocations.end(), p) != fLocations.end())
            continue;
        if (!separated) {
            fLocation->AddItem(LString());
            fLocations.emplace_back();
            separated = true;
        }
        fLocation->AddItem(LString(plat::ValidUtf8(Leaf(p)).c_str()));
        fLocations.push_back(p);
    }
    fLocation->SetValue(0);
}

void MFilePanel::Reload() {
    if (fFolder.empty()) return;
    const int32_t row = SelectedRow();
    const std::string keep = row >= 0 ? fEntries[size_t(row)].name : std::string();
    fGrid->ClearSelection();
    fGrid->ReleaseCells();
    fEntries = List(fFolder);
    fGrid->SetGridSize(1, int32_t(fEntries.size()));
    fGrid->RefreshAllCells();
    fNavi->UpdateScrollBars();
    if (!keep.empty())
        for (size_t i = 0; i < fEntries.size(); ++i)
            if (fEntries[i].name == keep) SelectRow(int32_t(i));
    fGrid->InvalidateCells(CRgn(fGrid->Bounds()));
}

void MFilePanel::GoTo(const std::string& folder) {
    PLAT_DCHECK_MAIN_THREAD();
    const std::string target = NearestExistingFolder(Resolved(folder));
    const std::string previous = fFolder;
    fFolder = target;
    FillLocations();
    fGrid->SetScrollPos(0, 0);
    Reload();
    // Going up selects the folder we came from.
    if (!previous.empty() && Parent(previous) == fFolder) {
        const std::string leaf = Leaf(previous);
        for (size_t i = 0; i < fEntries.size(); ++i)
            if (fEntries[i].name == leaf) SelectRow(int32_t(i));
    }
}

void MFilePanel::GoUp() {
    if (fFolder != "/") GoTo(Parent(fFolder));
}

int32_t MFilePanel::SelectedRow() const {
    const CLPoint c = fGrid->FirstSelected();
    return c.y >= 0 && size_t(c.y) < fEntries.size() ? c.y : -1;
}

void MFilePanel::SelectRow(int32_t row) {
    if (row < 0 || size_t(row) >= fEntries.size()) {
        fGrid->ClearSelection();
        return;
    }
    fGrid->SelectCell({0, row});
    fGrid->RevealCell({0, row});
    if (fName && !fEntries[size_t(row)].folder) fName->SetText(LString(fEntries[size_t(row)].name.c_str()));
}

bool MFilePanel::SelectByPrefix(const std::string& prefix) {
    if (prefix.empty()) return false;
    for (size_t i = 0; i < fEntries.size(); ++i) {
        const std::string& n = fEntries[i].shown;
        if (n.size() < prefix.size()) continue;
        bool same = true;
        for (size_t k = 0; k < prefix.size() && same; ++k) same = Fold(n[k]) == Fold(prefix[k]);
        if (same) {
            SelectRow(int32_t(i));
            return true;
        }
    }
    return false;
}

bool MFilePanel::Confirm(const std::string& path) {
    SetChosenPath(path);
    SetResult(1);
    return true;
}

bool MFilePanel::ConfirmSave() {
    const LString text = fName ? fName->GetText() : LString();
    const std::string name(text.CStr(), text.Length());
    if (!IsValidSaveName(name)) {
        plat::Bell::Ring();
        return false;
    }
    const std::string path = Join(fFolder, name);
    if (IsFolder(path)) {
        GoTo(path);
        return false;
    }
    if (Exists(path) && !AskReplace(path)) return false;
    return Confirm(path);
}

bool MFilePanel::EnterOrConfirm(bool fromList) {
    const int32_t row = SelectedRow();
    const MFileEntry* e = row >= 0 ? &fEntries[size_t(row)] : nullptr;
    const bool enterable = e && e->folder && (TreatsFilePackagesAsDirectories() || !e->package);
    if (PanelKind() == kSavePanel) {
        const bool listFocused = fGrid->State() & kFocused;
        if (enterable && (fromList || listFocused)) {
            GoTo(Join(fFolder, e->name));
            return false;
        }
        return ConfirmSave();
    }
    if (!CanChooseFiles()) {  // the folder chooser
        if (enterable && fromList) {
            GoTo(Join(fFolder, e->name));
            return false;
        }
        return Confirm(enterable ? Resolved(Join(fFolder, e->name)) : fFolder);
    }
    if (!e) return false;
    if (enterable) {
        GoTo(Join(fFolder, e->name));
        return false;
    }
    return Confirm(Join(fFolder, e->name));
}

bool MFilePanel::HandleListKey() {
    LKeyboard* kb = LKeyboard::Get();
    if (!kb) return false;
    const uint8_t c = kb->Char();
    const uint32_t navi = kb->GetNaviKey();
    if (c == 8 || c == 127 || (navi == LKeyboard::kNaviUp && kb->IsOptionDown())) {
        GoUp();
        return true;
    }
    if (navi == LKeyboard::kNaviUp || navi == LKeyboard::kNaviDown) {
        const int32_t row = SelectedRow();
        const int32_t next = navi == LKeyboard::kNaviUp
                                 ? (row <= 0 ? 0 : row - 1)
                                 : std::min<int32_t>(row + 1, int32_t(fEntries.size()) - 1);
        SelectRow(next);
        return true;
    }
    if (c > 32 && c < 127 && !kb->IsCommandDown() && !kb->IsControlDown()) {
        const double now = plat::ClockNow();
        if (now - fPrefixTime > kPrefixPause) fPrefix.clear();
        fPrefixTime = now;
        fPrefix.push_back(char(c));
        (void)SelectByPrefix(fPrefix);
        return true;
    }
    return false;
}

LMessage MFilePanel::Handle(const LMessage& msg) {
    LHandler* sender = msg.sender;
    if (sender == this && msg.Is(LDialog_Default)) {
        (void)EnterOrConfirm(false);
        return LMessage();
    }
    if (sender == this && msg.Is(LDialog_Escape)) {
        SetChosenPath(std::string());
        SetResult(2);
        return LMessage();
    }
    if (msg.Is(LPopupList_Changed) && sender == fLocation) {
        const int32_t i = fLocation->GetValue();
        if (i >= 0 && size_t(i) < fLocations.size() && !fLocations[size_t(i)].empty())
            GoTo(fLocations[size_t(i)]);
        return LMessage();
    }
    if (msg.Is(LListPane_Clicked) && sender == fGrid) {
        LMouse* mouse = LMouse::Get();
        if (mouse && mouse->CurrentEvent().clickCount >= 2) (void)EnterOrConfirm(true);
        return LMessage();
    }
    if (msg.Is(LKeyboard_Down) && sender == LKeyboard::Get()) {
        const bool nameFocused = fName && (fName->State() & kFocused);
        const uint8_t c = LKeyboard::Get()->Char();
        if (!nameFocused && c != 13 && c != 3 && c != 27 && HandleListKey()) return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void MFilePanel::Begin(const std::string& folder, const std::string& name) {
    PLAT_DCHECK_MAIN_THREAD();
    SetChosenPath(std::string());
    SetResult(0);
    (void)fMessage->SetText(LString(Message().c_str()));
    fFolder.clear();
    LayOutPanes();
    GoTo(folder.empty() ? std::string("/") : folder);
    if (fName) {
        fName->SetText(LString(name.c_str()));
    } else if (!name.empty()) {
        for (size_t i = 0; i < fEntries.size(); ++i)
            if (fEntries[i].name == name) SelectRow(int32_t(i));
    }
    ShowWindow();
    if (Window() && Window()->NativeWindow()) Window()->NativeWindow()->MakeKeyAndOrderFront();
    if (!(State() & kFocused)) ChangeState(kFocus);
    if (fName) {
        fName->TakeFocus(0, true);
        fName->SelectAll();
    } else {
        fGrid->TakeFocus(0, true);
    }
    fRunning = true;
}

int32_t MFilePanel::Step(uint32_t ms) {
    const uint32_t r = Run(ms);
    if (r == 0) return -1;
    return r == 1 ? kOKButton : kCancelButton;
}

void MFilePanel::End() {
    fRunning = false;
    HideWindow();
}

int32_t MFilePanel::RunModal(const std::string& folder, const std::string& name) {
    Begin(folder, name);
    int32_t result = -1;
    while ((result = Step(kForever)) < 0) {
    }
    End();
    return result;
}

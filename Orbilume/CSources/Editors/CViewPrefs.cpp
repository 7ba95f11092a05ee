#include "Orbilume/CSources/Editors/CViewPrefs.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/Foundation/Check.h"

namespace {

const LString kFonts("fonts");
const LString kFamily("fam");
const LString kPoints("pts");

LString SlotKey(uint32_t slot) {
    return LString(std::to_string(slot).c_str());
}

// The value at one decimal, as whole tenths.
long long Tenths(double value) {
    return std::llround(value * 10);
}

bool IsListed(const LWindow* window) {
    for (LWindow* w = LWindow::NextWindow(nullptr); w; w = LWindow::NextWindow(w))
        if (w == window) return true;
    return false;
}

}  // namespace

CViewPrefs& CViewPrefs::Get() {
    static CViewPrefs* instance = new CViewPrefs;  // lives until exit
    return *instance;
}

double CViewPrefs::ReadPoints(const LString& text) {
    if (text.IsEmpty()) return kDefaultPoints;
    const char* begin = text.CStr();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(v) || v < 1 || v > 999) return kDefaultPoints;
    return v;
}

void CViewPrefs::SetParamSet(CRecord* set) {
    PLAT_DCHECK_MAIN_THREAD();
    fSet = set;
    Broadcast();
}

CRecord* CViewPrefs::SlotSet(uint32_t slot) const {
    if (!fSet) return nullptr;
    CRecord* fonts = CParamSet::GetSubSet(CRecordRef(const_cast<CRecord**>(&fSet)), kFonts);
    if (!fonts) return nullptr;
    return CParamSet::GetSubSet(CRecordRef(&fonts), SlotKey(slot));
}

bool CViewPrefs::GetFont(uint32_t slot, LString& family, double& points) const {
    CRecord* s = SlotSet(slot);
    if (!s) return false;
    family = LString();
    LString pts;
    (void)CParamSet::Find(CRecordRef(&s), kFamily, &family);
    (void)CParamSet::Find(CRecordRef(&s), kPoints, &pts);
    points = ReadPoints(pts);
    return !family.IsEmpty();
}

void CViewPrefs::SetFont(uint32_t slot, const LString& family, double points) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fSet) return;
    CRecord* fonts = CParamSet::GetOrCreateSubSet(CRecordRef(&fSet), nullptr, kFonts);
    if (!fonts) return;
    CRecord* s = CParamSet::GetOrCreateSubSet(CRecordRef(&fonts), nullptr, SlotKey(slot));
    if (!s) return;
    LString storedFamily, storedPoints;
    const bool hasFamily = CParamSet::Find(CRecordRef(&s), kFamily, &storedFamily) >= 0;
    const bool hasPoints = CParamSet::Find(CRecordRef(&s), kPoints, &storedPoints) >= 0;
    // The stored text has one decimal: a float that only differs in rounding is the same size.
    bool sameSize = false;
    if (hasPoints) {
        char* end = nullptr;
        const double stored = std::strtod(storedPoints.CStr(), &end);
        sameSize = end != storedPoints.CStr() && *end == '\0' && std::isfinite(stored) &&
                   std::isfinite(points) && Tenths(stored) == Tenths(points);
    }
    if ((hasFamily || hasPoints) && storedFamily == family && sameSize) return;
    CParamSet::SetString(CRecordRef(&s), nullptr, kFamily, family);
    CParamSet::SetFloat(CRecordRef(&s), nullptr, kPoints, 1, std::isfinite(points) ? points : 0);
    LTextStyleH::InvalidateFonts();
    Broadcast();
}

void CViewPrefs::Broadcast() {
    PLAT_DCHECK_MAIN_THREAD();
    // Receivers may open or close windows: walk what was listed, skipping windows gone since.
    std::vector<std::unique_ptr<LHandlerWatch>> windows;
    for (LWindow* w = LWindow::NextWindow(nullptr); w; w = LWindow::NextWindow(w))
        windows.push_back(std::make_unique<LHandlerWatch>(w));
    for (const auto& watch : windows) {
        auto* w = static_cast<LWindow*>(watch->Get());
        if (!w || !IsListed(w)) continue;
        LHandler::Dispatch(LMessage(CViewPrefs_Changed, this, w->Upper()));
    }
}

bool CViewPrefs::FontOverride(uint32_t kind, LString& name, double& size) {
    if (kind >= kSlotCount) return false;
    LString family;
    double points = kDefaultPoints;
    if (!Get().GetFont(kind, family, points)) return false;
    name = family;
    size = points;
    return true;
}

void CViewPrefs::Install() {
    CMacWindowMgr::SetViewPrefs(this);
    LTextStyleH::SetFontOverride(&CViewPrefs::FontOverride);
    LTextStyleH::InvalidateFonts();
}

void CViewPrefs::Uninstall() {
    CMacWindowMgr::SetViewPrefs(nullptr);
    LTextStyleH::SetFontOverride(nullptr);
    LTextStyleH::InvalidateFonts();
}

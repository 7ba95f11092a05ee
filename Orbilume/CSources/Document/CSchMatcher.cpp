#include "Orbilume/CSources/Document/CSchMatcher.h"

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

bool IsSchedule(const CRecord* r) {
    return r && r->IsOfType(T::kScheduleDomain, T::kSCHD);
}

}  // namespace

CSchMatcher::CSchMatcher(CRecordRef schedule) : fSchedule(schedule) {
    PLAT_DCHECK_MAIN_THREAD();
    CompileAll();
    fHolder = fSchedule.GetHolder();
    if (fHolder && !fHolder->AddObserver(this, &CSchMatcher::Observe)) fHolder = nullptr;
}

CSchMatcher::~CSchMatcher() {
    if (fHolder) (void)fHolder->RemoveObserver(this, &CSchMatcher::Observe);
}

int32_t CSchMatcher::IndexOf(const SchDateTime& dt) const {
    for (size_t i = 0; i < fFilters.size(); ++i)
        if (fFilters[i]->Matches(dt)) return static_cast<int32_t>(i);
    return -1;
}

std::unique_ptr<CSchFilter> CSchMatcher::Compile(uint32_t n) const {
    auto filter = std::make_unique<CSchFilter>();
    const CRecord* schedule = fSchedule.Get();
    filter->Load(IsSchedule(schedule) ? schedule->GetElement(T::kSchdEntries, n) : nullptr);
    return filter;
}

void CSchMatcher::CompileAll() {
    fFilters.clear();
    const CRecord* schedule = fSchedule.Get();
    fCompiled = schedule;
    if (!IsSchedule(schedule)) return;
    const uint32_t count = schedule->ArrayCount(T::kSchdEntries);
    fFilters.reserve(count);
    for (uint32_t i = 0; i < count; ++i) fFilters.push_back(Compile(i));
}

void CSchMatcher::Recompile(uint32_t n) {
    if (n < fFilters.size()) fFilters[n] = Compile(n);
}

void CSchMatcher::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSchMatcher*>(context)->Follow(*event);
}

void CSchMatcher::Follow(const SRecordEvent& event) {
    const CRecord* schedule = fSchedule.Get();
    if (schedule != fCompiled) {  // replaced or removed as a whole
        CompileAll();
        return;
    }
    // Record-level events (kinds 4-7) arrive around the array changes that follow them.
    if (!schedule || event.kind > SRecordEvent::kMoved) return;
    const CRecord* record = event.record.Get();
    if (!record || !event.record.HasAncestor(schedule)) return;
    if (record == schedule) {
        if (event.field != T::kSchdEntries) return;
        const uint32_t count = schedule->ArrayCount(T::kSchdEntries);
        const auto at = [this](int32_t i) { return fFilters.begin() + i; };
        const int32_t i = event.index1;
        switch (event.kind) {
            case SRecordEvent::kInserted:
                if (i >= 0 && static_cast<uint32_t>(i) <= fFilters.size() && fFilters.size() + 1 == count) {
                    fFilters.insert(at(i), Compile(static_cast<uint32_t>(i)));
                    return;
                }
                break;
            case SRecordEvent::kRemoved:
                if (i >= 0 && static_cast<uint32_t>(i) < fFilters.size() && fFilters.size() == count + 1) {
                    fFilters.erase(at(i));
                    return;
                }
                break;
            case SRecordEvent::kMoved: {
                const int32_t to = event.index2;
                const int32_t n = static_cast<int32_t>(fFilters.size());
                if (i >= 0 && i < n && to >= 0 && to < n && fFilters.size() == count) {
                    std::unique_ptr<CSchFilter> moved = std::move(fFilters[static_cast<size_t>(i)]);
                    fFilters.erase(at(i));
                    fFilters.insert(at(to), std::move(moved));
                    return;
                }
                break;
            }
            default:
                break;
        }
        CompileAll();  // a whole-array change, or one the filters cannot follow step by step
        return;
    }
    // An entry, or a record below it (a period): recompile the owning entry.
    const CRecord* entry = record;
    while (entry->Parent() && entry->Parent() != schedule) entry = entry->Parent();
    if (entry->Parent() != schedule || entry->FieldInParent() != T::kSchdEntries || entry->ArrayIndex() < 0)
        return;
    Recompile(static_cast<uint32_t>(entry->ArrayIndex()));
}

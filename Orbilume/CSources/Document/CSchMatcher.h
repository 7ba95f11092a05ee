#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"
#include "Orbilume/CSources/Document/CSchFilter.h"

class CRecordHolder;
struct SRecordEvent;

// A show's compiled schedule: one filter per entry of the SCHD record, in the entries' order. It
// observes the record's holder and recompiles what an edit touches: entries inserted, removed or
// moved within 'flts', an entry's values, its periods (added, removed, moved or changed). A
// schedule record replaced as a whole is compiled anew. Main thread only.
class CSchMatcher {
public:
    // The reference names the slot holding the SCHD (it may be null meanwhile).
    explicit CSchMatcher(CRecordRef schedule);
    ~CSchMatcher();
    CSchMatcher(const CSchMatcher&) = delete;
    CSchMatcher& operator=(const CSchMatcher&) = delete;

    // The index of the first entry that matches, -1 when none does.
    int32_t IndexOf(const SchDateTime& dt) const;
    uint32_t Count() const { return static_cast<uint32_t>(fFilters.size()); }
    const CSchFilter* Filter(uint32_t n) const { return n < fFilters.size() ? fFilters[n].get() : nullptr; }

private:
    static void Observe(void* context, const SRecordEvent* event);
    void Follow(const SRecordEvent& event);
    void CompileAll();
    std::unique_ptr<CSchFilter> Compile(uint32_t n) const;
    void Recompile(uint32_t n);

    CRecordRef fSchedule;
    const CRecord* fCompiled = nullptr;  // the SCHD the filters stand for
    CRecordHolder* fHolder = nullptr;
    std::vector<std::unique_ptr<CSchFilter>> fFilters;
};

#include "Lib3/LSources/CoreData/CRecordType.h"

namespace {

int NoHook(int, void*) {
    return 0;
}

// Made on the first registration, so it outlives every descriptor registered at start-up.
LSLinkBase& Registry() {
    static LSLinkBase registry;
    return registry;
}

}  // namespace

CRecordType::CRecordType(uint32_t domain, uint32_t type, uint32_t fieldCount, const SFieldDesc* fields,
                         RecordTypeHook hook)
    : mDomain(domain), mType(type), mFieldCount(fieldCount), mFields(fields), mHook(hook ? hook : NoHook) {
    // Record blocks hold at most 255 slots; a longer table would be filled past its block.
    if (fieldCount > kMaxFields || (fieldCount > 0 && !fields)) return;
    Registry().Insert(this);
}

CRecordType::~CRecordType() {
    if (IsLinked()) Registry().Remove(this);
}

CRecordType* CRecordType::Find(uint32_t domain, uint32_t type) {
    LSLinkBase& registry = Registry();
    for (SSLink* node = registry.First(); !node->IsEnd(); node = node->next) {
        auto* t = static_cast<CRecordType*>(node);
        if (t->mDomain == domain && t->mType == type) return t;
    }
    return nullptr;
}

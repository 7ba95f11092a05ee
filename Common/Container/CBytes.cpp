#include "Common/Container/CBytes.h"

bool CBytes::SetSize(uint32_t n) {
    if (n < Count()) {
        Remove(n, Count() - n);
        return true;
    }
    return InsertElements(Count(), nullptr, n - Count());
}

bool CBytes::PutElements(uint32_t index, const void* source, uint32_t n) {
    return CArrayBase::PutElements(index, source, n);
}

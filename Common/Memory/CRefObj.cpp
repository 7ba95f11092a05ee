#include "Common/Memory/CRefObj.h"

void CRefObj::Release() const {
    if (fCount.fetch_sub(1, std::memory_order_acq_rel) <= 1) Free(this);
}

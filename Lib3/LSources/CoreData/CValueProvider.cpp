#include "Lib3/LSources/CoreData/CValueProvider.h"

bool CValueProvider::Read(intptr_t& value, LString& text) const {
    intptr_t word = 0;
    const bool object = fFunction && fFunction(fContext, kRead, &word);
    if (object && word) {
        text = reinterpret_cast<const SObject*>(word)->text;
        value = 0;
        return true;
    }
    value = object ? 0 : word;
    return false;
}

bool CValueProvider::Hand(uint32_t operation, void* data) const {
    if (!fFunction || (operation != kHand && operation != kHandOther)) return false;
    return fFunction(fContext, operation, data);
}

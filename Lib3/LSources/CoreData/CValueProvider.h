#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A value behind a {context, function} pair. Every operation calls the function with the context,
// the operation number and a pointer. Operation 0 reads the current value into a word that starts
// at 0: an integer, or (when the function answers true) a pointer to an SObject whose text is
// copied out. Operations 1 and 2 hand a value to the provider.
class CValueProvider {
public:
    enum : uint32_t { kRead = 0, kHand = 1, kHandOther = 2 };
    struct SObject {
        LString text;
    };
    using Function = bool (*)(void* context, uint32_t operation, void* data);

    CValueProvider() = default;
    CValueProvider(void* context, Function function) : fContext(context), fFunction(function) {}

    // True when an object came back (its text in text); otherwise value is the integer read.
    [[nodiscard]] bool Read(intptr_t& value, LString& text) const;
    // Operation 1 or 2; the function's answer, false without a function.
    bool Hand(uint32_t operation, void* data) const;

private:
    void* fContext = nullptr;
    Function fFunction = nullptr;
};

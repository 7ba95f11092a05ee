#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LString.h"

class LStrBuf;

// Feeds the layout-script compiler from another source, counting lines and columns, and keeps
// the first error reported with the place where it was found.
class CLayoutScriptSource : public LCharIn {
public:
    explicit CLayoutScriptSource(LCharIn& input) : fInput(input) {}

    bool Get(unsigned char& c) override;
    void Unget() override { fPushed = fPrevious; }
    using LCharIn::Get;

    // Only the first error counts.
    void Error(const LString& message);
    // "Error: <message>, Line <n>, Char <m>\n" when an error was recorded; nothing otherwise.
    void Report(LStrBuf& out) const;

    bool HasError() const { return fHasError; }
    uint32_t ErrorLine() const { return fErrorLine; }
    uint32_t ErrorColumn() const { return fErrorColumn; }
    const LString& ErrorMessage() const { return fErrorMessage; }

private:
    LCharIn& fInput;
    unsigned char fPrevious = 0;
    unsigned char fPushed = 0;  // 0: none
    uint32_t fLine = 0;
    uint32_t fColumn = 0;
    bool fHasError = false;
    uint32_t fErrorLine = 0;
    uint32_t fErrorColumn = 0;
    LString fErrorMessage;
};

#include "Lib3/LSources/CoreUI/CLayoutScriptSource.h"

#include <cstdio>

#include "Lib3/LSources/CoreString/LStrBuf.h"

bool CLayoutScriptSource::Get(unsigned char& c) {
    if (fPushed) {
        c = fPushed;
        fPushed = 0;
        return true;
    }
    if (!fInput.Get(c)) return false;
    if (c != '\r' && c != '\n') {
        ++fColumn;
    } else if (c == '\r' || fPrevious != '\r') {
        ++fLine;
        fColumn = 0;
    }
    fPrevious = c;
    return true;
}

void CLayoutScriptSource::Error(const LString& message) {
    if (fHasError) return;
    fHasError = true;
    fErrorLine = fLine;
    fErrorColumn = fColumn;
    fErrorMessage = message;
}

void CLayoutScriptSource::Report(LStrBuf& out) const {
    if (!fHasError) return;
    char numbers[64];
    out.Append("Error: ");
    out.Append(fErrorMessage);
    std::snprintf(numbers, sizeof numbers, ", Line %lu, Char %lu\n",
                  static_cast<unsigned long>(fErrorLine) + 1, static_cast<unsigned long>(fErrorColumn));
    out.Append(numbers);
}

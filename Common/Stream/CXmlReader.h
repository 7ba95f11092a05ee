#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

class CXmlTokenizer;

// Reads the text content of the current element as characters: nested elements are skipped with
// everything in them, attribute values are dropped, and the element's end tag (consumed) or the
// end of the input ends the text.
class CXmlReader : public LCharIn {
public:
    explicit CXmlReader(CXmlTokenizer& tokenizer) : fTokenizer(tokenizer) {}

    bool Get(unsigned char& c) override;
    // Steps back within the current piece only.
    void Unget() override;
    using LCharIn::Get;

    // Skips the element whose start tag was just read, up to and including its end tag.
    static void SkipElement(CXmlTokenizer& tokenizer);
    // Appends the text of the current element as Get reads it, up to and including its end tag.
    static void AppendText(CXmlTokenizer& tokenizer, LStrBuf& out);
    // The name of the next start tag, skipping every other event; "" at the end of the input.
    static LString NextStartTag(CXmlTokenizer& tokenizer);

private:
    CXmlTokenizer& fTokenizer;
    LVariStr<64> fPiece;
    uint32_t fPos = 0;
    bool fDone = false;
};

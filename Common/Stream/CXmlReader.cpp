#include "Common/Stream/CXmlReader.h"

#include "Common/Stream/CXmlTokenizer.h"

bool CXmlReader::Get(unsigned char& c) {
    while (fPos >= fPiece.Length()) {
        if (fDone) {
            c = 0;
            return false;
        }
        switch (fTokenizer.Next()) {
            case CXmlTokenizer::kStartTag:
                SkipElement(fTokenizer);
                break;
            case CXmlTokenizer::kAttribute:
                fTokenizer.ReadValue();
                break;
            case CXmlTokenizer::kText:
                fPiece.Reset();
                fTokenizer.TakeText(fPiece);
                fPos = 0;
                break;
            default:  // end tag or end of input
                fDone = true;
                break;
        }
    }
    c = fPiece.Text()[fPos++];
    return true;
}

void CXmlReader::Unget() {
    if (fPos > 0) --fPos;
}

void CXmlReader::SkipElement(CXmlTokenizer& tokenizer) {
    // Iterative: nesting depth in crafted input costs no stack.
    uint64_t depth = 1;
    while (depth) {
        switch (tokenizer.Next()) {
            case CXmlTokenizer::kStartTag:
                ++depth;
                break;
            case CXmlTokenizer::kEndTag:
                --depth;
                break;
            case CXmlTokenizer::kEnd:
                return;
            default:
                break;
        }
    }
}

void CXmlReader::AppendText(CXmlTokenizer& tokenizer, LStrBuf& out) {
    for (;;) {
        switch (tokenizer.Next()) {
            case CXmlTokenizer::kStartTag:
                SkipElement(tokenizer);
                break;
            case CXmlTokenizer::kAttribute:
                tokenizer.ReadValue();
                break;
            case CXmlTokenizer::kText:
                tokenizer.TakeText(out);
                break;
            default:  // end tag or end of input
                return;
        }
    }
}

LString CXmlReader::NextStartTag(CXmlTokenizer& tokenizer) {
    for (;;) {
        int e = tokenizer.Next();
        if (e == CXmlTokenizer::kStartTag) return tokenizer.TagName();
        if (e == CXmlTokenizer::kEnd) return LString();
    }
}

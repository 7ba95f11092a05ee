#include "Lib3/LSources/CoreString/ReadQuoted.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/CoreString/UCharIn.h"

namespace {

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}
bool IsQuote(unsigned char c) {
    return c == '"' || c == '\'';
}

// Consumes up to and including the stop byte; a line end is left in the input.
void SkipToStop(LCharIn& in, unsigned char stop) {
    unsigned char c;
    while (in.Get(c)) {
        if (c == stop) return;
        if (UCharIn::IsLineEnd(c)) return in.Unget();
    }
}

// Reads to the matching quote; a line end ends an unterminated value and stays in the input.
void ReadQuotedPart(LCharIn& in, LStrBuf& out, unsigned char quote, bool escapes) {
    unsigned char c;
    while (in.Get(c)) {
        if (c == quote) return;
        if (UCharIn::IsLineEnd(c)) return in.Unget();
        if (escapes && c == '\\') {
            if (!in.Get(c)) return;
            if (UCharIn::IsLineEnd(c)) return in.Unget();
        }
        out.Append(c);
    }
}

// Reads to the stop byte; runs of blanks are written only when something follows them.
void ReadPlainPart(LCharIn& in, LStrBuf& out, unsigned char stop) {
    uint32_t blanks = 0;
    unsigned char c;
    while (in.Get(c)) {
        if (c == stop) return;
        if (UCharIn::IsLineEnd(c)) return in.Unget();
        if (IsBlank(c)) {
            ++blanks;
            continue;
        }
        for (; blanks > 0; --blanks) out.Append(static_cast<unsigned char>(' '));
        out.Append(c);
    }
}

}  // namespace

bool ReadQuotedValue(LCharIn& in, LStrBuf& out, unsigned char stop, bool escapes) {
    out.Reset();
    unsigned char c;
    do {
        if (!in.Get(c)) return false;
    } while (IsBlank(c));
    if (IsQuote(c)) {
        ReadQuotedPart(in, out, c, escapes);
        SkipToStop(in, stop);
        return true;
    }
    in.Unget();
    ReadPlainPart(in, out, stop);
    return out.Length() > 0;
}

bool ReadQuotedToken(LCharIn& in, LStrBuf& out, bool keepLineEnds) {
    out.Reset();
    UCharIn::SkipSpace(in);
    unsigned char quote;
    if (!in.Get(quote)) return false;
    if (!IsQuote(quote)) {
        in.Unget();
        return UCharIn::Read(in, out);
    }
    unsigned char c;
    while (in.Get(c)) {
        if (c == quote) {
            if (!in.Get(c)) break;
            if (c != quote) {
                in.Unget();
                break;
            }
        } else if (UCharIn::IsLineEnd(c) && !keepLineEnds) {
            continue;
        }
        out.Append(c);
    }
    return true;
}

#include "Lib3/LSources/CoreString/UCharIn.h"

#include <type_traits>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

namespace {

template <class Signed>
bool ReadInt(LCharIn& in, Signed& value) {
    using Unsigned = std::make_unsigned_t<Signed>;
    Unsigned v = 0;
    bool negative = false;
    bool digits = false;
    unsigned char c;
    while (in.Get(c)) {
        if (!digits && c == '+') continue;
        if (!digits && c == '-') {
            negative = true;
            continue;
        }
        if (!UCharIn::IsDigit(c)) {
            in.Unget();
            break;
        }
        v = static_cast<Unsigned>(v * 10 + static_cast<Unsigned>(c - '0'));
        digits = true;
    }
    value = static_cast<Signed>(negative ? Unsigned{0} - v : v);
    return digits;
}

bool ReadWord(LCharIn& in, LStrBuf& out) {
    bool any = false;
    unsigned char c;
    while (in.Get(c)) {
        if (UCharIn::IsSpace(c)) {
            in.Unget();
            break;
        }
        out.Append(c);
        any = true;
    }
    return any;
}

}  // namespace

void UCharIn::SkipSpace(LCharIn& in) {
    unsigned char c;
    while (in.Get(c)) {
        if (!IsSpace(c)) {
            in.Unget();
            return;
        }
    }
}

void UCharIn::LineSpace(LCharIn& in) {
    unsigned char c;
    while (in.Get(c)) {
        if (!IsSpace(c) || IsLineEnd(c)) {
            in.Unget();
            return;
        }
    }
}

void UCharIn::StripSpace(LCharIn& in, LStrBuf& out) {
    SkipSpace(in);
    LVariStr<64> pending;
    unsigned char c;
    while (in.Get(c)) {
        if (IsSpace(c)) {
            pending.Append(c);
            continue;
        }
        out.Append(pending.Text(), pending.Length());
        pending.Reset();
        out.Append(c);
    }
}

bool UCharIn::Read(LCharIn& in, int32_t& value) {
    SkipSpace(in);
    return ReadInt(in, value);
}

bool UCharIn::Read(LCharIn& in, LStrBuf& out) {
    SkipSpace(in);
    return ReadWord(in, out);
}

bool UCharIn::Read(LCharIn& in, LString& out) {
    LVariStr<64> word;
    const bool any = Read(in, word);
    out = LString(word);
    return any;
}

bool UCharIn::LineRead(LCharIn& in, int32_t& value) {
    LineSpace(in);
    return ReadInt(in, value);
}

bool UCharIn::LineRead(LCharIn& in, int64_t& value) {
    LineSpace(in);
    return ReadInt(in, value);
}

bool UCharIn::LineRead(LCharIn& in, LStrBuf& out) {
    LineSpace(in);
    return ReadWord(in, out);
}

bool UCharIn::LineReadUntil(LCharIn& in, LStrBuf& out, unsigned char delimiter, bool consume) {
    LineSpace(in);
    LVariStr<64> pending;
    bool any = false;
    unsigned char c;
    while (in.Get(c)) {
        if (IsLineEnd(c)) {
            in.Unget();
            break;
        }
        if (c == delimiter) {
            if (!consume) in.Unget();
            break;
        }
        if (IsSpace(c)) {
            pending.Append(c);
            continue;
        }
        out.Append(pending.Text(), pending.Length());
        pending.Reset();
        out.Append(c);
        any = true;
    }
    return any;
}

bool UCharIn::LineRest(LCharIn& in, LStrBuf& out) {
    bool any = false;
    unsigned char c;
    while (in.Get(c)) {
        if (IsLineEnd(c)) {
            in.Unget();
            break;
        }
        out.Append(c);
        any = true;
    }
    return any;
}

bool UCharIn::LineNext(LCharIn& in) {
    unsigned char first = 0;
    unsigned char c;
    while (in.Get(c)) {
        if (!first) {
            if (IsLineEnd(c)) first = c;
            continue;
        }
        // A different line-end byte pairs with the first; anything else belongs to the next line.
        if (!IsLineEnd(c) || c == first) in.Unget();
        return true;
    }
    return first != 0;
}

void UCharIn::ReadAlpha(LCharIn& in, LStrBuf& out) {
    LineSpace(in);
    unsigned char c;
    while (in.Get(c)) {
        if (!IsAlpha(c)) {
            in.Unget();
            return;
        }
        out.Append(c);
    }
}

void UCharIn::ReadNumber(LCharIn& in, LStrBuf& out) {
    LineSpace(in);
    enum { kSign, kDigits, kPoint } state = kSign;
    unsigned char c;
    while (in.Get(c)) {
        if ((c == '+' || c == '-') && state == kSign) {
            out.Append(c);
        } else if (c == '.' && state != kPoint) {
            out.Append(c);
            state = kPoint;
        } else if (IsDigit(c)) {
            out.Append(c);
            if (state == kSign) state = kDigits;
        } else {
            in.Unget();
            return;
        }
    }
}

unsigned char UCharIn::ReadChar(LCharIn& in) {
    LineSpace(in);
    unsigned char c;
    in.Get(c);
    return c;
}

bool UCharIn::ReadRestOfLine(LCharIn& in, LString& out) {
    LVariStr<64> line;
    const bool any = LineRest(in, line);
    out = LString(line);
    const bool passed = LineNext(in);
    return any || passed;
}

namespace {

bool IsQuote(unsigned char c) {
    return c == '\'' || c == '"';
}

// Skips up to and past the delimiter; a line end is left in place.
void SkipToDelimiter(LCharIn& in, unsigned char delimiter) {
    unsigned char c;
    while (in.Get(c)) {
        if (c == delimiter) return;
        if (UCharIn::IsLineEnd(c)) {
            in.Unget();
            return;
        }
    }
}

}  // namespace

bool UCharIn::ReadQuotedField(LCharIn& in, LStrBuf& out, unsigned char delimiter, bool multiLine) {
    LineSpace(in);
    unsigned char c;
    if (!in.Get(c)) return false;
    in.Unget();
    if (!IsQuote(c)) return LineReadUntil(in, out, delimiter, true);
    const bool any = ReadQuotedBody(in, out, multiLine);
    SkipToDelimiter(in, delimiter);
    return any;
}

bool UCharIn::ReadQuotedBody(LCharIn& in, LStrBuf& out, bool multiLine) {
    unsigned char close = 0;
    bool any = false;
    unsigned char c;
    while (in.Get(c)) {
        if (!close) {
            if (IsQuote(c)) {
                close = c;
            } else if (IsLineEnd(c)) {
                if (!multiLine) {
                    in.Unget();
                    return false;
                }
            } else {
                in.Unget();
                return LineRest(in, out);
            }
            continue;
        }
        if (c == close) {
            unsigned char next;
            if (!in.Get(next)) return true;
            if (next != close) {
                in.Unget();
                return true;
            }
        } else if (IsLineEnd(c) && !multiLine) {
            in.Unget();
            return any;
        }
        out.Append(c);
        any = true;
    }
    return any;
}

#include "Common/String/UCsv.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LStrBuf.h"

bool UCsv::ReadField(LCharIn& in, LStrBuf& out) {
    bool quoted = false;
    bool copied = false;
    unsigned char c;
    while (in.Get(c)) {
        if (c == '"') {
            if (quoted) {
                unsigned char next;
                if (in.Get(next)) {
                    if (next == '"') {
                        out.Append(next);
                        copied = true;
                        continue;
                    }
                    in.Unget();
                }
            }
            quoted = !quoted;
            continue;
        }
        if (!quoted) {
            if (c == ',') return true;
            if (c == '\r' || c == '\n') {
                in.Unget();
                return copied;
            }
        }
        out.Append(c);
        copied = true;
    }
    return copied;
}

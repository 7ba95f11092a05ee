#include "Orbilume/CSources/Http/UrlFormParser.h"

namespace {

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void UrlFormParser::Append(uint8_t byte) {
    std::string& target = fInValue ? fValue : fName;
    if (target.size() >= kMaxField) {
        fOverflow = true;
        return;
    }
    target.push_back(char(byte));
}

int UrlFormParser::Feed(uint8_t byte) {
    if (fState == 0) {
        fName.clear();
        fValue.clear();
        fInValue = false;
        fOverflow = false;
        fState = 1;
    }
    if (fState >= 2) {
        const int v = HexValue(byte);
        if (v < 0) {
            fState = 1;  // the escape and this byte are dropped
            return kNothing;
        }
        fHex = uint8_t(fHex << 4 | v);
        if (fState == 3) {
            Append(fHex);
            fState = 1;
        } else {
            fState = 3;
        }
        return kNothing;
    }
    switch (byte) {
        case '%':
            fState = 2;
            fHex = 0;
            break;
        case '&':
            fState = 0;
            return fName.empty() || fOverflow ? kNothing : kField;
        case '+':
            Append(' ');
            break;
        case '=':
            // Only the first '=' separates; later ones belong to the value.
            if (fInValue)
                Append('=');
            else
                fInValue = true;
            break;
        default:
            Append(byte);
            break;
    }
    return kNothing;
}

#pragma once

#include "Lib3/LSources/CoreString/LString.h"

// File-name splitting. Separators are ":" and "\", not "/".
class UWinPath {
public:
    // After the first run of separators (past a leading drive or folder part), or the end.
    static const unsigned char* FindPathName(const unsigned char* text);
    // After the last run of separators, or the start.
    static const unsigned char* FindLeafName(const unsigned char* text);
    // The "." starting the leaf's extension: the last "." after which no blank is followed by
    // another non-blank character; the end of the text when there is none.
    static const unsigned char* FindExtension(const unsigned char* text);
    // The extension without its ".", trailing blanks removed, ASCII lower-cased; "" when none.
    static LString GetFileExtension(const unsigned char* text);
    // The text up to its extension, then "." and the new extension unless that is empty.
    static LString ChangeExtension(const unsigned char* text, const unsigned char* extension);
};

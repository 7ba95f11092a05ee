#pragma once

// Comparisons of UTF-8 texts; a null pointer counts as "".
class UStrCompar {
public:
    // strcmp ordering.
    static int Binary(const unsigned char* a, const unsigned char* b);
    // Prefix comparison: 0 when a starts with a non-empty b (or both are empty).
    static int FirstBinary(const unsigned char* a, const unsigned char* b);
    // The default collation: negative, 0 or positive (punctuation ignored at the first levels).
    static int Locale(const unsigned char* a, const unsigned char* b);
    // Equivalent under case-insensitive collation with punctuation significant.
    static bool NoCase(const unsigned char* a, const unsigned char* b);
    // File-name equality with ASCII case folding; an empty name equals only an empty name.
    static bool FsEqual(const unsigned char* a, const unsigned char* b);
};

#pragma once

#include "Lib3/LSources/CoreString/LString.h"

// A URL split into its six parts, each kept as written (still percent-encoded, without its
// delimiter): scheme ":" "//" authority path ";" params "?" query "#" fragment.
class CURL {
public:
    CURL() = default;
    explicit CURL(const unsigned char* text);
    explicit CURL(const char* text) : CURL(reinterpret_cast<const unsigned char*>(text)) {}

    bool empty() const;
    // The scheme equals the text, case-insensitively.
    bool isscheme(const unsigned char* scheme) const;
    bool isscheme(const char* scheme) const {
        return isscheme(reinterpret_cast<const unsigned char*>(scheme));
    }

    // The URL as text: always "//" and the authority, and "/" before a path that lacks one.
    LString GetString() const;

    // Resolves this reference against base; folder says that base's path names a folder.
    void Inherit(const CURL& base, bool folder);

    const LString& Scheme() const { return fScheme; }
    const LString& Authority() const { return fAuthority; }
    const LString& Path() const { return fPath; }
    const LString& Params() const { return fParams; }
    const LString& Query() const { return fQuery; }
    const LString& Fragment() const { return fFragment; }
    void SetPath(const LString& path) { fPath = path; }

private:
    LString fScheme;
    LString fAuthority;
    LString fPath;
    LString fParams;
    LString fQuery;
    LString fFragment;
};

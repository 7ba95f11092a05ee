#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreString/LString.h"

// The parts of one layout text: part 0 common definitions, part 1 the preferred size, part 2
// the placement. A frame has a layout when it holds at least two parts.
class LLayoutParts {
public:
    uint32_t Count() const { return uint32_t(fParts.size()); }
    // Empty for an index at or past Count().
    LString Part(uint32_t index) const { return index < fParts.size() ? fParts[index] : LString(); }
    void Append(const LString& text) { fParts.push_back(text); }
    void Clear() { fParts.clear(); }

private:
    std::vector<LString> fParts;
};

// Source form of a layout text, "<NAME>.tlyo": lines of text, split into parts by marker lines
// "%%part N" (N decimal, ascending; skipped numbers are empty parts). Other lines that start
// with "%%" are comments; before the first marker only comments and blank lines may stand.
// Line ends (LF or CR LF) are kept in the parts as LF. NUL bytes are refused.
[[nodiscard]] bool ParseLayoutText(const char* bytes, uint32_t size, LLayoutParts& out);

// Reads "<folder>/<name>.tlyo"; false (and out empty) when it is missing or malformed.
[[nodiscard]] bool ReadLayoutFile(const char* folder, const char* name, LLayoutParts& out);

// The layout resource of type 'TLYO' (its parts stored as a string list), from the provider or
// the global resource chain; false (and out empty) when there is no such resource.
inline constexpr uint32_t kLayoutRsrcType = Fcc("TLYO");
[[nodiscard]] bool LoadLayout(const SRsrcRequest& request, LLayoutParts& out,
                              ResourceProvider* provider = nullptr);

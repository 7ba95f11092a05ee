#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Mac/LScrapType.h"

class LScrapData;
namespace plat {
class Pasteboard;
}

// Typed access to the pasteboards: writing scrap data, plain text. Main thread only.
struct UPasteboard {
    // Declares the general pasteboard with "public.data" (no owner) and writes the data.
    static void PutScrap(const LScrapData& data);
    // Adds each item's type and bytes; true when every item is private to the application (flag bit 0).
    static bool WriteScrap(const LScrapData& data, plat::Pasteboard* pasteboard);
    static bool HasText();
    // Nothing for an empty string; else the general pasteboard holds just the text.
    static void PutText(const LString& text);
};

// Reads typed data from a pasteboard (none until bound).
class LPasteboardReader {
public:
    LPasteboardReader() = default;
    explicit LPasteboardReader(plat::Pasteboard* pasteboard) : fPasteboard(pasteboard) {}

    void Bind(plat::Pasteboard* pasteboard) { fPasteboard = pasteboard; }
    plat::Pasteboard* Pasteboard() const { return fPasteboard; }
    bool HasType(const LScrapType& type) const;
    // The type must be held and its data present; the buffer gets the bytes.
    bool Read(const LScrapType& type, std::vector<uint8_t>& buffer) const;

private:
    plat::Pasteboard* fPasteboard = nullptr;  // borrowed
};

// The general pasteboard holder.
class CPasteboardU {
public:
    CPasteboardU();
    bool HasScrapType(const LScrapType& type) const { return fReader.HasType(type); }
    void PutScrap(const LScrapData& data) { UPasteboard::PutScrap(data); }
    const LPasteboardReader& Reader() const { return fReader; }

private:
    LPasteboardReader fReader;
};

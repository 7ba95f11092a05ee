#pragma once

#include "Lib3/LSources/CoreString/LString.h"

// A framework scrap: something Cut or Copy puts on the general pasteboard and Paste takes back.
class LScrap {
public:
    virtual ~LScrap() = default;
    // Whether the general pasteboard offers what this kind of scrap reads.
    virtual bool Available() const = 0;
    // Writes the scrap to the general pasteboard.
    virtual void Put() = 0;
    // Copies another scrap of the same kind; false (nothing copied) for another kind.
    virtual bool TakeFrom(const LScrap& other) = 0;
    // The kind, compared by text.
    virtual const char* TypeId() const = 0;
};

// Plain text on the general pasteboard's string type.
class LTextScrap : public LScrap {
public:
    LTextScrap() = default;
    explicit LTextScrap(const LString& text) : fText(text) {}

    const LString& Text() const { return fText; }
    void SetText(const LString& text) { fText = text; }

    bool Available() const override;
    // An empty text leaves the pasteboard untouched; otherwise it is cleared and holds the text.
    void Put() override;
    bool TakeFrom(const LScrap& other) override;
    const char* TypeId() const override { return "LTextScrap"; }
    // The pasteboard's text into this scrap; false when it holds none.
    bool Read();

private:
    LString fText;
};

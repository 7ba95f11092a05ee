#pragma once

#include <memory>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Mac/LScrapData.h"

namespace plat {
class Pasteboard;
}

// What claims the clipboard (text slots, edit texts). The holder calls these in a fixed order;
// what they mean lies with the owner.
class CClipboardOwner {
public:
    virtual ~CClipboardOwner() = default;
    // Without an owner that decides: whether this source finds text on the pasteboard.
    virtual bool PasteboardHasText() const { return false; }
    // Without an owner: whether this candidate holds the clipboard by itself.
    virtual bool HoldsClipboard() const { return false; }
    // The holder took this owner.
    virtual void ClipboardTaken() {}
    // Whether this candidate counts the owner as itself.
    virtual bool IsSameOwner(const CClipboardOwner* owner) const { return owner == this; }
    // The clipboard went to another owner (or none).
    virtual void ClipboardLost(const CClipboardOwner* /*successor*/) {}
    // The text this owner offers.
    virtual LString ClipboardText() const { return LString(); }
};

// Reads the general pasteboard into a framework scrap.
class CPasteboardReader {
public:
    void Bind(plat::Pasteboard* board) { fBoard = board; }
    plat::Pasteboard* Board() const { return fBoard; }
    // Every type that holds bytes, as a typed item of the target; false when nothing was read.
    bool Read(LScrapData& target) const;

private:
    plat::Pasteboard* fBoard = nullptr;
};

// The application's side of the general pasteboard: the framework scrap last written to it or the
// owner that claims it now, and the reader bound to it. One, made by the bootstrap. Main thread only.
class CClipboardHolder {
public:
    CClipboardHolder();
    ~CClipboardHolder();
    CClipboardHolder(const CClipboardHolder&) = delete;
    CClipboardHolder& operator=(const CClipboardHolder&) = delete;

    // The first holder made (the bootstrap's), null when none exists.
    static CClipboardHolder* Get();

    CPasteboardReader& GetReader();
    bool Read(LScrapData& target);
    // Tells and forgets the owner; a given scrap is written (declared as "public.data", no owner)
    // and kept, taking over the caller's reference.
    void PutScrap(std::unique_ptr<LScrapData> scrap);
    // The previous owner is told; a null owner is stored without being called.
    void SetOwner(CClipboardOwner* owner);
    void Clear();
    bool IsOwnedBy(const CClipboardOwner& candidate) const;
    bool SameText(const CClipboardOwner& source) const;

    CClipboardOwner* Owner() const { return fOwner; }
    const LScrapData* Scrap() const { return fScrap.get(); }

private:
    void TellOwner(const CClipboardOwner* successor);

    CClipboardOwner* fOwner = nullptr;
    std::unique_ptr<LScrapData> fScrap;
    CPasteboardReader fReader;
};

#include "Common/ObjC/CClipboardHolder.h"

#include <string>

#include "Platform/AppKit/Pasteboard.h"
#include "Platform/Foundation/Check.h"

namespace {
CClipboardHolder* gHolder = nullptr;
}

bool CPasteboardReader::Read(LScrapData& target) const {
    if (!fBoard) return false;
    bool any = false;
    for (const std::string& type : fBoard->Types()) {
        std::vector<uint8_t> bytes;
        if (!fBoard->DataForType(type, &bytes)) continue;
        const LString name(type.data(), uint32_t(type.size()));
        if (!target.AddFlavor(name, plat::Pasteboard::CodeForType(type), bytes.data(), uint32_t(bytes.size()),
                              0))
            return any;
        any = true;
    }
    return any;
}

CClipboardHolder* CClipboardHolder::Get() {
    return gHolder;
}

CClipboardHolder::CClipboardHolder() {
    if (!gHolder) gHolder = this;
}

CClipboardHolder::~CClipboardHolder() {
    TellOwner(nullptr);
    if (gHolder == this) gHolder = nullptr;
}

CPasteboardReader& CClipboardHolder::GetReader() {
    PLAT_DCHECK_MAIN_THREAD();
    fReader.Bind(plat::Pasteboard::General());
    return fReader;
}

bool CClipboardHolder::Read(LScrapData& target) {
    return GetReader().Read(target);
}

void CClipboardHolder::TellOwner(const CClipboardOwner* successor) {
    CClipboardOwner* owner = fOwner;
    if (owner && owner != successor) owner->ClipboardLost(successor);
}

void CClipboardHolder::PutScrap(std::unique_ptr<LScrapData> scrap) {
    PLAT_DCHECK_MAIN_THREAD();
    TellOwner(nullptr);
    fOwner = nullptr;
    if (scrap) {
        plat::Pasteboard* board = plat::Pasteboard::General();
        board->DeclareTypes({plat::Pasteboard::kTypeData}, nullptr);
        for (const SSLink* l = scrap->Items().First(); l && !l->IsEnd(); l = l->next) {
            const auto* item = static_cast<const LScrapFlavor*>(l);
            std::string type(item->typeName.CStr(), item->typeName.Length());
            if (type.empty()) type = plat::Pasteboard::TypeForCode(item->typeCode);
            if (!type.empty()) board->SetData(type, item->bytes, item->size);
        }
    }
    fScrap = std::move(scrap);
}

void CClipboardHolder::SetOwner(CClipboardOwner* owner) {
    PLAT_DCHECK_MAIN_THREAD();
    TellOwner(owner);
    fOwner = owner;
    fScrap.reset();
    // Nobody to tell when the clipboard is merely released.
    if (owner) owner->ClipboardTaken();
}

void CClipboardHolder::Clear() {
    TellOwner(nullptr);
    fOwner = nullptr;
    fScrap.reset();
}

bool CClipboardHolder::IsOwnedBy(const CClipboardOwner& candidate) const {
    if (fOwner && candidate.IsSameOwner(fOwner)) return true;
    return candidate.HoldsClipboard();
}

bool CClipboardHolder::SameText(const CClipboardOwner& source) const {
    if (fOwner && fOwner->ClipboardText() == source.ClipboardText()) return true;
    return source.PasteboardHasText();
}

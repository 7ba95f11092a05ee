#include "Lib3/LSources/Mac/UPasteboard.h"

#include "Lib3/LSources/Mac/LScrapData.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/Foundation/Check.h"

namespace {

std::string TypeOf(const LScrapFlavor& item) {
    return LScrapType{item.typeName, item.typeCode}.PasteboardType();
}

}  // namespace

void UPasteboard::PutScrap(const LScrapData& data) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Pasteboard* pb = plat::Pasteboard::General();
    pb->DeclareTypes({plat::Pasteboard::kTypeData}, nullptr);
    (void)WriteScrap(data, pb);
}

bool UPasteboard::WriteScrap(const LScrapData& data, plat::Pasteboard* pasteboard) {
    bool allPrivate = true;
    for (SSLink* link = data.Items().First(); !link->IsEnd(); link = link->next) {
        const auto* item = static_cast<const LScrapFlavor*>(link);
        if (!(item->flags & 1)) allPrivate = false;
        const std::string type = TypeOf(*item);
        if (!pasteboard || type.empty()) continue;
        pasteboard->AddTypes({type}, nullptr);
        (void)pasteboard->SetData(type, item->bytes, item->size);
    }
    return allPrivate;
}

bool UPasteboard::HasText() {
    return plat::Pasteboard::General()->HasType(plat::Pasteboard::kTypeString);
}

void UPasteboard::PutText(const LString& text) {
    if (text.IsEmpty()) return;
    plat::Pasteboard* pb = plat::Pasteboard::General();
    pb->ClearContents();
    (void)pb->SetString(std::string_view(text.CStr(), text.Length()));
}

bool LPasteboardReader::HasType(const LScrapType& type) const {
    if (!fPasteboard) return false;
    return !fPasteboard->AvailableType({type.PasteboardType()}).empty();
}

bool LPasteboardReader::Read(const LScrapType& type, std::vector<uint8_t>& buffer) const {
    if (!HasType(type)) return false;
    return fPasteboard->DataForType(type.PasteboardType(), &buffer);
}

CPasteboardU::CPasteboardU() : fReader(plat::Pasteboard::General()) {}

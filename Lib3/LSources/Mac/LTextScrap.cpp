#include "Lib3/LSources/Mac/LTextScrap.h"

#include <cstring>
#include <string>

#include "Platform/AppKit/Pasteboard.h"

bool LTextScrap::Available() const {
    return plat::Pasteboard::General()->HasType(plat::Pasteboard::kTypeString);
}

void LTextScrap::Put() {
    if (fText.IsEmpty()) return;
    plat::Pasteboard* board = plat::Pasteboard::General();
    board->ClearContents();
    board->SetString(std::string_view(fText.CStr(), fText.Length()));
}

bool LTextScrap::TakeFrom(const LScrap& other) {
    if (std::strcmp(other.TypeId(), TypeId()) != 0) return false;
    fText = static_cast<const LTextScrap&>(other).fText;
    return true;
}

bool LTextScrap::Read() {
    std::string text;
    if (!plat::Pasteboard::General()->StringForType(plat::Pasteboard::kTypeString, &text)) return false;
    fText = LString(text.data(), uint32_t(text.size()));
    return true;
}

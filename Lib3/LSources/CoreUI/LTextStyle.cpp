#include "Lib3/LSources/CoreUI/LTextStyle.h"

#include <utility>

#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/Font.h"

namespace {
constexpr int32_t kDefaultWords[4] = {0, -1, 0, 0};
LTextStyleH::FontOverride gOverride = nullptr;

LSLinkBase& Records() {
    static LSLinkBase* list = new LSLinkBase;
    return *list;
}

LTextStyleData* FromLink(SSLink* n) {
    return static_cast<LTextStyleData*>(n);
}

plat::Ref<plat::Font> ByKind(uint32_t kind, const LString& name) {
    switch (kind) {
        case LTextStyleData::kUser:
            return plat::Font::CreateUser(0);
        case LTextStyleData::kSmallSystem:
            return plat::Font::CreateSystem(plat::Font::SmallSystemFontSize());
        case LTextStyleData::kFixedPitch:
            return plat::Font::CreateUserFixedPitch(0);
        case LTextStyleData::kNamed: {
            plat::Ref<plat::Font> f = plat::Font::CreateWithName(name.CStr(), 0);
            return f ? f : plat::Font::CreateUser(0);
        }
        default:
            return plat::Font::CreateSystem(0);
    }
}

// Replaces *font by a copy made with the function, when the copy could be made.
template <class Make>
void Replace(plat::Ref<plat::Font>& font, Make make) {
    plat::Ref<plat::Font> next = make(font.get());
    if (next) font = std::move(next);
}
}  // namespace

LTextStyleData::LTextStyleData(uint32_t kind, const int32_t* words, const LString& name)
    : fKind(kind), fName(name) {
    for (int i = 0; i < 4; ++i) fWords[i] = words[i];
}

LTextStyleData::~LTextStyleData() {
    Records().Remove(this);
}

bool LTextStyleData::SameStyle(uint32_t kind, const int32_t* words, const LString& name) const {
    if (kind != fKind) return false;
    for (int i = 0; i < 4; ++i)
        if (words[i] != fWords[i]) return false;
    return kind != kNamed || name == fName;
}

plat::Font* LTextStyleData::Font() {
    if (fValid && fFont) return fFont.get();
    fFont = nullptr;
    LString overrideName;
    double overrideSize = 0;
    if (gOverride && gOverride(fKind, overrideName, overrideSize) && !overrideName.IsEmpty())
        fFont = plat::Font::CreateWithName(overrideName.CStr(), overrideSize);
    if (!fFont) fFont = ByKind(fKind, fName);
    if (fKind == kFixedPitch)
        Replace(fFont, [](plat::Font* f) { return f->CopyWithTrait(plat::Font::kFixedPitchTrait); });
    if (fWords[kWeight] == 2)
        Replace(fFont, [](plat::Font* f) { return f->CopyWithTrait(plat::Font::kBoldTrait); });
    if (fWords[kSlant] == 2)
        Replace(fFont, [](plat::Font* f) { return f->CopyWithTrait(plat::Font::kItalicTrait); });
    // A size or percent of 0 or less keeps the kind's default.
    double size = fWords[kSize] > 0 ? fWords[kSize] : fFont->Size();
    if (fWords[kPercent] > 0) size = size * fWords[kPercent] / 100;
    if (size != fFont->Size()) Replace(fFont, [size](plat::Font* f) { return f->CopyWithSize(size); });
    fValid = true;
    return fFont.get();
}

LTextStyleH::LTextStyleH(uint32_t kind) {
    Intern(kind, kDefaultWords, LString());
}

LTextStyleH::LTextStyleH(uint32_t kind, int32_t weight, int32_t size, int32_t slant, int32_t percent,
                         const LString& name) {
    int32_t words[4] = {weight, size, slant, percent};
    Intern(kind, words, name);
}

void LTextStyleH::Intern(uint32_t kind, const int32_t* words, const LString& name) {
    PLAT_DCHECK_MAIN_THREAD();
    LSLinkBase& list = Records();
    for (SSLink* n = list.First(); !n->IsEnd(); n = n->next) {
        if (FromLink(n)->SameStyle(kind, words, name)) {
            SetData(FromLink(n));
            return;
        }
    }
    auto* record = new LTextStyleData(kind, words, name);
    list.Insert(record);
    SetData(record);
}

bool Equal(const LTextStyleH& a, const LTextStyleH& b) {
    if (!a.Get() || !b.Get()) return !a.Get() && !b.Get();
    const LTextStyleData* r = b.Get();
    return a.Get()->SameStyle(r->fKind, r->fWords, r->fName);
}

void LTextStyleH::SetWord(uint32_t i, int32_t value) {
    LTextStyleData* r = Get();
    if (!r || r->fWords[i] == value) return;
    int32_t words[4] = {r->fWords[0], r->fWords[1], r->fWords[2], r->fWords[3]};
    words[i] = value;
    LString name = r->fName;
    Intern(r->fKind, words, name);
}

void LTextStyleH::SetSize(int32_t points) {
    SetWord(LTextStyleData::kSize, points);
}

void LTextStyleH::SetFourthWord(int32_t value) {
    SetWord(LTextStyleData::kPercent, value);
}

std::pair<int32_t, int32_t> LTextStyleH::GetKindWords() const {
    if (!Get()) return {0, 0};
    return {Get()->fWords[0], Get()->fWords[1]};
}

plat::Font* LTextStyleH::Font() const {
    if (Get()) return Get()->Font();
    static LTextStyleH fallback(LTextStyleData::kSystem);
    return fallback.Get()->Font();
}

LString LTextStyleH::FamilyName() const {
    if (!Get()) return LString();
    const std::string& family = Get()->Font()->FamilyName();
    return LString(family.data(), static_cast<uint32_t>(family.size()));
}

double LTextStyleH::PointSize() const {
    return Get() ? Get()->Font()->Size() : 12;
}

void LTextStyleH::InvalidateFonts() {
    PLAT_DCHECK_MAIN_THREAD();
    LSLinkBase& list = Records();
    for (SSLink* n = list.First(); !n->IsEnd(); n = n->next) FromLink(n)->fValid = false;
}

void LTextStyleH::SetFontOverride(FontOverride hook) {
    PLAT_DCHECK_MAIN_THREAD();
    gOverride = hook;
}

uint32_t LTextStyleH::RecordCount() {
    return Records().Count();
}

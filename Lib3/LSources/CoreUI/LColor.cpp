#include "Lib3/LSources/CoreUI/LColor.h"

namespace {

LSLinkBase& Cache() {
    static LSLinkBase* cache = new LSLinkBase;  // lives for the process; blocks unlink themselves
    return *cache;
}

constexpr uint8_t kGreyLevels[5] = {0, 64, 128, 192, 255};

LRGBA FromRGB(const LRGB& rgb, float alpha) {
    return {rgb.red / 255.0f, rgb.green / 255.0f, rgb.blue / 255.0f, alpha};
}

// Window background, selected text background, focus ring, text background, text.
LColorTheme DefaultTheme() {
    const LRGBA window{0.925f, 0.925f, 0.925f, 1}, selection{0.701f, 0.843f, 1.0f, 1},
        focus{0.0f, 0.404f, 0.851f, 0.5f}, textBg{1, 1, 1, 1}, text{0, 0, 0, 1};
    return {{window, window, window, selection, focus, focus, textBg, text}};
}

LColorTheme& CurrentTheme() {
    static LColorTheme theme = DefaultTheme();
    return theme;
}

bool SameKey(const LColorData::Key& a, const LColorData::Key& b) {
    if (a.systemColour != b.systemColour) return false;
    if (a.systemColour != LColorData::kNoSystemColour) return true;
    return a.mode == b.mode && a.rgb == b.rgb && a.alpha == b.alpha;
}

}  // namespace

const LColorTheme& LColorTheme::Current() {
    return CurrentTheme();
}
void LColorTheme::SetCurrent(const LColorTheme& theme) {
    CurrentTheme() = theme;
}

LColorData::~LColorData() {
    Cache().Remove(this);
}

LColorData* LColorData::Find(const Key& key) {
    for (SSLink* n = Cache().First(); !n->IsEnd(); n = n->next) {
        LColorData* d = static_cast<LColorData*>(n);
        if (SameKey(d->fKey, key)) return d;
    }
    return nullptr;
}

LColorData* LColorData::Make(const Key& key, bool permanent) {
    LColorData* d = new LColorData(key);
    if (permanent) d->Retain();  // greys and system colours stay for the life of the process
    Cache().Insert(d);
    return d;
}

LColorData* LColorData::FindOrCreate(const LRGB& rgb, uint32_t mode, float alpha) {
    Key key;
    key.rgb = rgb;
    key.mode = mode;
    key.alpha = alpha;
    LColorData* d = Find(key);
    return d ? d : Make(key, false);
}

LColorData* LColorData::FindOrCreateGrey(uint32_t level) {
    Key key;
    const uint8_t v = level < 5 ? kGreyLevels[level] : 0;
    key.rgb = LRGB(v, v, v);
    key.mode = level;
    LColorData* d = Find(key);
    return d ? d : Make(key, true);
}

LColorData* LColorData::FindOrCreateSystem(uint32_t number) {
    Key key;
    key.systemColour = number;
    LColorData* d = Find(key);
    return d ? d : Make(key, true);
}

uint32_t LColorData::CacheCount() {
    return Cache().Count();
}

LRGBA LColorData::Resolve() const {
    if (fKey.systemColour < 8) return LColorTheme::Current().colour[fKey.systemColour];
    if (fKey.systemColour != kNoSystemColour) return {0, 0, 0, 1};
    return FromRGB(fKey.rgb, fKey.alpha);
}

LRGBA LColor::ForDrawing() const {
    return ColorData() ? ColorData()->Resolve() : LRGBA{0, 0, 0, 1};
}

LRGBA LColor::ForControls() const {
    return ColorData() ? ColorData()->Resolve() : LRGBA{1, 1, 1, 1};
}

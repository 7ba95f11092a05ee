#pragma once

#include <cstdint>
#include <utility>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class Font;
}

// An interned text-style record: equal styles share one record, which caches the font made for it.
// Style words: 0 weight (2 bold), 1 point size (0 or less: the kind's default), 2 slant (2 italic),
// 3 scale percent (0 or less: 100). Main thread only.
class LTextStyleData : public LHandleData, public SSLink {
public:
    // Font kinds.
    enum : uint32_t { kSystem = 0, kUser = 1, kSmallSystem = 2, kFixedPitch = 3, kNamed = 255 };
    enum : uint32_t { kWeight = 0, kSize = 1, kSlant = 2, kPercent = 3 };

    ~LTextStyleData() override;

    uint32_t Kind() const { return fKind; }
    int32_t Word(uint32_t i) const { return fWords[i & 3]; }
    const LString& Name() const { return fName; }
    bool SameStyle(uint32_t kind, const int32_t* words, const LString& name) const;
    // The resolved font (made on first use and after InvalidateFonts; not retained for the caller).
    plat::Font* Font();

private:
    friend class LTextStyleH;
    friend bool Equal(const class LTextStyleH& a, const class LTextStyleH& b);
    LTextStyleData(uint32_t kind, const int32_t* words, const LString& name);

    plat::Ref<plat::Font> fFont;
    bool fValid = false;
    uint32_t fKind;
    int32_t fWords[4];
    LString fName;
};

class LTextStyleH : public LHandleBase {
public:
    LTextStyleH() = default;
    explicit LTextStyleH(uint32_t kind);
    // The interned record with these values.
    LTextStyleH(uint32_t kind, int32_t weight, int32_t size, int32_t slant, int32_t percent,
                const LString& name = LString());

    LTextStyleData* Get() const { return static_cast<LTextStyleData*>(Data()); }
    friend bool Equal(const LTextStyleH& a, const LTextStyleH& b);

    void SetSize(int32_t points);
    void SetFourthWord(int32_t value);
    // The first style word and the size (0, 0 for an empty handle).
    std::pair<int32_t, int32_t> GetKindWords() const;
    // The font of the style; the system font for an empty handle. Not retained for the caller.
    plat::Font* Font() const;
    // The family of the style's font (empty for an empty handle) and its size (12 for an empty one).
    LString FamilyName() const;
    double PointSize() const;

    // Drops every record's cached font (the fonts are made again on next use).
    static void InvalidateFonts();
    // Consulted first when a font is resolved: a name and size for a kind, or false.
    using FontOverride = bool (*)(uint32_t kind, LString& name, double& size);
    static void SetFontOverride(FontOverride hook);
    static uint32_t RecordCount();

private:
    void Intern(uint32_t kind, const int32_t* words, const LString& name);
    void SetWord(uint32_t i, int32_t value);
};

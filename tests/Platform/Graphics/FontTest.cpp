#include <gtest/gtest.h>

#include <cmath>

#include "Platform/Graphics/Font.h"
#include "tests/support/PinnedFonts.h"

using namespace plat;

namespace {
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using Held = plat::Ref<Font>;
}  // namespace

TEST(Font, KindsResolveToThePinnedFamilies) {
    ASSERT_TRUE(kFontsPinned);
    struct Case {
        plat::Ref<Font> (*make)(double);
        double size;
        const char* family;
        double expectSize;
        bool fixed;
    } cases[] = {
        {&Font::CreateUser, 0, "DejaVu Sans", 12, false},
        {&Font::CreateSystem, -1, "DejaVu Sans", 13, false},
        {&Font::CreateSystem, 11, "DejaVu Sans", 11, false},
        {&Font::CreateUserFixedPitch, 0, "DejaVu Sans Mono", 10, true},
    };
    for (const Case& c : cases) {
        Held f(c.make(c.size));
        EXPECT_EQ(f->FamilyName(), c.family);
        EXPECT_EQ(f->Size(), c.expectSize);
        EXPECT_EQ((f->Traits() & Font::kFixedPitchTrait) != 0, c.fixed) << c.family;
        EXPECT_FALSE(f->SyntheticSlant());
    }
}

TEST(Font, NamesFindFamiliesAndFacesOrNothing) {
    Held serif(Font::CreateWithName("dejavu serif", 14));
    ASSERT_NE(serif, nullptr);
    EXPECT_EQ(serif->FamilyName(), "DejaVu Serif");
    EXPECT_EQ(serif->Traits() & Font::kBoldTrait, 0u);

    Held bold(Font::CreateWithName("DejaVuSans-Bold", 0));
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->FamilyName(), "DejaVu Sans");
    EXPECT_NE(bold->Traits() & Font::kBoldTrait, 0u);
    EXPECT_EQ(bold->Size(), Font::UserFontSize());

    EXPECT_EQ(Font::CreateWithName("No Such Typeface", 12), nullptr);
    EXPECT_EQ(Font::CreateWithName("", 12), nullptr);
    EXPECT_EQ(Font::CreateWithName(nullptr, 12), nullptr);
}

TEST(Font, TraitsAndSyntheticSlant) {
    Held user(Font::CreateUser(12));
    Held bold(user->CopyWithTrait(Font::kBoldTrait));
    EXPECT_NE(bold->Traits() & Font::kBoldTrait, 0u);
    Held boldItalic(bold->CopyWithTrait(Font::kItalicTrait));
    EXPECT_EQ(boldItalic->Traits() & (Font::kBoldTrait | Font::kItalicTrait),
              Font::kBoldTrait | Font::kItalicTrait);
    EXPECT_FALSE(boldItalic->SyntheticSlant());  // DejaVu Sans has an oblique face
    Held fixed(user->CopyWithTrait(Font::kFixedPitchTrait));
    EXPECT_EQ(fixed->FamilyName(), "DejaVu Sans Mono");

    // The light family has no slanted face: italic is synthesised.
    Held light(Font::CreateWithName("DejaVu Sans Light", 12));
    ASSERT_NE(light, nullptr);
    Held lightItalic(light->CopyWithTrait(Font::kItalicTrait));
    EXPECT_TRUE(lightItalic->SyntheticSlant());

    Held bigger(user->CopyWithSize(24));
    EXPECT_EQ(bigger->Size(), 24);
    EXPECT_NEAR(bigger->Ascent(), 2 * user->Ascent(), 0.05);
}

TEST(Font, MetricsOfThePinnedFont) {
    Held f(Font::CreateUser(12));
    // DejaVu Sans: ascender 0.928 em, descender 0.236 em.
    EXPECT_NEAR(f->Ascent(), 11.14, 0.05);
    EXPECT_NEAR(f->Descent(), 2.83, 0.05);
    EXPECT_EQ(std::ceil(f->Ascent()), 12);
    EXPECT_GE(f->LineHeight(), f->Ascent() + f->Descent() - 0.01);
    EXPECT_LT(f->LineHeight(), 15.5);
}

#include <gtest/gtest.h>

#include <string>

#include "Platform/Foundation/Collation.h"

namespace {

int Collate(const std::u16string& a, const std::u16string& b, uint32_t options) {
    return plat::Collate(a.data(), a.size(), b.data(), b.size(), options);
}

TEST(CollationTest, DefaultCollationOrdersLettersBeforeCase) {
    EXPECT_LT(Collate(u"apple", u"Banana", 0), 0);  // not code-point order
    EXPECT_LT(Collate(u"a", u"A", 0), 0);
    EXPECT_LT(Collate(u"e", u"\u00E9", 0), 0);
    EXPECT_EQ(Collate(u"re-cord", u"record", 0), 0);  // punctuation ignored without the option
}

TEST(CollationTest, CaseInsensitiveWithPunctuation) {
    const uint32_t options = plat::kCollateCaseInsensitive | plat::kCollatePunctuationSignificant;
    EXPECT_EQ(Collate(u"Hello", u"hELLO", options), 0);
    EXPECT_NE(Collate(u"re-cord", u"record", options), 0);
    EXPECT_NE(Collate(u"e", u"\u00E9", options), 0);  // accents still count
    EXPECT_EQ(Collate(u"e\u0301", u"\u00E9", options), 0);
}

// Sort keys compare as the texts do, pair by pair, under both option sets.
TEST(CollationTest, SortKeysOrderAsTheTexts) {
    const std::u16string texts[] = {u"apple",  u"Banana",  u"a",          u"A",      u"e",
                                    u"\u00E9", u"e\u0301", u"re-cord",    u"record", u"show 10",
                                    u"show 9", u"",        u"\uFFFD.obs", u"Zeta"};
    for (uint32_t options : {0u, plat::kCollateCaseInsensitive | plat::kCollatePunctuationSignificant}) {
        for (const auto& a : texts) {
            const std::string ka = plat::CollationKey(a.data(), a.size(), options);
            for (const auto& b : texts) {
                const std::string kb = plat::CollationKey(b.data(), b.size(), options);
                const int byText = Collate(a, b, options);
                const int byKey = ka < kb ? -1 : ka > kb ? 1 : 0;
                EXPECT_EQ(byKey, byText < 0 ? -1 : byText > 0 ? 1 : 0) << options;
            }
        }
    }
}

}  // namespace

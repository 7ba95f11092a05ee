#include <gtest/gtest.h>

#include <vector>

#include "Lib3/LSources/CoreData/CValueProvider.h"

namespace {

// Answers its integer, or its object when it has text; records what it is handed.
struct Source {
    intptr_t number = 0;
    CValueProvider::SObject object;
    std::vector<uint32_t> handed;

    static bool Call(void* context, uint32_t op, void* data) {
        auto* self = static_cast<Source*>(context);
        if (op != CValueProvider::kRead) {
            self->handed.push_back(op * 100 + *static_cast<uint32_t*>(data));
            return true;
        }
        if (self->object.text.IsEmpty()) {
            *static_cast<intptr_t*>(data) = self->number;
            return false;
        }
        *static_cast<intptr_t*>(data) = reinterpret_cast<intptr_t>(&self->object);
        return true;
    }
};

TEST(CValueProviderTest, ReadsIntegersAndObjectTextAndHandsValues) {
    Source source;
    CValueProvider provider(&source, Source::Call);
    intptr_t value = -1;
    LString text;
    source.number = 42;
    EXPECT_FALSE(provider.Read(value, text));
    EXPECT_EQ(value, 42);

    source.object.text = "level";
    EXPECT_TRUE(provider.Read(value, text));
    EXPECT_STREQ(text.CStr(), "level");

    uint32_t v = 7;
    EXPECT_TRUE(provider.Hand(CValueProvider::kHand, &v));
    EXPECT_TRUE(provider.Hand(CValueProvider::kHandOther, &v));
    EXPECT_FALSE(provider.Hand(CValueProvider::kRead, &v));
    EXPECT_EQ(source.handed, (std::vector<uint32_t>{107, 207}));

    // No function: nothing is read or handed.
    CValueProvider none;
    EXPECT_FALSE(none.Read(value, text));
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(none.Hand(CValueProvider::kHand, &v));
}

}  // namespace

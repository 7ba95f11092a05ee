#include <gtest/gtest.h>

#include <string>

#include "Common/String/PropertyTree.h"
#include "Orbilume/CSources/Timecode/ScaledValueText.h"

namespace {

// Builds an object from "name=value" pairs; a pair without "=" is a member with no value.
void Add(PropertyTreeObject& o, const char* name, const char* value) {
    auto* m = new PropertyTreeMember(LString(name));
    if (value) m->AddValue(LString(value));
    o.AppendMember(m);
}

TEST(ScaledValueTextTest, Table) {
    struct Case {
        const char* ini;
        const char* scale;
        const char* prec;
        const char* text;
    } cases[] = {
        {"12700", "127", "0", "100"},  {"50", "100", "1", "0.5"},   {"50", nullptr, nullptr, "50"},
        {"-1", "1000", "0", "-0.001"}, {"-0.00001", "2", "0", "0"}, {"3", "2", "0", "1.5"},
        {"7", "0", "0", "7"},  // a zero scale shows the value as it stands
        {"1", "0.5", "2", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        PropertyTreeObject o;
        Add(o, "ini", c.ini);
        if (c.scale) Add(o, "scale", c.scale);
        if (c.prec) Add(o, "prec", c.prec);
        EXPECT_EQ(ScaledValueText(o), c.text);
    }
    PropertyTreeObject none;
    EXPECT_EQ(ScaledValueText(none), "0");
    PropertyTreeObject empty;
    Add(empty, "ini", nullptr);
    EXPECT_EQ(ScaledValueText(empty), "");
}

}  // namespace

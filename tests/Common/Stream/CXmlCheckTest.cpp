#include <gtest/gtest.h>

#include <string>

#include "Common/Stream/CXmlCheck.h"

namespace {

SXmlCheck Check(const std::string& text) {
    return CheckXmlWellFormed(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

TEST(CXmlCheckTest, WellFormedTextsPassAndNameTheirRoot) {
    struct Case {
        const char* text;
        const char* root;
        uint32_t deepest;
    } cases[] = {
        {"<a/>", "a", 1},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<a b='1' c=\"&amp;&#65;&#x41;&lt;\"><b/>text &gt; ]] "
         "<![CDATA[<x>]]></a>\n",
         "a", 1},
        {"<!DOCTYPE a [<!ENTITY e \"]>\">]><!-- c --><a><?pi x?></a><!-- after -->\n", "a", 1},
        {"<YOBM_OBMX>\n<YOBM_OBMX_mixs/></YOBM_OBMX>", "YOBM_OBMX", 1},
        {"<a><b><c></c></b><d></d></a>", "a", 3},
        {"<a>&#1;</a>", "a", 1},              // older files carry control characters as references
        {"<a>caf\xC3\xA9 \xFF</a>", "a", 1},  // encoding faults are the reader's to take
    };
    for (const Case& c : cases) {
        const SXmlCheck r = Check(c.text);
        EXPECT_TRUE(r.ok) << c.text << ": " << r.reason << " line " << r.line;
        EXPECT_EQ(r.rootName, c.root);
        EXPECT_EQ(r.deepest, c.deepest) << c.text;
        EXPECT_EQ(r.line, 0u);
    }
}

TEST(CXmlCheckTest, DamagedTextsFailWithTheLineOfTheFault) {
    struct Case {
        std::string text;
        uint32_t line;
    } cases[] = {
        {"", 1},
        {"  \n ", 2},
        {"<a>\n<b>\n</a>", 3},  // mismatched end tag
        {"<a>\n<b></b>\n", 3},  // ends before the root closes
        {"<a/><b/>", 1},        // two roots
        {"<a/>text", 1},
        {"<a b=1/>", 1},          // unquoted value
        {"<a b='1'c='2'/>", 1},   // no space between attributes
        {"<a b='1' b='2'/>", 1},  // repeated attribute
        {"<a b='<'/>", 1},
        {"<a>&nbsp;</a>", 1},  // unknown entity
        {"<a>&#0;</a>", 1},
        {"<a>&#x110000;</a>", 1},
        {"<a>\n\n<!-- open", 3},
        {"<a><![CDATA[x</a>", 1},
        {"<a><?pi</a>", 1},
        {"<!DOCTYPE a [ <a/>", 1},
        {"<a>]]></a>", 1},
        {"<1a/>", 1},
        {"</a>", 1},
        {std::string("<a>\n") + '\0' + "</a>", 2},
        {"<a", 1},
    };
    for (const Case& c : cases) {
        const SXmlCheck r = Check(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.line, c.line) << c.text << ": " << r.reason;
        EXPECT_STRNE(r.reason, "") << c.text;
    }
}

TEST(CXmlCheckTest, DeepNestingIsBoundedAndLinear) {
    std::string deep;
    for (uint32_t i = 0; i <= SXmlCheck::kMaxDepth; ++i) deep += "<a>";
    const SXmlCheck r = Check(deep);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.reason, "elements nest too deep");
    // Many balanced elements pass quickly.
    std::string wide = "<r>";
    for (int i = 0; i < 200000; ++i) wide += "<e k='v'/>";
    wide += "</r>";
    EXPECT_TRUE(Check(wide).ok);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "Common/ObjC/CEditText.h"
#include "Orbilume/CSources/HttpUI/CPassField.h"
#include "Platform/AppKit/TextView.h"
#include "tests/Common/ObjC/EditFieldFixture.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class CPassFieldTest : public EditFieldFixture {
protected:
    CPassFieldTest() {
        field = new CPassField(frame);
        field->ChangeState(LPane::kChainShow);
        field->ChangeState(LPane::kChainEnable);
        field->SetBounds({10, 10, 210, 40});
    }
    ~CPassFieldTest() override { delete field; }
    void Focus() {
        field->TakeFocus(0, true);
        ASSERT_NE(field->Editor(), nullptr);
    }
    CPassField* field;
};

TEST_F(CPassFieldTest, TypedAndPastedTextKeepsLettersAndDigits) {
    Focus();
    Type("ab-c d1");
    EXPECT_EQ(Str(field->GetText()), "abcd1");
    board.WriteString("x_y!2 \xC3\xA9");
    field->Editor()->CurrentEditor()->PerformSelector("paste:");
    EXPECT_EQ(Str(field->GetText()), "abcd1xy2");
    EXPECT_EQ(field->Options() & LEditText::kPassword, uint32_t(LEditText::kPassword));
}

TEST_F(CPassFieldTest, TheProgramSetsAnyTextAndThePlaceholderShowsWhileEmpty) {
    field->SetTextByProgram(LString("a-b"));
    EXPECT_EQ(Str(field->GetText()), "a-b");
    EXPECT_STREQ(field->Placeholder(), "");
    field->SetTextByProgram(LString(""));
    field->SetHasPassword(true);
    EXPECT_STREQ(field->Placeholder(), "(You have a password.)");
    EXPECT_EQ(CPassField::LettersAndDigits("ab-c d1"), "abcd1");
}

}  // namespace

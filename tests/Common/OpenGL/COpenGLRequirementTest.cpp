#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Common/OpenGL/COpenGLCheckDialog.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLRequirement.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"

namespace {

class COpenGLRequirementTest : public OpenGLTest {};

TEST(COpenGLVersionTest, VersionsCompareAsBytes) {
    struct Case {
        const char* required;
        const char* reported;
        bool tooLow;
    };
    const Case cases[] = {
        {"1.4", "2.1 Mesa", false}, {"1.4", "1.3.0", true}, {"1.4", "10.0", false},  // '.' sorts before '0'
        {"1.2", "1.10", true},      {"1.4", "1.4", false},  {"", "anything", false},
        {nullptr, "", false},       {"1.4", nullptr, true}, {nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(COpenGLRequirement::VersionTooLow(c.required, c.reported), c.tooLow)
            << (c.required ? c.required : "null") << " vs " << (c.reported ? c.reported : "null");
    }
}

TEST_F(COpenGLRequirementTest, SoftwareRendererMeetsTheStartupRequirement) {
    if (std::getenv("MESA_EXTENSION_OVERRIDE")) GTEST_SKIP() << "extensions overridden";
    COpenGLRequirement requirement;
    COpenGLRequirement::MakeStartup(requirement);
    EXPECT_EQ(requirement.extensions.Count(), 8u);
    COpenGLShortfall shortfall;
    EXPECT_TRUE(requirement.Test(Common(), &shortfall));
    EXPECT_EQ(COpenGLCheckDialog::Check(nullptr, Common(), requirement), COpenGLCheckDialog::kMet);

    COpenGLRequirement empty;
    EXPECT_TRUE(empty.Test(Common(), nullptr));
}

TEST_F(COpenGLRequirementTest, ShortfallListsWhatIsMissingInOrder) {
    COpenGLRequirement requirement;
    requirement.glVersion = "99.0";
    requirement.glslVersion = "9";
    requirement.extensions.Append("GL_fake_b");
    requirement.extensions.Append("GL_ARB_texture_rectangle");
    requirement.extensions.Append("GL_ARB_texture");  // only a prefix of reported names
    requirement.extensions.Append("GL_fake_a");
    COpenGLShortfall shortfall;
    EXPECT_FALSE(requirement.Test(Common(), &shortfall));
    EXPECT_TRUE(shortfall.glVersionLow);
    EXPECT_TRUE(shortfall.glslVersionLow);
    ASSERT_EQ(shortfall.missing.Count(), 3u);
    EXPECT_STREQ(shortfall.missing[0], "GL_fake_b");
    EXPECT_STREQ(shortfall.missing[1], "GL_ARB_texture");
    EXPECT_STREQ(shortfall.missing[2], "GL_fake_a");

    const LString text = COpenGLCheckDialog::ShortfallText(requirement, shortfall, "GL ", "GLSL ");
    EXPECT_EQ(std::string(text.CStr()), "GL 99.0\nGLSL 9\nGL_fake_b\nGL_ARB_texture\nGL_fake_a\n");
    // Without the dialog framework a shortfall is printed to standard error and answered as "continue".
    testing::internal::CaptureStderr();
    EXPECT_EQ(COpenGLCheckDialog::Check(nullptr, Common(), requirement), COpenGLCheckDialog::kContinue);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("falls short"), std::string::npos) << printed;
    EXPECT_NE(printed.find("OpenGL version 99.0\nGLSL version 9\nGL_fake_b\nGL_ARB_texture\nGL_fake_a\n"),
              std::string::npos)
        << printed;

    // A met requirement prints nothing.
    COpenGLRequirement empty;
    testing::internal::CaptureStderr();
    EXPECT_EQ(COpenGLCheckDialog::Check(nullptr, Common(), empty), COpenGLCheckDialog::kMet);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Run by CTest with MESA_EXTENSION_OVERRIDE=-GL_ARB_texture_rectangle (Mesa then reports GL 3.0).
TEST_F(COpenGLRequirementTest, OverriddenExtensionIsReported) {
    const char* override = std::getenv("MESA_EXTENSION_OVERRIDE");
    if (!override || !std::strstr(override, "-GL_ARB_texture_rectangle"))
        GTEST_SKIP() << "needs the override";
    COpenGLRequirement requirement;
    COpenGLRequirement::MakeStartup(requirement);
    COpenGLShortfall shortfall;
    EXPECT_EQ(COpenGLCheckDialog::Check(nullptr, Common(), requirement, &shortfall),
              COpenGLCheckDialog::kContinue);
    EXPECT_FALSE(shortfall.glVersionLow);
    EXPECT_FALSE(shortfall.glslVersionLow);
    ASSERT_EQ(shortfall.missing.Count(), 1u);
    EXPECT_STREQ(shortfall.missing[0], "GL_ARB_texture_rectangle");
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLProgram.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"

namespace {

const char* kVertex = "void main() { gl_Position = ftransform(); }\n";
const char* kFragment = "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";
const char* kBroken = "void main() { gl_FragColor = oops; }\n";

class COpenGLProgramTest : public OpenGLTest {};

TEST_F(COpenGLProgramTest, LinksAndDropsAShaderGivenNoText) {
    COpenGLProgram program;
    ASSERT_NE(program.program(), 0u);
    COpenGLScope_Cca scope(Common());
    program.SetCode(kVertex, kFragment);
    EXPECT_TRUE(program.linked());
    EXPECT_NE(program.fragmentShader(), 0u);

    program.SetCode(kVertex, "");
    EXPECT_TRUE(program.linked());
    EXPECT_EQ(program.fragmentShader(), 0u);
    EXPECT_NE(program.vertexShader(), 0u);
}

TEST_F(COpenGLProgramTest, FailureLogsOnlyWhileLoggingIsOn) {
    COpenGLProgram program;
    COpenGLScope_Cca scope(Common());
    program.SetCode(kVertex, kFragment);
    ASSERT_TRUE(program.linked());

    program.SetCode(kVertex, kBroken);  // not logging: nothing collected
    EXPECT_FALSE(program.linked()) << "a failed recompilation leaves the program unusable";
    COpenGLProgram::StartLog();
    EXPECT_TRUE(COpenGLProgram::StopLog().IsEmpty());

    COpenGLProgram::StartLog();
    program.SetCode(kVertex, kBroken);
    const LString log = COpenGLProgram::StopLog();
    EXPECT_FALSE(program.linked());
    const std::string text(log.CStr(), log.Length());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text.find("oops"), std::string::npos) << text;
    EXPECT_TRUE(COpenGLProgram::StopLog().IsEmpty()) << "StopLog empties the log";

    program.SetCode(kVertex, kFragment);
    EXPECT_TRUE(program.linked());
}

}  // namespace

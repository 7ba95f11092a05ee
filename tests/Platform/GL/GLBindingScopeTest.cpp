#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "Platform/GL/GLBindingScope.h"
#include "tests/support/GLFixture.h"

namespace {

using testsupport::GLTest;

class GLBindingScopeTest : public GLTest {};

GLint Integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

TEST_F(GLBindingScopeTest, TextureBindingComesBackForBothTargets) {
    struct Case {
        GLenum target;
        GLenum binding;
    };
    const Case cases[] = {{GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D},
                          {GL_TEXTURE_RECTANGLE, GL_TEXTURE_BINDING_RECTANGLE}};
    for (const Case& c : cases) {
        GLuint names[2];
        glGenTextures(2, names);
        glBindTexture(c.target, names[0]);
        {
            plat::GLTextureBindingScope bind(c.target, names[1]);
            EXPECT_EQ(Integer(c.binding), GLint(names[1]));
            {
                plat::GLTextureBindingScope inner(c.target, 0);
                EXPECT_EQ(Integer(c.binding), 0);
            }
            EXPECT_EQ(Integer(c.binding), GLint(names[1]));
        }
        EXPECT_EQ(Integer(c.binding), GLint(names[0]));
        glBindTexture(c.target, 0);
        glDeleteTextures(2, names);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GLBindingScopeTest, FramebufferBindingsComeBackSeparately) {
    GLuint names[3];
    glGenFramebuffers(3, names);
    // Different draw and read bindings: both must come back as they were.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, names[0]);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, names[1]);
    {
        plat::GLFramebufferBindingScope bind(names[2]);
        EXPECT_EQ(Integer(GL_DRAW_FRAMEBUFFER_BINDING), GLint(names[2]));
        EXPECT_EQ(Integer(GL_READ_FRAMEBUFFER_BINDING), GLint(names[2]));
    }
    EXPECT_EQ(Integer(GL_DRAW_FRAMEBUFFER_BINDING), GLint(names[0]));
    EXPECT_EQ(Integer(GL_READ_FRAMEBUFFER_BINDING), GLint(names[1]));
    {
        // Saving only; an early restore is not repeated at the end of the scope.
        plat::GLFramebufferBindingScope saved;
        glBindFramebuffer(GL_FRAMEBUFFER, names[2]);
        saved.Restore();
        EXPECT_EQ(Integer(GL_DRAW_FRAMEBUFFER_BINDING), GLint(names[0]));
        glBindFramebuffer(GL_FRAMEBUFFER, names[2]);
    }
    EXPECT_EQ(Integer(GL_DRAW_FRAMEBUFFER_BINDING), GLint(names[2]));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(3, names);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace

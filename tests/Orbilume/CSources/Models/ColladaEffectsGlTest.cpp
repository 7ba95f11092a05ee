#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Models/CColladaAnimation.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaFloatParam.h"
#include "Orbilume/CSources/Models/CColladaGlslEffect.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/CColladaPass.h"
#include "Orbilume/CSources/Models/CColladaRenderState.h"
#include "Orbilume/CSources/Models/UMat4.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/Models/ColladaSceneFixtures.h"
#include "tests/Orbilume/CSources/Models/ColladaTestDoc.h"
#include "tests/support/TempDir.h"

namespace {

using namespace colladascene;

// A colour and depth framebuffer object bound on the current context, cleared to black.
class Target {
public:
    Target(int w, int h) : fW(w), fH(h) {
        glGenFramebuffers(1, &fFbo);
        glGenRenderbuffers(2, fRb);
        glBindRenderbuffer(GL_RENDERBUFFER, fRb[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glBindRenderbuffer(GL_RENDERBUFFER, fRb[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, fFbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, fRb[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, fRb[1]);
        glViewport(0, 0, w, h);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~Target() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fFbo);
        glDeleteRenderbuffers(2, fRb);
    }
    // 0x00BBGGRR at a pixel.
    uint32_t Pixel(int x, int y) const {
        uint32_t p = 0;
        glFinish();
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
        return p & 0xFFFFFF;
    }

private:
    int fW, fH;
    GLuint fFbo = 0, fRb[2] = {0, 0};
};

const char* kVertex = "void main() { gl_Position = ftransform(); }";
const char* kLongName = "tint_of_the_surface_given_by_a_parameter_whose_name_is_longer_than_sixty_four_bytes";

std::string Code(const std::string& sid, const std::string& text) {
    return "<code sid=\"" + sid + "\">" + text + "</code>";
}
std::string Shader(const char* stage, const std::string& source, const std::string& binds = "") {
    return std::string("<shader stage=\"") + stage + "\"><name source=\"" + source + "\">main</name>" +
           binds + "</shader>";
}
std::string Bind(const std::string& symbol, const std::string& ref) {
    return "<bind symbol=\"" + symbol + "\"><param ref=\"" + ref + "\"/></bind>";
}
// An effect of the GLSL profile (profile body given) with a grey common profile beside it.
std::string Effect(const std::string& id, const std::string& glsl) {
    return "<effect id=\"" + id + "\"><profile_GLSL>" + glsl +
           "</profile_GLSL><profile_COMMON><technique sid=\"c\"><lambert><diffuse><color>0.5 0.5 0.5 "
           "1</color></diffuse></lambert></technique></profile_COMMON></effect>";
}
std::string Material(const std::string& id, const std::string& effect) {
    return "<material id=\"" + id + "\"><instance_effect url=\"#" + effect + "\"/></material>";
}
// A pass with the vertex shader and a fragment shader of the given code and bindings.
std::string OnePass(const std::string& fragment, const std::string& binds, const std::string& states = "",
                    const std::string& params = "") {
    return Code("vs", kVertex) + Code("fs", fragment) + params + "<technique sid=\"t\"><pass sid=\"p\">" +
           states + Shader("VERTEXPROGRAM", "vs") + Shader("FRAGMENTPROGRAM", "fs", binds) +
           "</pass></technique>";
}
const std::string kTint = "<newparam sid=\"tintParam\"><float4>1 0 0 1</float4></newparam>";

class ColladaEffects : public OpenGLTest {
protected:
    void TearDown() override {
        fDoc.reset();
        OpenGLTest::TearDown();
    }
    // Effects and materials parsed (no scene), located in the temporary folder.
    CColladaDoc& Parse(const std::string& effects, const std::string& materials) {
        fDir.Write("fx.dae", "");
        fDoc = colladatest::Parse(
            colladatest::Wrap("<library_effects>" + effects + "</library_effects><library_materials>" +
                              materials + "</library_materials>"),
            CMacFileU::LFsSpecFromPath(fDir.File("fx.dae").c_str()));
        EXPECT_TRUE(fDoc);
        return *fDoc;
    }
    CColladaMaterial* Built(const char* id) { return CColladaMaterial::BuildFor(*fDoc, fDoc->FindById(id)); }
    CColladaPass* PassOf(const char* id) {
        CColladaMaterial* m = Built(id);
        return m && m->glsl() ? m->glsl()->FirstPass() : nullptr;
    }
    // A scene of the unit cube drawn with the material, seen from the front.
    CColladaDoc& LoadCube(const std::string& effects, const std::string& materials, const char* material) {
        std::string geometry = CubeTriangles("box");
        const std::string plain = "<triangles count=\"12\">";
        geometry.replace(geometry.find(plain), plain.size(), "<triangles count=\"12\" material=\"m\">");
        const std::string binding =
            "<bind_material><technique_common><instance_material symbol=\"m\" target=\"#" +
            std::string(material) + "\"/></technique_common></bind_material>";
        fDir.Write("cube.dae",
                   Document("<library_effects>" + effects + "</library_effects><library_materials>" +
                                materials + "</library_materials>" + Geometries(geometry),
                            GeometryNode("cube", "box", "", binding)));
        fDoc = std::make_unique<CColladaDoc>(CMacFileU::LFsSpecFromPath(fDir.File("cube.dae").c_str()));
        EXPECT_TRUE(fDoc->LoadFile());
        float view[16];
        UMat4::Identity(view);
        UMat4::Translate(view, 0, 0, -4);
        fDoc->SetViewMatrix(view);
        return *fDoc;
    }
    // The centre pixel of a 64 x 64 render, and whether GL reported an error.
    uint32_t Centre(CColladaDoc& doc, GLenum* error) {
        COpenGLScope_Cca scope(Common());
        while (glGetError() != GL_NO_ERROR) {
        }
        Target target(64, 64);
        doc.Render(Common(), 0);
        *error = glGetError();
        return target.Pixel(32, 32);
    }

    testsupport::TempDir fDir;
    std::unique_ptr<CColladaDoc> fDoc;
};

TEST_F(ColladaEffects, AUniformColourFromANewparamDrawsThatColour) {
    for (const char* symbol : {"tint", kLongName}) {
        const std::string fragment =
            std::string("uniform vec4 ") + symbol + "; void main() { gl_FragColor = " + symbol + "; }";
        CColladaDoc& doc = LoadCube(Effect("fx", OnePass(fragment, Bind(symbol, "tintParam"), "", kTint)),
                                    Material("mat", "fx"), "mat");
        GLenum error = GL_NO_ERROR;
        EXPECT_EQ(Centre(doc, &error), 0x0000FFu) << symbol;
        EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ColladaEffects, ABrokenShaderDrawsWithFixedFunctionAndNoGLError) {
    const std::string broken = "void main() { gl_FragColor = no_such_thing; }";
    CColladaDoc& doc = LoadCube(Effect("fx", OnePass(broken, Bind("tint", "tintParam"), "", kTint)),
                                Material("mat", "fx"), "mat");
    GLenum error = GL_NO_ERROR;
    const uint32_t lit = Centre(doc, &error);
    EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_NE(lit, 0u);
    EXPECT_NE(lit, 0x0000FFu);
}

TEST_F(ColladaEffects, APassWithoutALinkedProgramSelectsNoneAndKeepsItsStates) {
    const std::string good = "uniform vec4 tint; void main() { gl_FragColor = tint; }";
    const std::string broken = "void main() { gl_FragColor = no_such_thing; }";
    Parse(Effect("good", OnePass(good, Bind("tint", "tintParam"), "", kTint)) +
              Effect("bad",
                     OnePass(broken, Bind("tint", "tintParam"), "<blend_enable value=\"true\"/>", kTint)),
          Material("m-good", "good") + Material("m-bad", "bad"));
    CColladaPass* goodPass = PassOf("m-good");
    CColladaPass* badPass = PassOf("m-bad");
    ASSERT_TRUE(goodPass && badPass);
    EXPECT_TRUE(goodPass->linked());
    EXPECT_FALSE(badPass->linked());
    EXPECT_TRUE(badPass->binds().empty());
    CColladaDrawState state;
    state.context = &Common();
    COpenGLScope_Cca scope(Common());
    while (glGetError() != GL_NO_ERROR) {
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    goodPass->Apply(state);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, static_cast<GLint>(goodPass->program()));
    badPass->Apply(state);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glPopAttrib();
}

TEST_F(ColladaEffects, TwoSamplersTakeUnitsZeroAndOneInBindingOrder) {
    const std::string fragment =
        "uniform sampler2D zeta; uniform sampler2D alpha;"
        "void main() { gl_FragColor = texture2D(zeta, vec2(0.5)) + texture2D(alpha, vec2(0.5)); }";
    const std::string params =
        "<newparam sid=\"smp\"><sampler2D><source>nothing</source></sampler2D></newparam>";
    Parse(Effect("fx", OnePass(fragment, Bind("zeta", "smp") + Bind("alpha", "smp"), "", params)),
          Material("mat", "fx"));
    CColladaPass* pass = PassOf("mat");
    ASSERT_NE(pass, nullptr);
    ASSERT_TRUE(pass->linked());
    ASSERT_EQ(pass->binds().size(), 2u);
    CColladaDrawState state;
    state.context = &Common();
    COpenGLScope_Cca scope(Common());
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    pass->Apply(state);
    GLint zeta = -1, alpha = -1, active = 0;
    glGetUniformiv(pass->program(), glGetUniformLocation(pass->program(), "zeta"), &zeta);
    glGetUniformiv(pass->program(), glGetUniformLocation(pass->program(), "alpha"), &alpha);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(zeta, 0);
    EXPECT_EQ(alpha, 1);
    EXPECT_EQ(active, GL_TEXTURE0);
    glUseProgram(0);
    glPopAttrib();
}

TEST_F(ColladaEffects, PassesReadTheirStatesShadersAndFallBack) {
    const std::string tint = "uniform vec4 tint; void main() { gl_FragColor = tint; }";
    const std::string states =
        "<blend_func><src value=\"SRC_ALPHA\"/></blend_func>"
        "<blend_func><src value=\"SRC_ALPHA\"/><dest value=\"ONE_MINUS_SRC_ALPHA\"/></blend_func>"
        "<cull_face value=\"SIDEWAYS\"/><cull_face value=\"BACK\"/>"
        "<polygon_mode><face value=\"FRONT_AND_BACK\"/><mode value=\"LINE\"/></polygon_mode>"
        "<blend_equation value=\"MAX\"/><alpha_test_enable value=\"true\"/>";
    // Two vertex shaders: the first one's code is used (the second would not compile).
    const std::string twoVertex =
        Code("vs", kVertex) + Code("vs2", "not a shader") + Code("fs", tint) + kTint +
        "<technique sid=\"t\"><pass sid=\"p\">" + states + Shader("VERTEXPROGRAM", "vs") +
        Shader("VERTEXPROGRAM", "vs2") +
        Shader("FRAGMENTPROGRAM", "fs", Bind("tint", "tintParam") + Bind("gone", "tintParam")) +
        "</pass></technique>";
    const std::string cube =
        OnePass("uniform samplerCube env; void main() { gl_FragColor = textureCube(env, vec3(1.0)); }",
                Bind("env", "cubeParam"), "",
                "<newparam sid=\"cubeParam\"><samplerCUBE><source>x</source></samplerCUBE></newparam>");
    Parse(Effect("two", twoVertex) + Effect("nopass", "<technique sid=\"t\"/>") + Effect("cube", cube),
          Material("m-two", "two") + Material("m-nopass", "nopass") + Material("m-cube", "cube"));
    CColladaPass* pass = PassOf("m-two");
    ASSERT_NE(pass, nullptr);
    EXPECT_TRUE(pass->linked());
    EXPECT_EQ(pass->vertexSource(), LString(kVertex));
    std::vector<std::string> names;
    for (const CColladaRenderState* s : pass->states()) names.push_back(s->row()->name);
    // The half blend_func and the unknown face are dropped.
    EXPECT_EQ(names, (std::vector<std::string>{"blend_func", "cull_face", "polygon_mode", "blend_equation",
                                               "alpha_test_enable"}));
    EXPECT_EQ(pass->mask(), static_cast<uint32_t>(GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT));
    // The binding of a symbol the program does not have leaves the list.
    ASSERT_EQ(pass->binds().size(), 1u);
    EXPECT_EQ(pass->binds()[0]->uniformType(), static_cast<uint32_t>(GL_FLOAT_VEC4));
    CColladaDrawState state;
    state.context = &Common();
    {
        COpenGLScope_Cca scope(Common());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        pass->Apply(state);
        GLint src = 0, dst = 0, equation = 0, modes[2] = {0, 0};
        glGetIntegerv(GL_BLEND_SRC_RGB, &src);
        glGetIntegerv(GL_BLEND_DST_RGB, &dst);
        glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
        glGetIntegerv(GL_POLYGON_MODE, modes);
        EXPECT_EQ(src, GL_SRC_ALPHA);
        EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_EQ(equation, GL_MAX);
        EXPECT_EQ(modes[0], GL_LINE);
        EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
        glPopAttrib();
    }
    // A technique without a pass: the profile counts as absent and the common profile is read.
    CColladaMaterial* fallback = Built("m-nopass");
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->glsl(), nullptr);
    EXPECT_NE(fallback->common(), nullptr);
    // A cube-map sampler uniform draws both faces.
    CColladaMaterial* cubeMaterial = Built("m-cube");
    ASSERT_TRUE(cubeMaterial && cubeMaterial->glsl());
    EXPECT_EQ(cubeMaterial->flags(), 1);
    EXPECT_EQ(Built("m-two")->flags(), 0);
}

TEST_F(ColladaEffects, IncludesAreReadFromRegularFilesOfAtMostAMegabyte) {
    const std::string tint = "uniform vec4 tint; void main() { gl_FragColor = tint; }";
    fDir.Write("tint.glsl", "\xEF\xBB\xBF" + tint);
    fDir.Write("huge.glsl", "// " + std::string(CColladaPass::kMaxIncludeBytes, 'x') + "\n" + tint);
    ASSERT_EQ(mkfifo(fDir.File("pipe.glsl").c_str(), 0600), 0);
    struct Case {
        const char* url;
        bool read;
    };
    const Case cases[] = {{"tint.glsl", true},
                          {"pipe.glsl", false},
                          {"huge.glsl", false},
                          {"missing.glsl", false},
                          {".", false}};
    for (const Case& c : cases) {
        const std::string glsl = Code("vs", kVertex) + "<include sid=\"fs\" url=\"" + c.url + "\"/>" + kTint +
                                 "<technique sid=\"t\"><pass sid=\"p\">" + Shader("VERTEXPROGRAM", "vs") +
                                 Shader("FRAGMENTPROGRAM", "fs", Bind("tint", "tintParam")) +
                                 "</pass></technique>";
        Parse(Effect("fx", glsl), Material("mat", "fx"));
        CColladaPass* pass = PassOf("mat");
        ASSERT_NE(pass, nullptr) << c.url;
        EXPECT_EQ(pass->fragmentSource() == LString(tint.c_str()), c.read) << c.url;
        // A skipped shader leaves its binding out: the vertex shader alone has no tint.
        EXPECT_EQ(pass->binds().size(), c.read ? 1u : 0u) << c.url;
    }
}

// Animation targets in the instantiated scene.
class ColladaChannels : public ColladaEffects {
protected:
    static std::string Animation(const std::string& target, const std::vector<float>& values,
                                 uint32_t lanes) {
        std::string id = "a" + std::to_string(++fCount);
        std::vector<float> times(values.size() / lanes);
        for (size_t i = 0; i < times.size(); ++i) times[i] = static_cast<float>(i);
        std::string out = "<source id=\"" + id + "-o\"><float_array id=\"" + id + "-oa\" count=\"" +
                          std::to_string(values.size()) + "\">" + Floats(values) +
                          "</float_array><technique_common><accessor source=\"#" + id + "-oa\" count=\"" +
                          std::to_string(times.size()) + "\" stride=\"" + std::to_string(lanes) + "\">";
        for (uint32_t k = 0; k < lanes; ++k)
            out += "<param name=\"V" + std::to_string(k) + "\" type=\"float\"/>";
        out += "</accessor></technique_common></source>";
        return "<animation id=\"" + id + "\">" + Source(id + "-i", times, "T") + out + "<sampler id=\"" + id +
               "-s\"><input semantic=\"INPUT\" source=\"#" + id +
               "-i\"/><input semantic=\"OUTPUT\" source=\"#" + id + "-o\"/></sampler><channel source=\"#" +
               id + "-s\" target=\"" + target + "\"/></animation>";
    }
    static inline int fCount = 0;
};

TEST_F(ColladaChannels, TargetsTakeTheirValues) {
    const std::string lights =
        "<library_lights><light id=\"lamp\"><technique_common><point><color sid=\"color\">0.1 0.2 "
        "0.3</color></point></technique_common></light></library_lights>";
    const std::string animations = "<library_animations>" + Animation("lamp/color.G", {0.9f}, 1) +
                                   Animation("cube/t", {7}, 1) + Animation("cube/r.ANGLE", {0, 90}, 1) +
                                   Animation("/cube/t", {5}, 1) + Animation("cube/t(5)", {5}, 1) +
                                   "<animation id=\"outer\">" + Animation("cube/s", {2, 3, 4, 4, 5, 6}, 3) +
                                   "</animation>" + "</library_animations>";
    const std::string node = "<node id=\"lit\"><instance_light url=\"#lamp\"/></node>" +
                             GeometryNode("cube", "box",
                                          "<translate sid=\"t\">1 2 3</translate><rotate sid=\"r\">0 0 1 "
                                          "0</rotate><scale sid=\"s\">1 1 1</scale>");
    fDir.Write("anim.dae", Document(lights + animations + Geometries(CubeTriangles("box")), node));
    colladatest::Validate(fDir.File("anim.dae"));
    CColladaDoc doc(CMacFileU::LFsSpecFromPath(fDir.File("anim.dae").c_str()));
    ASSERT_TRUE(doc.LoadFile());
    // A target beginning with "/" and a member index past the values are not kept.
    size_t channels = 0;
    for (const CColladaAnimation* a : doc.animations()) channels += a->channels().size();
    EXPECT_EQ(channels, 3u);
    EXPECT_EQ(doc.animations().size(), 6u);
    EXPECT_FLOAT_EQ(doc.longestDuration(), 1.0f);
    doc.Animate(0.5);
    CXmlElement* color =
        doc.FindIdBelowScene("lamp")->FindChild("technique_common")->FindChild("point")->FindChild("color");
    auto* param = CColladaElement::AttachedAs<CColladaFloatParam>(color);
    ASSERT_NE(param, nullptr);
    EXPECT_EQ(param->values(), (std::vector<float>{0.1f, 0.9f, 0.3f}));
    CColladaNode* cube = CColladaElement::AttachedAs<CColladaNode>(doc.FindIdBelowScene("cube"));
    ASSERT_NE(cube, nullptr);
    ASSERT_EQ(cube->transforms().size(), 3u);
    // One value on a whole translate sets all three.
    EXPECT_EQ(cube->transforms()[0]->values(), (std::vector<float>{7, 7, 7}));
    EXPECT_EQ(cube->transforms()[1]->values(), (std::vector<float>{0, 0, 1, 45}));
    EXPECT_EQ(cube->transforms()[2]->values(), (std::vector<float>{3, 4, 5}));
    // The render applies them too.
    doc.Animate(0);
    EXPECT_EQ(cube->transforms()[1]->values()[3], 0);
    COpenGLScope_Cca scope(Common());
    Target target(16, 16);
    doc.Render(Common(), 0.25);
    EXPECT_FLOAT_EQ(cube->transforms()[1]->values()[3], 22.5f);
}

TEST_F(ColladaChannels, AssimpAnimatedFilesReadTheirAnimations) {
    const std::string dir = "/usr/share/assimp/models/Collada/";
    for (const char* name : {"box_nested_animation.dae", "library_animation_clips.dae",
                             "anims_with_full_rotations_between_keys.DAE"}) {
        if (!std::filesystem::exists(dir + name)) GTEST_SKIP() << "assimp-testmodels is not installed";
        CColladaDoc doc(CMacFileU::LFsSpecFromPath((dir + name).c_str()));
        ASSERT_TRUE(doc.LoadFile()) << name;
        EXPECT_FALSE(doc.animations().empty()) << name;
        EXPECT_GT(doc.longestDuration(), 0.0f) << name;
        for (double t : {0.0, 0.5 * doc.longestDuration(), -1.0, 1e9}) doc.Animate(t);
    }
}

}  // namespace

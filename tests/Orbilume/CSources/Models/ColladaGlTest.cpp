#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Models/CColladaCommonEffect.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaParamHolder.h"
#include "Orbilume/CSources/Models/CColladaSurface.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/Models/ColladaTestDoc.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

// From libGLU (its header would pull in GL/gl.h next to epoxy's).
extern "C" void gluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
                          double centerZ, double upX, double upY, double upZ);

namespace {

using colladatest::Wrap;

bool Near(float a, float b) {
    return std::fabs(a - b) <= 2e-6f + 4 * FLT_EPSILON * std::fmax(std::fabs(a), std::fabs(b));
}

// Mesa's fixed-function matrix stack as the oracle for the matrix operations.
class UMat4Mesa : public OpenGLTest {};

TEST_F(UMat4Mesa, AgreesWithTheGLMatrixStack) {
    struct Case {
        const char* what;
        std::function<void(float*)> ours;
        std::function<void()> gl;
        bool bitExact;
    };
    const float mult[16] = {1, 2, 0, 0, -1, 0.5f, 3, 0, 0.25f, 0, 1, 0, 4, 5, 6, 1};
    const Case cases[] = {
        {"rotate odd axis", [](float* m) { UMat4::Rotate(m, 37, 1, 2, 3); }, [] { glRotatef(37, 1, 2, 3); },
         false},
        {"rotate negative", [](float* m) { UMat4::Rotate(m, -123.5f, 0.3f, -0.5f, 0.8f); },
         [] { glRotatef(-123.5f, 0.3f, -0.5f, 0.8f); }, false},
        {"rotate z", [](float* m) { UMat4::Rotate(m, 90, 0, 0, 1); }, [] { glRotatef(90, 0, 0, 1); }, false},
        {"rotate -x long", [](float* m) { UMat4::Rotate(m, 400, -7, 0, 0); },
         [] { glRotatef(400, -7, 0, 0); }, false},
        {"rotate 0", [](float* m) { UMat4::Rotate(m, 0, 1, 1, 0); }, [] { glRotatef(0, 1, 1, 0); }, true},
        {"rotate zero axis", [](float* m) { UMat4::Rotate(m, 30, 0, 0, 0); }, [] { glRotatef(30, 0, 0, 0); },
         true},
        {"translate", [](float* m) { UMat4::Translate(m, 1.5f, -2, 1e3f); },
         [] { glTranslatef(1.5f, -2, 1e3f); }, true},
        {"scale", [](float* m) { UMat4::Scale(m, 2, 0.5f, -1); }, [] { glScalef(2, 0.5f, -1); }, true},
        {"multiply", [&](float* m) { UMat4::Multiply(m, mult); }, [&] { glMultMatrixf(mult); }, true},
        {"chain",
         [&](float* m) {
             UMat4::Translate(m, 3, 4, 5);
             UMat4::Rotate(m, 77, -1, 0.5f, 2);
             UMat4::Scale(m, 3, 3, 0.25f);
             UMat4::Multiply(m, mult);
             UMat4::Translate(m, -1, 0, 2);
         },
         [&] {
             glTranslatef(3, 4, 5);
             glRotatef(77, -1, 0.5f, 2);
             glScalef(3, 3, 0.25f);
             glMultMatrixf(mult);
             glTranslatef(-1, 0, 2);
         },
         false},
        {"look at", [](float* m) { UMat4::LookAt(m, 1, 2, 3, 4, -5, 6, 0, 1, 0); },
         [] { gluLookAt(1, 2, 3, 4, -5, 6, 0, 1, 0); }, false},
        {"look at degenerate up", [](float* m) { UMat4::LookAt(m, 0, 0, 5, 0, 0, 0, 0, 0, 1); },
         [] { gluLookAt(0, 0, 5, 0, 0, 0, 0, 0, 1); }, false},
        {"look at tilted up", [](float* m) { UMat4::LookAt(m, -2, 1, 0, 0, 0, 0, 1, 1, 0.5f); },
         [] { gluLookAt(-2, 1, 0, 0, 0, 0, 1, 1, 0.5); }, false},
    };
    COpenGLScope_Cca scope(Common());
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    for (const Case& c : cases) {
        const float start[16] = {1, 0.5f, 0, 0, 0, 2, 0.25f, 0, 0.125f, 0, 1, 0, 7, -3, 2, 1};
        float ours[16];
        std::memcpy(ours, start, sizeof ours);
        c.ours(ours);
        glLoadMatrixf(start);
        c.gl();
        float mesa[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, mesa);
        for (int i = 0; i < 16; ++i) {
            if (c.bitExact)
                EXPECT_EQ(std::memcmp(&ours[i], &mesa[i], sizeof(float)), 0) << c.what << " [" << i << "]";
            else
                EXPECT_TRUE(Near(ours[i], mesa[i]))
                    << c.what << " [" << i << "] " << ours[i] << " vs " << mesa[i];
        }
    }
    glPopMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// 4 x 4 PNG: top half red, bottom half blue; or a solid colour.
std::string Png(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool top = y < h / 2;
            rgba.insert(rgba.end(),
                        {top ? r : uint8_t(0), top ? g : uint8_t(0), top ? b : uint8_t(255), 255});
        }
    std::vector<uint8_t> png = testsupport::EncodeTestPNG(w, h, rgba);
    return std::string(png.begin(), png.end());
}

// A fixture folder with images and documents that are checked by the outside validators.
class ColladaGl : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        std::filesystem::create_directories(fDir.Path() + "/sub");
        fDir.Write("tex4.png", Png(4, 4, 255, 0, 0));
        fDir.Write("sub/tex2.png", Png(2, 2, 0, 255, 0));
        fDir.Write("corrupt.png", "\x89PNG\r\n\x1a\nnot really");
        std::filesystem::create_directories(fDir.Path() + "/folder.png");
    }
    void TearDown() override {
        fDoc.reset();
        OpenGLTest::TearDown();
    }

    // Writes the document, checks it with the outside validators when asked, and parses it.
    CColladaDoc& Load(const std::string& name, const std::string& xml, bool validate) {
        fDir.Write(name, xml);
        if (validate) Validate(fDir.File(name));
        fDoc = colladatest::Parse(xml, CMacFileU::LFsSpecFromPath(fDir.File(name).c_str()));
        EXPECT_TRUE(fDoc);
        return *fDoc;
    }

    static void Validate(const std::string& path) { colladatest::Validate(path); }

    CColladaMaterial* Material(const char* id) {
        return CColladaMaterial::BuildFor(*fDoc, fDoc->FindById(id));
    }

    testsupport::TempDir fDir;
    std::unique_ptr<CColladaDoc> fDoc;
};

const char* kImages = R"(<library_images>
<image id="img4"><init_from>tex4.png</init_from></image>
<image id="img2"><init_from>./sub/tex2.png</init_from></image>
</library_images>)";

std::string TexEffect(const char* id, const char* surfaces, const char* technique) {
    return std::string("<effect id=\"") + id + "\"><profile_COMMON>" + surfaces +
           "<technique sid=\"common\">" + technique + "</technique></profile_COMMON></effect>";
}

std::string Surface2D(const char* sid, const char* image, const char* extra = "") {
    return std::string("<newparam sid=\"") + sid + "\"><surface type=\"2D\"><init_from>" + image +
           "</init_from>" + extra + "</surface></newparam><newparam sid=\"" + sid +
           "-smp\"><sampler2D><source>" + sid + "</source></sampler2D></newparam>";
}

std::string Materials(const std::vector<std::string>& ids) {
    std::string s = "<library_materials>";
    for (const std::string& id : ids)
        s += "<material id=\"m-" + id + "\"><instance_effect url=\"#" + id + "\"/></material>";
    return s + "</library_materials>";
}

CColladaSurface* DiffuseSurface(CColladaMaterial* m, uint32_t row = 2) {
    if (!m || !m->common()) return nullptr;
    const CColladaValue* v = m->common()->params()[row].holder->inUse();
    return v ? v->surface() : nullptr;
}

TEST_F(ColladaGl, EqualSurfacesShareOneTextureAndAnotherSizeGetsItsOwn) {
    std::string fx =
        TexEffect("a", Surface2D("s", "img4").c_str(),
                  "<lambert><diffuse><texture texture=\"s-smp\" texcoord=\"UV0\"/></diffuse></lambert>") +
        TexEffect("b", Surface2D("s", "img4").c_str(),
                  "<lambert><diffuse><texture texture=\"s-smp\" texcoord=\"UV0\"/></diffuse></lambert>") +
        TexEffect("c", Surface2D("s", "img4", "<size>8 8 1</size>").c_str(),
                  "<lambert><diffuse><texture texture=\"s-smp\" texcoord=\"UV0\"/></diffuse></lambert>");
    Load("share.dae",
         Wrap(std::string(kImages) + "<library_effects>" + fx + "</library_effects>" +
              Materials({"a", "b", "c"})),
         true);
    CColladaSurface* a = DiffuseSurface(Material("m-a"));
    CColladaSurface* b = DiffuseSurface(Material("m-b"));
    CColladaSurface* c = DiffuseSurface(Material("m-c"));
    ASSERT_TRUE(a && b && c);
    ASSERT_TRUE(a->texture());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(a->texture()->name(), c->texture()->name());
    EXPECT_EQ(fDoc->surfaces().size(), 2u);
    std::vector<uint32_t> texels = ReadTexture(GL_TEXTURE_2D, a->texture()->name(), 4, 4);
    EXPECT_EQ(texels[0], 0xFF0000FFu) << "first row at the bottom (blue)";
    EXPECT_EQ(texels[15], 0xFFFF0000u);
    COpenGLScope_Cca scope(Common());
    glBindTexture(GL_TEXTURE_2D, c->texture()->name());
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(w, 8);
}

TEST_F(ColladaGl, BadSurfacesAndImagesLeaveNothingBehind) {
    const char* faces5 =
        "<surface type=\"CUBE\"><init_from face=\"POSITIVE_X\">img4</init_from><init_from "
        "face=\"NEGATIVE_X\">img4</init_from><init_from face=\"POSITIVE_Y\">img4</init_from><init_from "
        "face=\"NEGATIVE_Y\">img4</init_from><init_from face=\"POSITIVE_Z\">img4</init_from></surface>";
    std::string huge = "<surface type=\"CUBE\"><size>1000000 1000000 1</size><init_cube>";
    for (int i = 0; i < 7; ++i) huge += "<face ref=\"img4\"/>";
    huge += "</init_cube></surface>";
    struct Case {
        std::string surface;
        bool builds;
    } cases[] = {
        {"<surface type=\"2D\"><init_from>img4</init_from></surface>", true},
        {faces5, false},
        {huge, false},
        {"<surface type=\"CUBE\"><init_cube><face ref=\"img4\"/><face ref=\"img4\"/><face "
         "ref=\"img4\"/><face "
         "ref=\"img4\"/><face ref=\"img4\"/><face ref=\"img4\"/></init_cube><size>-5</size></surface>",
         true},
        {"<surface type=\"2D\"><init_from mip=\"1\">img4</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>missing</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>imgMissingFile</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>imgCorrupt</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>imgFolder</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>imgHttp</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>imgFrag</init_from></surface>", false},
        {"<surface type=\"2D\"><init_from>imgBackslash</init_from><size>-4 -4</size></surface>", false},
        {"<surface type=\"3D\"><init_from>img4</init_from></surface>", false},
        {"<surface type=\"bogus\"><init_from>img4</init_from></surface>", false},
        {"<surface type=\"2D\"><init_as_null/></surface>", true},
    };
    std::string images = R"(<library_images><image id="img4"><init_from>tex4.png</init_from></image>
        <image id="imgMissingFile"><init_from>none.png</init_from></image>
        <image id="imgCorrupt"><init_from>corrupt.png</init_from></image>
        <image id="imgFolder"><init_from>folder.png</init_from></image>
        <image id="imgHttp"><init_from>http://127.0.0.1:1/t.png</init_from></image>
        <image id="imgFrag"><init_from>#img4</init_from></image>
        <image id="imgBackslash"><init_from>sub\tex2.png</init_from></image></library_images>)";
    std::string body = images + "<library_effects><effect id=\"e\"><profile_COMMON>";
    for (size_t i = 0; i < std::size(cases); ++i)
        body += "<newparam sid=\"p" + std::to_string(i) + "\">" + cases[i].surface + "</newparam>";
    body += "<technique sid=\"t\"><constant/></technique></profile_COMMON></effect></library_effects>";
    CColladaDoc& doc = Load("bad.dae", Wrap(body), false);
    CXmlElement* profile = UColladaXml::FirstChild(doc.FindById("e"));
    size_t i = 0;
    for (CXmlElement* np = UColladaXml::FirstChild(profile); np && i < std::size(cases);
         np = UColladaXml::Next(np), ++i) {
        CXmlElement* surface = UColladaXml::FirstChild(np);
        CColladaSurface* s = CColladaSurface::Build(doc, surface);
        EXPECT_EQ(s != nullptr, cases[i].builds) << cases[i].surface;
        if (!s) {
            EXPECT_EQ(surface->Attached(), nullptr) << cases[i].surface;
        } else {
            EXPECT_NE(s->texture(), nullptr);
        }
    }
    EXPECT_EQ(doc.surfaces().size(), 3u);
    COpenGLScope_Cca scope(Common());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ColladaGl, MaterialsOfTheCommonProfileSetTheFixedFunctionState) {
    std::string fx =
        TexEffect("phong", "",
                  "<phong><specular><color>0.1 0.2 0.3 "
                  "1</color></specular><shininess><float>12</float></shininess></phong>") +
        TexEffect("constant", "", "<constant/>") +
        TexEffect("tex", (Surface2D("a", "img4") + Surface2D("b", "img2")).c_str(),
                  "<lambert><emission><texture texture=\"b-smp\" texcoord=\"UV1\"/></emission>"
                  "<diffuse><texture texture=\"a-smp\" texcoord=\"UV0\"/></diffuse></lambert>") +
        TexEffect("unresolved", "",
                  "<blinn><diffuse><texture texture=\"nothing\" texcoord=\"UV0\"/></diffuse>"
                  "<ambient><param ref=\"nothing\"/></ambient></blinn>") +
        "<effect id=\"paramref\"><profile_COMMON><newparam sid=\"amb\"><float4>0.25 0.5 0.75 "
        "1</float4></newparam>"
        "<newparam sid=\"spec\"><float4>0 0.5 0 1</float4></newparam><technique sid=\"t\"><phong>"
        "<ambient><param ref=\"./amb\"/></ambient><diffuse><param ref=\"amb\"/></diffuse>"
        "<specular><param ref=\"spec.X\"/></specular></phong></technique></profile_COMMON></effect>"
        "<effect id=\"sided\"><profile_COMMON><technique sid=\"t\"><constant/></technique></profile_COMMON>"
        "<extra><technique profile=\"MAYA\"><double_sided>1</double_sided></technique></extra></effect>";
    Load("materials.dae",
         Wrap(std::string(kImages) + "<library_effects>" + fx + "</library_effects>" +
              Materials({"phong", "constant", "tex", "unresolved", "sided", "paramref"})),
         true);
    CColladaDrawState state;
    state.context = &Common();
    state.frame = 1;
    struct Read {
        float ambient[4], diffuse[4], specular[4], emission[4], shininess;
    };
    auto apply = [&](CColladaMaterial* m) {
        Read r{};
        COpenGLScope_Cca scope(Common());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        m->Apply(state);
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, r.ambient);
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, r.diffuse);
        glGetMaterialfv(GL_BACK, GL_SPECULAR, r.specular);
        glGetMaterialfv(GL_FRONT, GL_EMISSION, r.emission);
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &r.shininess);
        return r;
    };
    auto pop = [&] {
        COpenGLScope_Cca scope(Common());
        glPopAttrib();
    };
    auto rgba = [](const float* v) { return std::vector<float>(v, v + 4); };

    CColladaMaterial* phong = Material("m-phong");
    ASSERT_TRUE(phong);
    Read r = apply(phong);
    pop();
    EXPECT_EQ(rgba(r.ambient), (std::vector<float>{0.2f, 0.2f, 0.2f, 1}));
    EXPECT_EQ(rgba(r.diffuse), (std::vector<float>{0.8f, 0.8f, 0.8f, 1}));
    EXPECT_EQ(rgba(r.specular), (std::vector<float>{0.1f, 0.2f, 0.3f, 1}));
    EXPECT_EQ(r.shininess, 12.0f);
    EXPECT_EQ(phong->flags(), 0);

    r = apply(Material("m-constant"));
    pop();
    EXPECT_EQ(rgba(r.ambient), (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(rgba(r.diffuse), (std::vector<float>{0, 0, 0, 1}));

    r = apply(Material("m-paramref"));
    pop();
    EXPECT_EQ(rgba(r.ambient), (std::vector<float>{0.25f, 0.5f, 0.75f, 1})) << "a path to the newparam";
    EXPECT_EQ(rgba(r.diffuse), (std::vector<float>{0.25f, 0.5f, 0.75f, 1})) << "a plain sid";
    EXPECT_EQ(rgba(r.specular), (std::vector<float>{0, 0, 0, 0})) << "a member part a newparam refuses";

    CColladaMaterial* sided = Material("m-sided");
    ASSERT_TRUE(sided);
    EXPECT_EQ(sided->flags(), 1);

    CColladaMaterial* unresolved = Material("m-unresolved");
    ASSERT_TRUE(unresolved);
    r = apply(unresolved);
    pop();
    EXPECT_EQ(rgba(r.diffuse), (std::vector<float>{0, 0, 0, 0})) << "an unresolved texture applies as black";
    EXPECT_EQ(rgba(r.ambient), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(unresolved->TextureUnitOf(0), -1);

    CColladaMaterial* tex = Material("m-tex");
    ASSERT_TRUE(tex);
    EXPECT_EQ(tex->TextureUnitOf(0), 0) << "emission first, in row order";
    EXPECT_EQ(tex->TextureUnitOf(1), 1);
    EXPECT_EQ(tex->TextureUnitOf(2), -1);
    EXPECT_EQ(tex->common()->TextureUnitOfTexcoord("UV0"), 1);
    EXPECT_EQ(tex->common()->TextureUnitOfTexcoord("UV1"), 0);
    EXPECT_EQ(tex->common()->TextureUnitOfTexcoord("UV9"), -1);
    state.frame = 2;
    r = apply(tex);
    GLint env[2] = {0, 0}, wrap = 0, minf = 0, maxLevel = -1, bound = 0;
    GLboolean enabled[2] = {GL_FALSE, GL_FALSE};
    GLboolean alphaTest;
    {
        COpenGLScope_Cca scope(Common());
        for (int u = 0; u < 2; ++u) {
            glActiveTexture(GL_TEXTURE0 + u);
            glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env[u]);
            enabled[u] = glIsEnabled(GL_TEXTURE_2D);
        }
        glActiveTexture(GL_TEXTURE1);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minf);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &maxLevel);
        glActiveTexture(GL_TEXTURE0);
        alphaTest = glIsEnabled(GL_ALPHA_TEST);
    }
    pop();
    EXPECT_EQ(rgba(r.diffuse), (std::vector<float>{1, 1, 1, 1})) << "white under a sampler2D";
    EXPECT_EQ(rgba(r.emission), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ(env[0], GL_REPLACE) << "emission";
    EXPECT_EQ(env[1], GL_MODULATE) << "diffuse";
    EXPECT_TRUE(enabled[0] && enabled[1]);
    EXPECT_EQ(static_cast<GLuint>(bound), DiffuseSurface(tex)->texture()->name());
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(minf, GL_NEAREST);
    EXPECT_EQ(maxLevel, 0);
    EXPECT_TRUE(alphaTest);
    EXPECT_EQ(state.unitTargets[0], static_cast<uint32_t>(GL_TEXTURE_2D));

    // Each material copies its effect and builds its own objects; the library effect builds none.
    CXmlElement* libraryEffect = fDoc->FindById("tex");
    EXPECT_EQ(libraryEffect->FindChild("profile_COMMON")->Attached(), nullptr);
    CXmlElement* copy =
        UColladaXml::FindChild(fDoc->FindById("m-tex")->FindChild("instance_effect"), "effect");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->FindChild("profile_COMMON")->Attached(), tex->common());
    COpenGLScope_Cca scope(Common());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ColladaGl, TransparencyAnswers) {
    struct Case {
        const char* transparent;  // element text of <transparent>, with its attribute
        const char* transparency;
        uint32_t answer;
        float alpha;  // blend colour alpha when blended
    } cases[] = {
        {"<transparent opaque=\"A_ONE\"><color>1 1 1 0.5</color></transparent>", "1", 1, 0.5f},
        {"<transparent opaque=\"A_ONE\"><color>1 1 1 1</color></transparent>", "0", 2, 0},
        {"<transparent><color>1 1 1 1</color></transparent>", "0", 0, 0},
        {"<transparent opaque=\"RGB_ZERO\"><color>1 1 1 1</color></transparent>", "1", 2, 0},
        {"<transparent opaque=\"RGB_ZERO\"><color>0 0 0 1</color></transparent>", "1", 0, 0},
        {"<transparent opaque=\"RGB_ZERO\"><color>0.5 0.5 0.5 1</color></transparent>", "0.5", 1, 0.25f},
        {"<transparent opaque=\"A_ONE\"><color>1 1 1 0</color></transparent>", "1", 2, 0},
        {"", "0.25", 1, 0.25f},
        {"", "1", 0, 0},
        {"<transparent opaque=\"A_ONE\"><texture texture=\"none\" texcoord=\"UV0\"/></transparent>", "0.5", 0,
         0},
    };
    std::string fx;
    std::vector<std::string> ids;
    for (size_t i = 0; i < std::size(cases); ++i) {
        ids.push_back("t" + std::to_string(i));
        fx += TexEffect(ids.back().c_str(), "",
                        (std::string("<lambert>") + cases[i].transparent + "<transparency><float>" +
                         cases[i].transparency + "</float></transparency></lambert>")
                            .c_str());
    }
    Load("transparency.dae", Wrap("<library_effects>" + fx + "</library_effects>" + Materials(ids)), false);
    CColladaDrawState state;
    state.context = &Common();
    for (size_t i = 0; i < std::size(cases); ++i) {
        CColladaMaterial* m = Material(("m-" + ids[i]).c_str());
        ASSERT_TRUE(m && m->common()) << i;
        EXPECT_EQ(m->common()->TransparencyMode(state), cases[i].answer) << i << " " << cases[i].transparent;
        if (cases[i].answer == 1) {
            EXPECT_FLOAT_EQ(m->common()->blendColor()[3], cases[i].alpha) << i;
        }
    }
    // RGB_ZERO blends with the colour factors and a luminance alpha.
    CColladaCommonEffect* rgb = Material("m-t5")->common();
    EXPECT_EQ(rgb->blendFactors()[0], static_cast<uint32_t>(GL_ONE_MINUS_CONSTANT_COLOR));
    EXPECT_FLOAT_EQ(rgb->blendColor()[0], 0.25f);
    // Once per frame: the stored answer stands within the frame, the apply blends with it.
    CColladaCommonEffect* e = Material("m-t0")->common();
    {
        COpenGLScope_Cca scope(Common());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        Material("m-t0")->Apply(state);
        GLint src = 0;
        float color[4];
        glGetIntegerv(GL_BLEND_SRC_RGB, &src);
        glGetFloatv(GL_BLEND_COLOR, color);
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(src, GL_CONSTANT_ALPHA);
        EXPECT_FLOAT_EQ(color[3], 0.5f);
        glPopAttrib();
    }
    EXPECT_EQ(e->TransparencyMode(state), 1u);
}

TEST_F(ColladaGl, DuckTextureMatchesFfmpegsDecode) {
    const std::string dir = "/usr/share/assimp/models/Collada/";
    if (!std::filesystem::exists(dir + "duck.dae")) GTEST_SKIP() << "assimp-testmodels is not installed";
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    std::ifstream in(dir + "duck.dae", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    fDoc = colladatest::Parse(ss.str(), CMacFileU::LFsSpecFromPath((dir + "duck.dae").c_str()));
    ASSERT_TRUE(fDoc);
    CColladaSurface* surface = nullptr;
    CColladaMaterial* material = nullptr;
    for (CColladaTreeWalker w(fDoc->root(), fDoc->root()->FindChild("library_materials")); w.Next();)
        if (UColladaXml::NameIs(w.current(), "material") &&
            (material = Material(w.current()->GetAttribute("id").CStr())))
            break;
    ASSERT_TRUE(material);
    surface = DiffuseSurface(material);
    ASSERT_TRUE(surface && surface->texture());
    std::string raw = testsupport::CommandOutput("ffmpeg -v error -i '" + dir +
                                                 "duckCM.tga' -f rawvideo -pix_fmt bgra - 2>/dev/null");
    const int w = 512, h = 512;
    ASSERT_EQ(raw.size(), static_cast<size_t>(w * h * 4));
    std::vector<uint32_t> texels = ReadTexture(GL_TEXTURE_2D, surface->texture()->name(), w, h);
    int mismatches = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t ff;
            std::memcpy(&ff, raw.data() + (static_cast<size_t>(h - 1 - y) * w + x) * 4, 4);
            if (texels[static_cast<size_t>(y) * w + x] != ff) ++mismatches;
        }
    EXPECT_EQ(mismatches, 0) << "GL row 0 is the image's bottom row";
}

TEST_F(ColladaGl, AssimpColladaFilesBuildEveryMaterial) {
    const std::string dir = "/usr/share/assimp/models/Collada/";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "assimp-testmodels is not installed";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".dae" && ext != ".DAE") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        auto doc = colladatest::Parse(ss.str(), CMacFileU::LFsSpecFromPath(entry.path().c_str()));
        if (!doc) continue;  // UTF-16 files hold no element the tokenizer sees
        ++files;
        CColladaDrawState state;
        state.context = &Common();
        for (CColladaTreeWalker w(doc->root(), nullptr); w.Next();) {
            if (!UColladaXml::NameIs(w.current(), "material") || w.current()->GetAttribute("id").IsEmpty())
                continue;
            if (CColladaMaterial* m = CColladaMaterial::BuildFor(*doc, w.current())) {
                COpenGLScope_Cca scope(Common());
                glPushAttrib(GL_ALL_ATTRIB_BITS);
                (void)m->TextureUnitOf(0);
                if (m->common()) (void)m->common()->TransparencyMode(state);
                m->Apply(state);
                glPopAttrib();
            }
        }
    }
    EXPECT_GT(files, 20);
}

}  // namespace

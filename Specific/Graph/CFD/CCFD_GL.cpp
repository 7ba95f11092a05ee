#include "Specific/Graph/CFD/CCFD_GL.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace cfd {
namespace {

// Texture coordinates of an image over quad 0 (the calculation cells).
const float gTxc[8] = {0, 0, 0, 1, 1, 0, 1, 1};

// Every pass samples at gl_FragCoord x gTxl, so offsets are whole texels.
#define CFD_FS_HEAD        \
    "#version 120\n"       \
    "uniform vec2 gTxl;\n" \
    "#define AT(s, dx, dy) texture2D(s, (gl_FragCoord.xy + vec2(dx, dy)) * gTxl)\n"

const char* const gFS_D = CFD_FS_HEAD R"(
uniform sampler2D gU_;
uniform sampler2D gRr;
void main() {
    vec4 u = AT(gU_, 0.0, 0.0);
    vec4 r = AT(gRr, 0.0, 0.0);
    float rsum = r.x + r.y + AT(gRr, 1.0, 0.0).x + AT(gRr, 0.0, 1.0).y;
    float div = AT(gU_, 1.0, 0.0).x - u.x + AT(gU_, 0.0, 1.0).y - u.y;
    gl_FragColor = vec4(div, rsum != 0.0 ? 1.0 / rsum : 0.0, 0.0, 0.0);
})";

const char* const gFS_P = CFD_FS_HEAD R"(
uniform sampler2D gDr;
uniform sampler2D gRr;
uniform sampler2D gP;
void main() {
    vec4 dr = AT(gDr, 0.0, 0.0);
    vec4 r = AT(gRr, 0.0, 0.0);
    float p = -dr.x + AT(gP, -1.0, 0.0).x * r.x + AT(gP, 0.0, -1.0).x * r.y +
              AT(gP, 1.0, 0.0).x * AT(gRr, 1.0, 0.0).x + AT(gP, 0.0, 1.0).x * AT(gRr, 0.0, 1.0).y;
    gl_FragColor = vec4(p * dr.y, 0.0, 0.0, 0.0);
})";

const char* const gFS_U = CFD_FS_HEAD R"(
uniform sampler2D gU_;
uniform sampler2D gRr;
uniform sampler2D gP;
uniform sampler2D gWt;
void main() {
    float p = AT(gP, 0.0, 0.0).x;
    vec2 grad = vec2(p) - vec2(AT(gP, -1.0, 0.0).x, AT(gP, 0.0, -1.0).x);
    float w = AT(gWt, 0.0, 0.0).x;
    vec2 wf = min(vec2(w), vec2(AT(gWt, -1.0, 0.0).x, AT(gWt, 0.0, -1.0).x));
    vec2 u = (AT(gU_, 0.0, 0.0).xy - grad * AT(gRr, 0.0, 0.0).xy) * wf;
    gl_FragColor = vec4(u, 0.0, 0.0);
})";

const char* const gFS_BcRr = CFD_FS_HEAD R"(
uniform sampler2D gRr;
uniform vec2 gMul;
void main() { gl_FragColor = vec4(AT(gRr, 0.0, 0.0).xy * gMul, 0.0, 0.0); })";

const char* const gFS_Ubc = CFD_FS_HEAD R"(
uniform sampler2D gU_;
uniform vec2 gOfsx;
uniform vec2 gOfsy;
uniform vec2 gMul;
uniform vec2 gAdd;
void main() {
    vec2 u = vec2(AT(gU_, gOfsx.x, gOfsx.y).x, AT(gU_, gOfsy.x, gOfsy.y).y);
    gl_FragColor = vec4(gAdd + gMul * u, 0.0, 0.0);
})";

const char* const gFS_Pbc = CFD_FS_HEAD R"(
uniform sampler2D gP_;
uniform vec2 gOfs;
uniform float gMul;
uniform float gPrs;
void main() { gl_FragColor = vec4(mix(gPrs, AT(gP_, gOfs.x, gOfs.y).x, gMul), 0.0, 0.0, 0.0); })";

const char* const gFS_F = R"(#version 120
uniform sampler2D gF;
uniform vec2 gYSel;
void main() {
    vec4 c = texture2D(gF, gl_TexCoord[0].xy);
    gl_FragColor = vec4(c.r, dot(c.rg, gYSel), 0.0, 0.0);
})";

const char* const gFS_F_R = R"(#version 120
uniform sampler2DRect gF;
uniform vec2 gYSel;
void main() {
    vec4 c = texture2DRect(gF, gl_TexCoord[0].xy);
    gl_FragColor = vec4(c.r, dot(c.rg, gYSel), 0.0, 0.0);
})";

const char* const gFS_Wt = R"(#version 120
uniform sampler2D gO;
void main() { gl_FragColor = vec4(step(0.5, 1.0 - texture2D(gO, gl_TexCoord[0].xy).r), 0.0, 0.0, 0.0); })";

const char* const gFS_Wt_R = R"(#version 120
uniform sampler2DRect gO;
void main() { gl_FragColor = vec4(step(0.5, 1.0 - texture2DRect(gO, gl_TexCoord[0].xy).r), 0.0, 0.0, 0.0); })";

const char* const gFS_Prs = R"(#version 120
uniform sampler2D gP;
uniform float gMul;
void main() {
    float r = texture2D(gP, gl_TexCoord[0].xy).r;
    gl_FragColor = vec4(r * gMul, 0.0, 0.0, r);
})";

const char* const gFS_Prs_R = R"(#version 120
uniform sampler2DRect gP;
uniform float gMul;
void main() {
    float r = texture2DRect(gP, gl_TexCoord[0].xy).r;
    gl_FragColor = vec4(r * gMul, 0.0, 0.0, r);
})";

bool IsWall(int32_t type) {
    return type == CCFD_GL::kSlip || type == CCFD_GL::kNoSlip;
}

// The largest side the fields may have here (texture and viewport limits).
uint32_t MaxSide() {
    GLint texture = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    return uint32_t(std::max(0, std::min({texture, viewport[0], viewport[1]})));
}

// One side's boundary pass of AdjSideU: offsets in texels, multiplier, whether gAdd takes the
// side's velocity (in x for left and right, y for bottom and top), and the optional wall-face pass.
struct SUbc {
    float ofsx[2], ofsy[2], mul[2];
    bool add;
    uint32_t secondQuad;  // 0: none
    float secondMul[2];
};

// [side][type]
const SUbc kUbc[4][4] = {
    {{{1, 0}, {1, 0}, {1, 1}, false, 0, {0, 0}},
     {{2, 0}, {1, 0}, {-1, 1}, false, 7, {0, 1}},
     {{2, 0}, {1, 0}, {-1, -1}, false, 7, {0, 1}},
     {{0, 0}, {1, 0}, {0, -1}, true, 7, {0, 1}}},
    {{{-1, 0}, {-1, 0}, {1, 1}, false, 0, {0, 0}},
     {{-1, 0}, {-1, 0}, {0, 1}, false, 0, {0, 0}},
     {{-1, 0}, {-1, 0}, {0, -1}, false, 0, {0, 0}},
     {{0, 0}, {-1, 0}, {0, -1}, true, 0, {0, 0}}},
    // The bottom wall mirrors the left one: the tangential u from row 1, the normal v from row 2.
    {{{0, 1}, {0, 1}, {1, 1}, false, 0, {0, 0}},
     {{0, 1}, {0, 2}, {1, -1}, false, 8, {1, 0}},
     {{0, 1}, {0, 2}, {-1, -1}, false, 8, {1, 0}},
     {{0, 1}, {0, 0}, {-1, 0}, true, 8, {1, 0}}},
    {{{0, -1}, {0, -1}, {1, 1}, false, 0, {0, 0}},
     {{0, -1}, {0, -1}, {1, 0}, false, 0, {0, 0}},
     {{0, -1}, {0, -1}, {-1, 0}, false, 0, {0, 0}},
     {{0, -1}, {0, 0}, {-1, 0}, true, 0, {0, 0}}},
};
const uint32_t kSideQuad[4] = {3, 4, 5, 6};

}  // namespace

const char* const CCFD_GL::gVS_gp = R"(#version 120
void main() {
    gl_Position = gl_Vertex;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
})";

CCFD_GL::~CCFD_GL() = default;

uint32_t CCFD_GL::GridSide(uint32_t requested) {
    return requested == 0 ? 0 : std::max(requested, kMinSide);
}

bool CCFD_GL::Init(plat::PlugInContext& call) {
    if (fInitialised) return true;
    if (!fContext.Create(call)) return false;
    Call scope(*this, call);
    CCFDContext::Scope s(fContext);
    if (!s.Ok()) return false;
    glGenFramebuffersEXT(1, &fFbo);
    glGenBuffers(1, &fBuffer);
    fInitialised = fFbo && fBuffer && BuildPrograms();
    return fInitialised;
}

void CCFD_GL::Release(plat::PlugInContext& call) {
    {
        Call scope(*this, call);
        CCFDContext::Scope s(fContext);
        if (s.Ok()) {
            DeleteFields();
            DeletePrograms();
            if (fBuffer) glDeleteBuffers(1, &fBuffer);
            if (fFbo) glDeleteFramebuffersEXT(1, &fFbo);
        }
    }
    fBuffer = fFbo = 0;
    fW = fH = 0;
    fInitialised = false;
    fContext.Destroy(call);
}

bool CCFD_GL::BuildPrograms() {
    struct {
        plugin::PlugInProgram& program;
        const char* source;
    } const programs[] = {{fFS_D, gFS_D},       {fFS_P, gFS_P},     {fFS_U, gFS_U},
                          {fFS_BcRr, gFS_BcRr}, {fFS_Ubc, gFS_Ubc}, {fFS_Pbc, gFS_Pbc},
                          {fFS_F, gFS_F},       {fFS_F_R, gFS_F_R}, {fFS_Wt, gFS_Wt},
                          {fFS_Wt_R, gFS_Wt_R}, {fFS_Prs, gFS_Prs}, {fFS_Prs_R, gFS_Prs_R}};
    for (const auto& p : programs)
        if (!p.program.Build(gVS_gp, p.source)) return false;
    // Sampler units never change.
    auto units = [](plugin::PlugInProgram& p, std::initializer_list<const char*> names) {
        p.Use();
        int32_t unit = 0;
        for (const char* name : names) p.SetSampler(name, unit++);
    };
    units(fFS_D, {"gU_", "gRr"});
    units(fFS_P, {"gDr", "gRr", "gP"});
    units(fFS_U, {"gU_", "gRr", "gP", "gWt"});
    units(fFS_BcRr, {"gRr"});
    units(fFS_Ubc, {"gU_"});
    units(fFS_Pbc, {"gP_"});
    units(fFS_F, {"gF"});
    units(fFS_F_R, {"gF"});
    units(fFS_Wt, {"gO"});
    units(fFS_Wt_R, {"gO"});
    units(fFS_Prs, {"gP"});
    units(fFS_Prs_R, {"gP"});
    glUseProgram(0);
    return true;
}

void CCFD_GL::DeletePrograms() {
    for (plugin::PlugInProgram* p : {&fFS_D, &fFS_P, &fFS_U, &fFS_BcRr, &fFS_Ubc, &fFS_Pbc, &fFS_F, &fFS_F_R,
                                     &fFS_Wt, &fFS_Wt_R, &fFS_Prs, &fFS_Prs_R})
        p->Delete();
}

void CCFD_GL::DeleteFields() {
    for (uint32_t* t : {&fP[0], &fP[1], &fU, &fU_, &fDr, &fRr, &fWt, &fF}) {
        if (*t) glDeleteTextures(1, t);
        *t = 0;
    }
}

void CCFD_GL::SetupTx(uint32_t& texture) {
    if (!texture) glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, GLsizei(fW), GLsizei(fH), 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
}

void CCFD_GL::Clear(uint32_t texture) {
    Attach(texture);
    glClear(GL_COLOR_BUFFER_BIT);
}

bool CCFD_GL::SetSize_(uint32_t W, uint32_t H) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fInitialised) return false;
    const uint32_t limit = MaxSide();
    fW = std::min(GridSide(W), limit);
    fH = std::min(GridSide(H), limit);
    if (fW == 0 || fH == 0) {
        fW = fH = 0;
        DeleteFields();
        return true;
    }
    glActiveTexture(GL_TEXTURE0);
    for (uint32_t* t : {&fP[0], &fP[1], &fU, &fU_, &fDr, &fRr, &fWt, &fF}) SetupTx(*t);
    glBindTexture(GL_TEXTURE_2D, 0);
    fPCur = 0;

    BeginPasses();
    glViewport(0, 0, GLsizei(fW), GLsizei(fH));
    glClearColor(0, 0, 0, 0);
    for (uint32_t t : {fP[0], fP[1], fU, fU_, fDr, fF}) Clear(t);
    glClearColor(1, 0, 0, 0);
    Clear(fWt);
    glClearColor(0, 0, 0, 0);
    EndPasses();

    // Ten quads of four vertices: grid line c at x = 2c/W - 1, row line r at y = 2r/H - 1.
    const float w = float(fW), h = float(fH);
    const float quads[10][4] = {
        {1, w - 1, 1, h - 1}, {0, w, 0, h},         {1, w, 1, h},     {0, 1, 1, h - 1}, {w - 1, w, 1, h - 1},
        {1, w - 1, 0, 1},     {1, w - 1, h - 1, h}, {1, 2, 2, h - 1}, {2, w - 1, 1, 2}, {1, 2, 1, 2}};
    float strip[80];
    for (int q = 0; q < 10; ++q) {
        const float x0 = 2 * quads[q][0] / w - 1, x1 = 2 * quads[q][1] / w - 1;
        const float y0 = 2 * quads[q][2] / h - 1, y1 = 2 * quads[q][3] / h - 1;
        const float v[8] = {x0, y0, x0, y1, x1, y0, x1, y1};
        std::copy(v, v + 8, strip + q * 8);
    }
    glBindBuffer(GL_ARRAY_BUFFER, fBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof strip, strip, GL_STATIC_DRAW);
    glVertexPointer(2, GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    return true;
}

void CCFD_GL::BeginPasses() {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fPreviousFbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fFbo);
}

void CCFD_GL::EndPasses() {
    glUseProgram(0);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
    glFlush();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(fPreviousFbo));
}

void CCFD_GL::Attach(uint32_t texture) {
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
}

void CCFD_GL::BindUnit(uint32_t unit, uint32_t texture) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void CCFD_GL::DrawQuad(uint32_t quad) {
    glDrawArrays(GL_TRIANGLE_STRIP, GLint(quad * 4), 4);
}

void CCFD_GL::CopyRect(uint32_t unit, uint32_t destination, const SRect& r) {
    BindUnit(unit, destination);
    if (r.width <= 0 || r.height <= 0) return;
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, r.x, r.y, r.x, r.y, r.width, r.height);
}

bool CCFD_GL::CalcSubRect(uint32_t quad, SRect& r) const {
    const int32_t w = int32_t(fW), h = int32_t(fH);
    switch (quad) {
        case 4:
            r = {w - 1, 1, 1, h - 2};
            return true;
        case 6:
            r = {1, h - 1, w - 2, 1};
            return true;
        case 7:
            r = {1, 2, 1, h - 3};
            return true;
        case 8:
            r = {2, 1, w - 3, 1};
            return true;
        default:
            return false;
    }
}

void CCFD_GL::SetTxl(plugin::PlugInProgram& program) {
    glUniform2f(program.Uniform("gTxl"), 1.0f / float(fW), 1.0f / float(fH));
}

void CCFD_GL::DrawRrSide(uint32_t side, int32_t mulLocation) {
    static const uint32_t kQuad[4] = {7, 4, 8, 6};
    static const float kMul[4][2] = {{0, 1}, {0, 1}, {1, 0}, {1, 0}};
    SRect r;
    (void)CalcSubRect(kQuad[side], r);
    CopyRect(0, fU_, r);
    glUniform2f(mulLocation, kMul[side][0], kMul[side][1]);
    DrawQuad(kQuad[side]);
}

void CCFD_GL::AdjSideRr() {
    const bool left = IsWall(fSide[kLeft].type), bottom = IsWall(fSide[kBottom].type);
    bool any = left || bottom;
    for (const SSide& s : fSide) any = any || IsWall(s.type);
    if (!any) return;
    fFS_BcRr.Use();
    SetTxl(fFS_BcRr);
    const int32_t mul = fFS_BcRr.Uniform("gMul");
    Attach(fRr);
    for (uint32_t side = kLeft; side <= kTop; ++side)
        if (IsWall(fSide[side].type)) DrawRrSide(side, mul);
    if (left || bottom) {
        CopyRect(0, fU_, {1, 1, 1, 1});
        glUniform2f(mul, left ? 0 : 1, bottom ? 0 : 1);
        DrawQuad(9);
    }
}

void CCFD_GL::AdjSideU(uint32_t target) {
    const int32_t w = int32_t(fW), h = int32_t(fH);
    Attach(target);
    // The scratch copy of the cells the boundary passes read.
    CopyRect(0, fDr, {1, 3, 2, h - 5});
    CopyRect(0, fDr, {w - 2, 3, 1, h - 5});
    CopyRect(0, fDr, {1, 1, w - 2, 2});
    CopyRect(0, fDr, {1, h - 2, w - 2, 1});
    fFS_Ubc.Use();
    SetTxl(fFS_Ubc);
    const int32_t ofsx = fFS_Ubc.Uniform("gOfsx"), ofsy = fFS_Ubc.Uniform("gOfsy");
    const int32_t mul = fFS_Ubc.Uniform("gMul"), add = fFS_Ubc.Uniform("gAdd");
    for (uint32_t side = kLeft; side <= kTop; ++side) {
        const SSide& s = fSide[side];
        if (s.type < kFree || s.type > kVelocity) continue;
        const SUbc& e = kUbc[side][s.type];
        const bool horizontal = side == kLeft || side == kRight;
        const float a = e.add ? s.velocity : 0;
        glUniform2f(ofsx, e.ofsx[0], e.ofsx[1]);
        glUniform2f(ofsy, e.ofsy[0], e.ofsy[1]);
        glUniform2f(mul, e.mul[0], e.mul[1]);
        glUniform2f(add, horizontal ? a : 0, horizontal ? 0 : a);
        DrawQuad(kSideQuad[side]);
        if (e.secondQuad) {
            glUniform2f(ofsx, 0, 0);
            glUniform2f(ofsy, 0, 0);
            glUniform2f(mul, e.secondMul[0], e.secondMul[1]);
            DrawQuad(e.secondQuad);
        }
    }
    const SSide& l = fSide[kLeft];
    const SSide& b = fSide[kBottom];
    const bool leftSet = l.type > kFree && l.type <= kVelocity;
    const bool bottomSet = b.type > kFree && b.type <= kVelocity;
    if (leftSet || bottomSet) {
        glUniform2f(ofsx, 0, 0);
        glUniform2f(ofsy, 0, 0);
        glUniform2f(mul, leftSet ? 0 : 1, bottomSet ? 0 : 1);
        glUniform2f(add, l.type == kVelocity ? l.velocity : 0, b.type == kVelocity ? b.velocity : 0);
        DrawQuad(9);
    }
}

void CCFD_GL::CalcDr() {
    fFS_D.Use();
    SetTxl(fFS_D);
    Attach(fDr);
    BindUnit(0, fU_);
    BindUnit(1, fRr);
    DrawQuad(0);
}

void CCFD_GL::CopySideP() {
    const int32_t w = int32_t(fW), h = int32_t(fH);
    const uint32_t other = fP[1 - fPCur];
    Attach(fP[fPCur]);
    CopyRect(0, other, {0, 1, 1, h - 2});
    CopyRect(0, other, {w - 1, 1, 1, h - 2});
    CopyRect(0, other, {1, 0, w - 2, 1});
    CopyRect(0, other, {1, h - 1, w - 2, 1});
}

void CCFD_GL::CalcP() {
    if (fIterations == 0) return;
    fFS_P.Use();
    SetTxl(fFS_P);
    BindUnit(0, fDr);
    BindUnit(1, fRr);
    for (uint32_t i = 0; i < fIterations; ++i) {
        BindUnit(2, fP[fPCur]);
        Attach(fP[1 - fPCur]);
        DrawQuad(0);
        fPCur = 1 - fPCur;
    }
}

void CCFD_GL::CalcU() {
    fFS_U.Use();
    SetTxl(fFS_U);
    Attach(fU);
    BindUnit(0, fU_);
    BindUnit(1, fRr);
    BindUnit(2, fP[fPCur]);
    BindUnit(3, fWt);
    DrawQuad(0);
}

void CCFD_GL::AdjSideP() {
    static const float kOfs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    const int32_t w = int32_t(fW), h = int32_t(fH);
    const uint32_t other = fP[1 - fPCur];
    Attach(fP[fPCur]);
    CopyRect(0, other, {1, 2, 1, h - 4});
    CopyRect(0, other, {w - 2, 2, 1, h - 4});
    CopyRect(0, other, {1, 1, w - 2, 1});
    CopyRect(0, other, {1, h - 2, w - 2, 1});
    fFS_Pbc.Use();
    SetTxl(fFS_Pbc);
    const int32_t ofs = fFS_Pbc.Uniform("gOfs"), mul = fFS_Pbc.Uniform("gMul"), prs = fFS_Pbc.Uniform("gPrs");
    for (uint32_t side = kLeft; side <= kTop; ++side) {
        glUniform1f(mul, fSide[side].fixPressure ? 0 : 1);
        glUniform1f(prs, fSide[side].pressure);
        glUniform2f(ofs, kOfs[side][0], kOfs[side][1]);
        DrawQuad(kSideQuad[side]);
    }
}

void CCFD_GL::Project() {
    AdjSideU(fU_);
    CalcDr();
    CopySideP();
    CalcP();
    CalcU();
    AdjSideU(fU);
    AdjSideP();
}

bool CCFD_GL::BeginImage(CExtTex& image) {
    const bool bound = image.Bind(fContext.Get());
    glActiveTexture(GL_TEXTURE0);
    if (!bound) {
        // Nothing bound reads as zero.
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindTexture(GL_TEXTURE_RECTANGLE, 0);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glClientActiveTexture(GL_TEXTURE0);
    glTexCoordPointer(2, GL_FLOAT, 0, gTxc);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    return bound;
}

void CCFD_GL::EndImage(CExtTex& image, bool bound) {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, fBuffer);
    if (bound) image.Unbind(fContext.Get());
}

namespace {

void LinearFilter(const CExtTex& image) {
    if (!image.valid()) return;
    glTexParameteri(image.target(), GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(image.target(), GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

bool IsRect(const CExtTex& image) {
    return image.valid() && image.target() == GL_TEXTURE_RECTANGLE;
}

}  // namespace

void CCFD_GL::SetForce(CExtTex& image, uint32_t dim) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();
    const bool bound = BeginImage(image);
    plugin::PlugInProgram& program = IsRect(image) ? fFS_F_R : fFS_F;
    program.Use();
    glUniform2f(program.Uniform("gYSel"), dim ? 0 : 1, dim ? 1 : 0);
    Attach(fF);
    {
        CTexSmpl sampling(image);
        LinearFilter(image);
        DrawQuad(0);
    }
    EndImage(image, bound);
    EndPasses();
}

void CCFD_GL::SetObstacle(CExtTex& image) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();
    const bool bound = BeginImage(image);
    (IsRect(image) ? fFS_Wt_R : fFS_Wt).Use();
    Attach(fWt);
    {
        CTexSmpl sampling(image);
        LinearFilter(image);
        DrawQuad(0);
    }
    EndImage(image, bound);
    EndPasses();
}

void CCFD_GL::Pressure(CExtTex& image, float multiplier) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();
    const bool bound = BeginImage(image);
    if (bound) {
        plugin::PlugInProgram& program = IsRect(image) ? fFS_Prs_R : fFS_Prs;
        program.Use();
        glUniform1f(program.Uniform("gMul"), multiplier);
        Attach(fP[fPCur]);
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        {
            CTexSmpl sampling(image);
            LinearFilter(image);
            DrawQuad(0);
        }
        glDisable(GL_BLEND);
    }
    EndImage(image, bound);
    EndPasses();
}

void CCFD_GL::PickPix(uint32_t texture, uint32_t x, uint32_t y, float out[4]) {
    out[0] = out[1] = out[2] = out[3] = 0;
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || x >= fW || y >= fH || !texture) return;
    BeginPasses();
    Attach(texture);
    glReadPixels(GLint(x), GLint(y), 1, 1, GL_RGBA, GL_FLOAT, out);
    EndPasses();
}

void CCFD_GL::txcu(float c[8]) const {
    const float w = float(fW), h = float(fH);
    const float v[8] = {1.5f / w, 1 / h, 1.5f / w, 1 - 1 / h, 1 - 0.5f / w, 1 / h, 1 - 0.5f / w, 1 - 1 / h};
    std::copy(v, v + 8, c);
}

void CCFD_GL::txcv(float c[8]) const {
    const float w = float(fW), h = float(fH);
    const float v[8] = {1 / w, 1.5f / h, 1 / w, 1 - 0.5f / h, 1 - 1 / w, 1.5f / h, 1 - 1 / w, 1 - 0.5f / h};
    std::copy(v, v + 8, c);
}

}  // namespace cfd

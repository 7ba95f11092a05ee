#include "Specific/Graph/CFD/CLSM_GL.h"

#include <epoxy/gl.h>

#include <cmath>

namespace cfd {
namespace {

#define LSM_FS_HEAD                    \
    "#version 120\n"                   \
    "uniform vec2 gTxl;\n"             \
    "const float kBoundThick = 1.3;\n" \
    "#define AT(s, dx, dy) texture2D(s, (gl_FragCoord.xy + vec2(dx, dy)) * gTxl)\n"

const char* const gFS_Srv = LSM_FS_HEAD R"(
uniform sampler2D gD;
uniform vec2 g_rv0;
uniform vec2 g_rv1;
void main() {
    float d = clamp(AT(gD, 0.0, 0.0).x / kBoundThick, -1.0, 1.0);
    float h = d >= 0.0 ? 1.0 - 0.5 * (1.0 - d) * (1.0 - d) : 0.5 * (d + 1.0) * (d + 1.0);
    gl_FragColor = vec4(2.0 * h - 1.0, g_rv0 + g_rv1 * h, 0.0);
})";

const char* const gFS_R = LSM_FS_HEAD R"(
uniform sampler2D gSrv;
uniform sampler2D gWt;
void main() {
    float w = AT(gWt, 0.0, 0.0).x;
    float q = AT(gSrv, 0.0, 0.0).y;
    gl_FragColor = vec4(min(w, AT(gWt, -1.0, 0.0).x) * 0.5 * (q + AT(gSrv, -1.0, 0.0).y),
                        min(w, AT(gWt, 0.0, -1.0).x) * 0.5 * (q + AT(gSrv, 0.0, -1.0).y), 0.0, 0.0);
})";

const char* const gFS_V = LSM_FS_HEAD R"(
uniform vec2 gSiz;
uniform vec2 gFg;
uniform vec2 gFo;
uniform vec2 gFm;
uniform float g_dt;
uniform float gSfcTc;
uniform sampler2D gU;
uniform sampler2D gF;
uniform sampler2D gD;
uniform sampler2D gSrv;
uniform sampler2D gRr;
uniform sampler2D gWt;
vec4 InterpolateU(vec2 p) {
    vec2 q = clamp(p - 0.5, vec2(1.0), gSiz - 1.0001);
    vec2 f = floor(q);
    vec2 t = q - f;
    vec2 c = (f + 0.5) * gTxl;
    vec4 a = mix(texture2D(gU, c), texture2D(gU, c + vec2(gTxl.x, 0.0)), t.x);
    vec4 b = mix(texture2D(gU, c + vec2(0.0, gTxl.y)), texture2D(gU, c + gTxl), t.x);
    return mix(a, b, t.y);
}
vec2 Unit(vec2 g) { return g / (length(g) + 0.0001); }
void main() {
    vec4 u = AT(gU, 0.0, 0.0);
    vec4 ul = AT(gU, -1.0, 0.0), ur = AT(gU, 1.0, 0.0), ub = AT(gU, 0.0, -1.0), ut = AT(gU, 0.0, 1.0);
    float vl = (ul.y + u.y + AT(gU, -1.0, 1.0).y + ut.y) * 0.25;
    float uB = (ub.x + AT(gU, 1.0, -1.0).x + u.x + ur.x) * 0.25;
    vec2 pu = gl_FragCoord.xy - vec2(u.x, vl) * g_dt;
    vec2 pv = gl_FragCoord.xy - vec2(uB, u.y) * g_dt;
    vec2 uc = vec2(InterpolateU(pu).x, InterpolateU(pv).y);

    float n = AT(gSrv, 0.0, 0.0).z;
    float nl = AT(gSrv, -1.0, 0.0).z, nr = AT(gSrv, 1.0, 0.0).z;
    float nb = AT(gSrv, 0.0, -1.0).z, nt = AT(gSrv, 0.0, 1.0).z;
    float nlt = AT(gSrv, -1.0, 1.0).z, nlb = AT(gSrv, -1.0, -1.0).z, nrb = AT(gSrv, 1.0, -1.0).z;
    vec2 uv;
    uv.x = (ur.x - u.x) * n - (u.x - ul.x) * nl + (ut.x - u.x) * (n + nl + nt + nlt) * 0.25 -
           (u.x - ub.x) * (n + nl + nb + nlb) * 0.25;
    uv.y = (ut.y - u.y) * n - (u.y - ub.y) * nb + (ur.y - u.y) * (n + nr + nb + nrb) * 0.25 -
           (u.y - ul.y) * (n + nl + nb + nlb) * 0.25;

    float d0 = AT(gD, 0.0, 0.0).x;
    float dl = AT(gD, -1.0, 0.0).x, dr = AT(gD, 1.0, 0.0).x, db = AT(gD, 0.0, -1.0).x, dt = AT(gD, 0.0, 1.0).x;
    vec2 g = vec2(dr - dl, dt - db) * 0.5;
    vec2 gl = vec2(d0 - dl, g.y), gr = vec2(dr - d0, g.y), gb = vec2(g.x, d0 - db), gt = vec2(g.x, dt - d0);
    float k = -(Unit(gr).x - Unit(gl).x + Unit(gt).y - Unit(gb).y);
    vec2 da = clamp(vec2(dl + d0, db + d0) * 0.5 / kBoundThick, -1.0, 1.0);
    vec2 delta = (1.0 - abs(da)) / kBoundThick;
    vec2 fs = vec2(gl.x, gb.y) * delta * k * gSfcTc * AT(gRr, 0.0, 0.0).xy;

    vec2 f = (AT(gF, 0.0, 0.0).xy - gFo) * gFm;
    vec2 us = uc + (uv + fs + f + gFg) * g_dt;
    float w = AT(gWt, 0.0, 0.0).x;
    us *= min(vec2(w), vec2(AT(gWt, -1.0, 0.0).x, AT(gWt, 0.0, -1.0).x));
    gl_FragColor = vec4(us, 0.0, 0.0);
})";

const char* const gFS_L = LSM_FS_HEAD R"(
uniform float g_dt;
uniform sampler2D gU;
uniform sampler2D gD;
void main() {
    vec4 u = AT(gU, 0.0, 0.0);
    vec2 uc = (u.xy + vec2(AT(gU, 1.0, 0.0).x, AT(gU, 0.0, 1.0).y)) * 0.5;
    vec2 q = gl_FragCoord.xy - uc * g_dt - 0.5;
    vec2 f = floor(q);
    vec2 t = q - f;
    vec2 c = (f + 0.5) * gTxl;
    float a = mix(texture2D(gD, c).x, texture2D(gD, c + vec2(gTxl.x, 0.0)).x, t.x);
    float b = mix(texture2D(gD, c + vec2(0.0, gTxl.y)).x, texture2D(gD, c + gTxl).x, t.x);
    gl_FragColor = vec4(mix(a, b, t.y), 0.0, 0.0, 0.0);
})";

const char* const gFS_Di = LSM_FS_HEAD R"(
uniform sampler2D gS;
uniform sampler2D gD;
uniform sampler2D gWt;
// (value, weight) of one axis by the upwind rule.
vec2 Upwind(float prev, float next, float wprev, float wnext, float s) {
    if (prev >= 0.0 && next >= 0.0) return s >= 0.0 ? vec2(prev, wprev) : vec2(next, wnext);
    if (prev <= 0.0 && next <= 0.0) return s >= 0.0 ? vec2(next, wnext) : vec2(prev, wprev);
    return vec2(0.0);
}
void main() {
    float d = AT(gD, 0.0, 0.0).x;
    if (abs(d) <= kBoundThick * 0.5) {
        gl_FragColor = vec4(d, 0.0, 0.0, 0.0);
        return;
    }
    float w = AT(gWt, 0.0, 0.0).x;
    float wl = step(w, AT(gWt, -1.0, 0.0).x), wr = step(w, AT(gWt, 1.0, 0.0).x);
    float wb = step(w, AT(gWt, 0.0, -1.0).x), wt = step(w, AT(gWt, 0.0, 1.0).x);
    float dl = (d - AT(gD, -1.0, 0.0).x) * wl, dr = (AT(gD, 1.0, 0.0).x - d) * wr;
    float db = (d - AT(gD, 0.0, -1.0).x) * wb, dt = (AT(gD, 0.0, 1.0).x - d) * wt;
    float s;
    vec2 g;
    if (dl > 0.0 && dr < 0.0 && db > 0.0 && dt < 0.0) {
        s = 1.0;
        g = vec2(dl - dr, db - dt) * 0.5;
    } else if (dl < 0.0 && dr > 0.0 && db < 0.0 && dt > 0.0) {
        s = -1.0;
        g = vec2(-dl + dr, -db + dt) * 0.5;
    } else {
        s = AT(gS, 0.0, 0.0).x;
        vec2 x = Upwind(dl, dr, wl, wr, s);
        vec2 y = Upwind(db, dt, wb, wt, s);
        g = vec2(x.x, y.x);
        s *= max(x.y, y.y);
    }
    gl_FragColor = vec4(d + 0.5 * s * (1.0 - length(g)), 0.0, 0.0, 0.0);
})";

const char* const gFS_Dbc = LSM_FS_HEAD R"(
uniform sampler2D gD;
uniform float gLev;
void main() {
    float d = AT(gD, 0.0, 0.0).x;
    if (gLev != 0.0 && d * gLev <= 0.0) d = gLev;
    gl_FragColor = vec4(d, 0.0, 0.0, 0.0);
})";

const char* const gFS_Vc = LSM_FS_HEAD R"(
uniform sampler2D gD;
uniform sampler2D gWt;
uniform float gCor;
void main() { gl_FragColor = vec4(AT(gD, 0.0, 0.0).x + gCor * AT(gWt, 0.0, 0.0).x, 0.0, 0.0, 0.0); })";

const char* const gFS_Ph = R"(#version 120
uniform sampler2D gP;
void main() { gl_FragColor = vec4(2.0 * step(0.5, texture2D(gP, gl_TexCoord[0].xy).r) - 1.0, 0.0, 0.0, 0.0); })";

const char* const gFS_Ph_R = R"(#version 120
uniform sampler2DRect gP;
void main() { gl_FragColor = vec4(2.0 * step(0.5, texture2DRect(gP, gl_TexCoord[0].xy).r) - 1.0, 0.0, 0.0, 0.0); })";

}  // namespace

bool CLSM_GL::BuildPrograms() {
    if (!CCFD_GL::BuildPrograms()) return false;
    struct {
        plugin::PlugInProgram& program;
        const char* source;
        std::initializer_list<const char*> samplers;
    } const programs[] = {
        {fFS_Srv, gFS_Srv, {"gD"}},
        {fFS_R, gFS_R, {"gSrv", "gWt"}},
        {fFS_V, gFS_V, {"gU", "gF", "gD", "gSrv", "gRr", "gWt"}},
        {fFS_L, gFS_L, {"gU", "gD"}},
        {fFS_Di, gFS_Di, {"gS", "gD", "gWt"}},
        {fFS_Dbc, gFS_Dbc, {"", "gD"}},
        {fFS_Vc, gFS_Vc, {"gD", "gWt"}},
        {fFS_Ph, gFS_Ph, {"gP"}},
        {fFS_Ph_R, gFS_Ph_R, {"gP"}},
    };
    for (const auto& p : programs) {
        if (!p.program.Build(gVS_gp, p.source)) return false;
        p.program.Use();
        int32_t unit = 0;
        for (const char* name : p.samplers) {
            if (*name) p.program.SetSampler(name, unit);
            ++unit;
        }
    }
    glUseProgram(0);
    return true;
}

void CLSM_GL::DeletePrograms() {
    for (plugin::PlugInProgram* p :
         {&fFS_Srv, &fFS_R, &fFS_V, &fFS_L, &fFS_Di, &fFS_Dbc, &fFS_Vc, &fFS_Ph, &fFS_Ph_R})
        p->Delete();
    CCFD_GL::DeletePrograms();
}

void CLSM_GL::DeleteFields() {
    for (uint32_t* t : {&fD[0], &fD[1], &fSrv}) {
        if (*t) glDeleteTextures(1, t);
        *t = 0;
    }
    CCFD_GL::DeleteFields();
}

void CLSM_GL::SetDensity(uint32_t phase, float density) {
    fDensity[phase & 1] = density >= kMinDensity ? density : kMinDensity;
}

bool CLSM_GL::SetSize(uint32_t W, uint32_t H) {
    CCFDContext::Scope s(fContext);
    if (!SetSize_(W, H)) return false;
    fTargetVolume = 0;
    fTargetRecorded = false;
    fDCur = 0;
    if (!fW) return true;
    glActiveTexture(GL_TEXTURE0);
    for (uint32_t* t : {&fD[0], &fD[1], &fSrv}) SetupTx(*t);
    glBindTexture(GL_TEXTURE_2D, 0);
    BeginPasses();
    Clear(fD[0]);
    Clear(fD[1]);
    SignDPass();
    EndPasses();
    return true;
}

void CLSM_GL::SignDPass() {
    fFS_Srv.Use();
    SetTxl(fFS_Srv);
    const float rv0 = 1.0f / fDensity[0], rv1 = 1.0f / fDensity[1];
    glUniform2f(fFS_Srv.Uniform("g_rv0"), rv0, fKv[0]);
    glUniform2f(fFS_Srv.Uniform("g_rv1"), rv1 - rv0, fKv[1] - fKv[0]);
    Attach(fSrv);
    BindUnit(0, fD[fDCur]);
    DrawQuad(1);
}

void CLSM_GL::SignD() {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();
    SignDPass();
    EndPasses();
}

void CLSM_GL::AdjDSides() {
    const int32_t w = int32_t(fW), h = int32_t(fH);
    // The old D, bound on unit 1, takes the new inner neighbours at the ring.
    glActiveTexture(GL_TEXTURE1);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 1, 1, 1, 1, h - 2);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, w - 1, 1, w - 2, 1, 1, h - 2);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 1, 0, 1, 1, w - 2, 1);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 1, h - 1, 1, h - 2, w - 2, 1);
    fFS_Dbc.Use();
    SetTxl(fFS_Dbc);
    const int32_t lev = fFS_Dbc.Uniform("gLev");
    static const uint32_t kQuads[4] = {3, 4, 5, 6};
    for (uint32_t side = kLeft; side <= kTop; ++side) {
        glUniform1f(lev, float(fSidePhase[side]) * 0.5f);
        DrawQuad(kQuads[side]);
    }
}

void CLSM_GL::ReInitPasses(uint32_t iterations) {
    BindUnit(0, fSrv);
    BindUnit(2, fWt);
    for (uint32_t i = 0; i < iterations; ++i) {
        fFS_Di.Use();
        SetTxl(fFS_Di);
        BindUnit(1, fD[fDCur]);
        Attach(fD[1 - fDCur]);
        DrawQuad(0);
        AdjDSides();
        fDCur = 1 - fDCur;
    }
    SignDPass();
}

void CLSM_GL::ReInitLevelSet(uint32_t iterations) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();
    ReInitPasses(iterations);
    EndPasses();
}

void CLSM_GL::Step(bool freeze) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();

    fFS_R.Use();
    SetTxl(fFS_R);
    Attach(fRr);
    BindUnit(0, fSrv);
    BindUnit(1, fWt);
    DrawQuad(2);

    AdjSideRr();

    fFS_V.Use();
    SetTxl(fFS_V);
    glUniform2f(fFS_V.Uniform("gSiz"), float(fW), float(fH));
    glUniform2f(fFS_V.Uniform("gFg"), fFg[0], fFg[1]);
    glUniform2f(fFS_V.Uniform("gFo"), fFo[0], fFo[1]);
    glUniform2f(fFS_V.Uniform("gFm"), fFm[0], fFm[1]);
    glUniform1f(fFS_V.Uniform("g_dt"), fDt);
    glUniform1f(fFS_V.Uniform("gSfcTc"), fSurfaceTension);
    Attach(fU_);
    BindUnit(0, fU);
    BindUnit(1, fF);
    BindUnit(2, fD[fDCur]);
    BindUnit(3, fSrv);
    BindUnit(4, fRr);
    BindUnit(5, fWt);
    DrawQuad(0);

    Project();

    if (!freeze) {
        fFS_L.Use();
        SetTxl(fFS_L);
        glUniform1f(fFS_L.Uniform("g_dt"), fDt);
        Attach(fD[1 - fDCur]);
        BindUnit(0, fU);
        BindUnit(1, fD[fDCur]);
        DrawQuad(0);
        AdjDSides();
        fDCur = 1 - fDCur;
        SignDPass();
        ReInitPasses(3);
    }
    EndPasses();
}

void CLSM_GL::SetObstacle(CExtTex& image) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    CCFD_GL::SetObstacle(image);
    BeginPasses();
    SignDPass();
    ReInitPasses(4);
    EndPasses();
}

void CLSM_GL::SetPhase(CExtTex& image) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();
    const bool bound = BeginImage(image);
    (image.valid() && image.target() == GL_TEXTURE_RECTANGLE ? fFS_Ph_R : fFS_Ph).Use();
    {
        CTexSmpl sampling(image);
        if (image.valid()) {
            glTexParameteri(image.target(), GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(image.target(), GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        }
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, fD[fDCur]);
        glActiveTexture(GL_TEXTURE0);
        Attach(fD[1 - fDCur]);
        DrawQuad(0);
    }
    EndImage(image, bound);
    AdjDSides();
    fDCur = 1 - fDCur;
    SignDPass();
    EndPasses();
}

void CLSM_GL::SetLevelSet(const float* values) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW || !values) return;
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, fD[fDCur]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(fW), GLsizei(fH), GL_RED, GL_FLOAT, values);
    glBindTexture(GL_TEXTURE_2D, 0);
    SignD();
}

void CLSM_GL::CorrectVolume(bool record) {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    if (!record && !fTargetRecorded) return;
    const size_t count = size_t(fW) * fH;
    if (fSBuffer.size() < count) {
        fSBuffer.resize(count);
        fWBuffer.resize(count);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, fSrv);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_FLOAT, fSBuffer.data());
    glBindTexture(GL_TEXTURE_2D, fWt);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_FLOAT, fWBuffer.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    double area = 0, volume = 0;
    for (uint32_t y = 1; y + 1 < fH; ++y)
        for (uint32_t x = 1; x + 1 < fW; ++x) {
            const size_t i = size_t(y) * fW + x;
            const double w = fWBuffer[i], sign = fSBuffer[i];
            area += w * (1 - std::fabs(sign));
            volume += w * (sign > 0 ? sign : 0);
        }
    fLastArea = float(area);
    fLastVolume = float(volume);
    if (record) {
        fTargetVolume = float(volume);
        fTargetRecorded = true;
        return;
    }
    if (area < 0.5) return;
    BeginPasses();
    fFS_Vc.Use();
    SetTxl(fFS_Vc);
    glUniform1f(fFS_Vc.Uniform("gCor"), float((fTargetVolume - volume) / (2 * area)));
    Attach(fD[1 - fDCur]);
    BindUnit(0, fD[fDCur]);
    BindUnit(1, fWt);
    DrawQuad(1);
    fDCur = 1 - fDCur;
    SignDPass();
    EndPasses();
}

}  // namespace cfd

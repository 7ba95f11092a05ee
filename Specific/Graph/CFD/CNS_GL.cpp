#include "Specific/Graph/CFD/CNS_GL.h"

#include <epoxy/gl.h>

namespace cfd {
namespace {

const char* const gFS_R = R"(#version 120
uniform vec2 gTxl;
uniform sampler2D gWt;
#define AT(s, dx, dy) texture2D(s, (gl_FragCoord.xy + vec2(dx, dy)) * gTxl)
void main() {
    float w = AT(gWt, 0.0, 0.0).x;
    gl_FragColor = vec4(min(w, AT(gWt, -1.0, 0.0).x), min(w, AT(gWt, 0.0, -1.0).x), 0.0, 0.0);
})";

const char* const gFS_V = R"(#version 120
uniform vec2 gTxl;
uniform vec2 gSiz;
uniform vec2 gFg;
uniform vec2 gFo;
uniform vec2 gFm;
uniform float g_v;
uniform float g_dt;
uniform sampler2D gF;
uniform sampler2D gU;
uniform sampler2D gWt;
#define AT(s, dx, dy) texture2D(s, (gl_FragCoord.xy + vec2(dx, dy)) * gTxl)
vec4 InterpolateU(vec2 p) {
    vec2 q = clamp(p - 0.5, vec2(1.0), gSiz - 1.0001);
    vec2 f = floor(q);
    vec2 t = q - f;
    vec2 c = (f + 0.5) * gTxl;
    vec4 a = mix(texture2D(gU, c), texture2D(gU, c + vec2(gTxl.x, 0.0)), t.x);
    vec4 b = mix(texture2D(gU, c + vec2(0.0, gTxl.y)), texture2D(gU, c + gTxl), t.x);
    return mix(a, b, t.y);
}
void main() {
    vec4 u = AT(gU, 0.0, 0.0);
    vec4 ul = AT(gU, -1.0, 0.0), ur = AT(gU, 1.0, 0.0), ub = AT(gU, 0.0, -1.0), ut = AT(gU, 0.0, 1.0);
    float vl = (ul.y + u.y + AT(gU, -1.0, 1.0).y + ut.y) * 0.25;
    float uB = (ub.x + AT(gU, 1.0, -1.0).x + u.x + ur.x) * 0.25;
    vec2 pu = gl_FragCoord.xy - vec2(u.x, vl) * g_dt;
    vec2 pv = gl_FragCoord.xy - vec2(uB, u.y) * g_dt;
    vec2 uc = vec2(InterpolateU(pu).x, InterpolateU(pv).y);
    vec2 uv = (ul + ur + ub + ut - 4.0 * u).xy * g_v;
    vec2 f = (AT(gF, 0.0, 0.0).xy - gFo) * gFm;
    vec2 us = uc + (uv + f + gFg) * g_dt;
    float w = AT(gWt, 0.0, 0.0).x;
    us *= min(vec2(w), vec2(AT(gWt, -1.0, 0.0).x, AT(gWt, 0.0, -1.0).x));
    gl_FragColor = vec4(us, 0.0, 0.0);
})";

}  // namespace

bool CNS_GL::BuildPrograms() {
    if (!CCFD_GL::BuildPrograms()) return false;
    if (!fFS_R.Build(gVS_gp, gFS_R) || !fFS_V.Build(gVS_gp, gFS_V)) return false;
    fFS_R.Use();
    fFS_R.SetSampler("gWt", 0);
    fFS_V.Use();
    fFS_V.SetSampler("gF", 0);
    fFS_V.SetSampler("gU", 1);
    fFS_V.SetSampler("gWt", 2);
    glUseProgram(0);
    return true;
}

void CNS_GL::DeletePrograms() {
    fFS_R.Delete();
    fFS_V.Delete();
    CCFD_GL::DeletePrograms();
}

void CNS_GL::Step() {
    CCFDContext::Scope s(fContext);
    if (!s.Ok() || !fW) return;
    BeginPasses();

    fFS_R.Use();
    SetTxl(fFS_R);
    Attach(fRr);
    BindUnit(0, fWt);
    DrawQuad(2);

    AdjSideRr();

    fFS_V.Use();
    SetTxl(fFS_V);
    glUniform2f(fFS_V.Uniform("gSiz"), float(fW), float(fH));
    glUniform2f(fFS_V.Uniform("gFg"), fFg[0], fFg[1]);
    glUniform2f(fFS_V.Uniform("gFo"), fFo[0], fFo[1]);
    glUniform2f(fFS_V.Uniform("gFm"), fFm[0], fFm[1]);
    glUniform1f(fFS_V.Uniform("g_v"), fViscosity);
    glUniform1f(fFS_V.Uniform("g_dt"), fDt);
    Attach(fU_);
    BindUnit(0, fF);
    BindUnit(1, fU);
    BindUnit(2, fWt);
    DrawQuad(0);

    Project();
    EndPasses();
}

}  // namespace cfd

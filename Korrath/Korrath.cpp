#include "Korrath/Korrath.h"

#include <epoxy/gl.h>

#include <cmath>

#include "Korrath/PolygonTriangles.h"

namespace {

// Vertices of the rim: the centre, then 13 points, the last closing the rim.
constexpr int kCircleSteps = 12;

bool Finite(const float* v, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

void DrawVertices(GLenum mode, const std::vector<float>& xy) {
    if (xy.empty()) return;
    glVertexPointer(2, GL_FLOAT, 0, xy.data());
    glDrawArrays(mode, 0, static_cast<GLsizei>(xy.size() / 2));
}

}  // namespace

CKorrath::CKorrath() : fPool(GL_TEXTURE_RECTANGLE) {}
CKorrath::~CKorrath() = default;

void CKorrath::Reset() {
    fTexture.Prepare();
    if (fWidth == 0 || fHeight == 0) return;
    fTexture = fPool.Acquire(fWidth, fHeight);
    if (!fTexture) return;
    if (!fFramebuffer.Attach(GL_TEXTURE_RECTANGLE, fTexture.Get()->Name())) {
        fTexture.Prepare();
        return;
    }
    glViewport(0, 0, static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight));
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    fFramebuffer.Detach();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(1, static_cast<float>(fWidth) / static_cast<float>(fHeight), 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CKorrath::Draw(const CShapeCmds& cmds) {
    if (!fTexture || !fFramebuffer.Attach(GL_TEXTURE_RECTANGLE, fTexture.Get()->Name())) return;
    glViewport(0, 0, static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    std::vector<float> xy;
    for (const CShapeCmds::SCmd& cmd : cmds.Cmds()) {
        xy.clear();
        glColor3f(cmd.grey, cmd.grey, cmd.grey);
        if (cmd.type == CShapeCmds::kRect) {
            if (!Finite(cmd.v, 4)) continue;
            const float l = cmd.v[0], r = cmd.v[1], b = cmd.v[2], t = cmd.v[3];
            xy = {l, b, l, t, r, b, r, t};
            DrawVertices(GL_TRIANGLE_STRIP, xy);
        } else if (cmd.type == CShapeCmds::kCircle) {
            if (!Finite(cmd.v, 3)) continue;
            const float x = cmd.v[0], y = cmd.v[1], r = cmd.v[2];
            xy.push_back(x);
            xy.push_back(y);
            for (int j = 0; j <= kCircleSteps; ++j) {
                double theta = (j + 0.5) * 2 * M_PI / kCircleSteps;
                xy.push_back(x + r * static_cast<float>(std::cos(theta)));
                xy.push_back(y + r * static_cast<float>(std::sin(theta)));
            }
            DrawVertices(GL_TRIANGLE_FAN, xy);
        } else if (cmd.type == CShapeCmds::kPolygon) {
            bool finite = true;
            for (const CShapeCmds::SVtx& p : cmd.vtx)
                finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
            if (!finite) continue;
            for (uint32_t i : PolygonTriangles(cmd.vtx.size())) {
                xy.push_back(cmd.vtx[i].x);
                xy.push_back(cmd.vtx[i].y);
            }
            DrawVertices(GL_TRIANGLES, xy);
        }
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    fFramebuffer.Detach();
    glFlush();
}

void CKorrath::ReleaseGL() {
    fFramebuffer.Delete();
    fTexture.Prepare();
    fPool.Purge();
}

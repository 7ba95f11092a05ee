// The node-transform chain (translate, rotate, scale, multiply) and the vertex transform, beside Mesa's
// matrix stack doing the same on the current matrix (software GL, read back once per chain).
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

const float kNode[16] = {1, 0.5f, 0, 0, 0, 2, 0.25f, 0, 0.125f, 0, 1, 0, 7, -3, 2, 1};

void BM_UMat4NodeChain(benchmark::State& state) {
    float m[16];
    for (auto _ : state) {
        UMat4::Identity(m);
        UMat4::Translate(m, 1, 2, 3);
        UMat4::Rotate(m, 37, 1, 2, 3);
        UMat4::Scale(m, 2, 2, 0.5f);
        UMat4::Multiply(m, kNode);
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_UMat4NodeChain);

void BM_MesaNodeChain(benchmark::State& state) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    COpenGLContext_Cca& common = *COpenGLCommonCtx::Use();
    COpenGLScope_Cca scope(common);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    float m[16];
    for (auto _ : state) {
        glLoadIdentity();
        glTranslatef(1, 2, 3);
        glRotatef(37, 1, 2, 3);
        glScalef(2, 2, 0.5f);
        glMultMatrixf(kNode);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        benchmark::DoNotOptimize(m);
    }
    glPopMatrix();
}
BENCHMARK(BM_MesaNodeChain);

// A mesh's worth of points through one matrix: the bounds and skinning pass.
void BM_UMat4TransformPoints(benchmark::State& state) {
    float v[4] = {0.5f, -1, 2, 1};
    float sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            v[0] = static_cast<float>(i);
            sum += UMat4::Transform3(v, kNode)[2];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_UMat4TransformPoints);

}  // namespace

#include "Orbilume/CSources/Engine/COutAdjust.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/QuadCornerWeights.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Large enough for any useful setting, small enough that the matrix stays finite.
constexpr float kLimit = 10000;
constexpr float kDefaultCorners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// Column-major 4x4 matrices, multiplied as GL composes them (m = m * b).
struct Mat4 {
    double m[16];
    static Mat4 Identity() {
        Mat4 r{};
        r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1;
        return r;
    }
    void Mul(const Mat4& b) {
        double r[16];
        for (int c = 0; c < 4; ++c)
            for (int row = 0; row < 4; ++row) {
                double s = 0;
                for (int k = 0; k < 4; ++k) s += m[k * 4 + row] * b.m[c * 4 + k];
                r[c * 4 + row] = s;
            }
        std::memcpy(m, r, sizeof r);
    }
    void Scale(double x, double y, double z) {
        Mat4 s = Identity();
        s.m[0] = x;
        s.m[5] = y;
        s.m[10] = z;
        Mul(s);
    }
    void Translate(double x, double y, double z) {
        Mat4 t = Identity();
        t.m[12] = x;
        t.m[13] = y;
        t.m[14] = z;
        Mul(t);
    }
    // About a unit axis, in degrees.
    void Rotate(double degrees, double x, double y, double z) {
        const double a = Radians(degrees), c = std::cos(a), s = std::sin(a), k = 1 - c;
        Mat4 r = Identity();
        r.m[0] = x * x * k + c;
        r.m[1] = y * x * k + z * s;
        r.m[2] = x * z * k - y * s;
        r.m[4] = x * y * k - z * s;
        r.m[5] = y * y * k + c;
        r.m[6] = y * z * k + x * s;
        r.m[8] = x * z * k + y * s;
        r.m[9] = y * z * k - x * s;
        r.m[10] = z * z * k + c;
        Mul(r);
    }
    void Frustum(double l, double r, double b, double t, double n, double f) {
        Mat4 p{};
        p.m[0] = 2 * n / (r - l);
        p.m[5] = 2 * n / (t - b);
        p.m[8] = (r + l) / (r - l);
        p.m[9] = (t + b) / (t - b);
        p.m[10] = -(f + n) / (f - n);
        p.m[11] = -1;
        p.m[14] = -2 * f * n / (f - n);
        Mul(p);
    }
};

float Limited(double value) {
    return static_cast<float>(std::clamp(value, -static_cast<double>(kLimit), static_cast<double>(kLimit)));
}

}  // namespace

COutAdjust::COutAdjust() {
    std::memcpy(fCorners, kDefaultCorners, sizeof fCorners);
}

COutAdjust::~COutAdjust() = default;

void COutAdjust::SetKey(const LString& key, const LString& text) {
    const float value = Limited(CUnitParam::ReadNumber(text));
    struct Field {
        const char* key;
        float COutAdjust::*field;
    };
    static const Field kFields[] = {
        {"brt", &COutAdjust::brightness}, {"sizx", &COutAdjust::sizeX}, {"sizy", &COutAdjust::sizeY},
        {"posx", &COutAdjust::posX},      {"posy", &COutAdjust::posY},  {"rotz", &COutAdjust::rotZ},
        {"rotx", &COutAdjust::rotX},      {"roty", &COutAdjust::rotY},  {"divr", &COutAdjust::perspective},
    };
    for (const Field& f : kFields) {
        if (key == f.key) {
            this->*f.field = value;
            return;
        }
    }
    if (key == "gmode") {
        SetCornerMode(value > 0);
        return;
    }
    static const char* const kCornerKeys[4][2] = {
        {"gcnrblx", "gcnrbly"}, {"gcnrbrx", "gcnrbry"}, {"gcnrtlx", "gcnrtly"}, {"gcnrtrx", "gcnrtry"}};
    for (uint32_t c = 0; c < 4; ++c)
        for (uint32_t a = 0; a < 2; ++a)
            if (key == kCornerKeys[c][a]) SetCorner(c, a, value);
}

void COutAdjust::SetCornerMode(bool on) {
    if (on != fCornerMode && on) fPrepared = false;
    fCornerMode = on;
}

void COutAdjust::SetCorner(uint32_t corner, uint32_t axis, float value) {
    if (corner > 3 || axis > 1) return;
    value = Limited(value);
    if (fCorners[corner][axis] == value) return;
    fCorners[corner][axis] = value;
    fPrepared = false;
}

bool COutAdjust::IsActive() const {
    if (fCornerMode) return std::memcmp(fCorners, kDefaultCorners, sizeof fCorners) != 0;
    return (perspective != 0 && rotY != 0) || rotZ != 0 || rotX != 0 || std::fabs(sizeY) < 1;
}

void COutAdjust::Geometry(bool mixInOwnTarget, float out[4]) const {
    if (mixInOwnTarget || fCornerMode || IsActive()) {
        out[0] = out[1] = 1;
        out[2] = out[3] = 0;
        return;
    }
    out[0] = static_cast<float>(std::cos(Radians(rotY)) * sizeX);
    out[1] = static_cast<float>(std::cos(Radians(rotX)) * sizeY);
    out[2] = posX;
    out[3] = posY;
}

void COutAdjust::Matrix(float aspect, double out[16]) const {
    // Viewports are at most a few thousand pixels on a side.
    const double a =
        std::isfinite(aspect) && aspect > 0 ? std::clamp(static_cast<double>(aspect), 1e-4, 1e4) : 1;
    Mat4 m = Mat4::Identity();
    m.Scale(1, a, 1);
    if (perspective > 0) {
        // Beyond 89 degrees the frustum turns inside out.
        const double p = std::min(static_cast<double>(perspective), 89.0);
        const double f = 1 / std::tan(Radians(p));
        m.Frustum(-0.5, 0.5, -0.5, 0.5, f * 0.5, f * 5.0);
        // Seen edge-on (a tilt of 90 degrees) the distance would divide by 0.
        double c = std::cos(Radians(rotX)) * std::cos(Radians(rotY));
        if (std::fabs(c) < 1e-3) c = c < 0 ? -1e-3 : 1e-3;
        m.Translate(0, 0, -f / c);
    } else {
        m.Scale(1, 1, 0);
    }
    m.Rotate(-rotX, 1, 0, 0);
    m.Rotate(rotY, 0, 1, 0);
    m.Rotate(rotZ, 0, 0, 1);
    m.Translate(posX, posY, 0);
    m.Scale(sizeX, sizeY, 1);
    m.Scale(1, 1 / a, 1);
    std::memcpy(out, m.m, sizeof m.m);
}

void COutAdjust::PrepareCorners() {
    if (fPrepared) return;
    fPrepared = true;
    // Strip order: bottom-left, top-left, bottom-right, top-right.
    static const uint32_t kStrip[4] = {kBottomLeft, kTopLeft, kBottomRight, kTopRight};
    for (int i = 0; i < 4; ++i) {
        fVertices[i * 2] = fCorners[kStrip[i]][0] * 2 - 1;
        fVertices[i * 2 + 1] = fCorners[kStrip[i]][1] * 2 - 1;
    }
    SQuadPoint points[4];
    for (int i = 0; i < 4; ++i) points[i] = {fCorners[i][0], fCorners[i][1]};
    float w[4];
    QuadCornerWeights(points, w);
    const float coords[16] = {
        0,
        0,
        0,
        w[kBottomLeft],  // bottom-left
        0,
        w[kTopLeft],
        0,
        w[kTopLeft],  // top-left
        w[kBottomRight],
        0,
        0,
        w[kBottomRight],  // bottom-right
        w[kTopRight],
        w[kTopRight],
        0,
        w[kTopRight]  // top-right
    };
    std::memcpy(fTexCoords, coords, sizeof coords);
}

void COutAdjust::DrawFade(float alpha) const {
    static const float kQuad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, alpha);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, kQuad);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glPopClientAttrib();
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

uint32_t COutAdjust::CopyWindow(int32_t width, int32_t height) {
    if (!fCopy) fCopy = COpenGLTexture::New(*COpenGLCommonCtx::Use(), GL_TEXTURE_2D, nullptr);
    if (!fCopy) return 0;
    glBindTexture(GL_TEXTURE_2D, fCopy->name());
    // The texture is allocated once per size; every frame only copies into it.
    if (width != fCopyWidth || height != fCopyHeight) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        fCopyWidth = width;
        fCopyHeight = height;
    }
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    return fCopy->name();
}

void COutAdjust::Draw(COpenGLContext_Cca& context, uint32_t mixTexture, bool buildMipmaps) {
    COpenGLScope_Cca scope(context);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int32_t w = viewport[2], h = viewport[3];
    const float b = std::isfinite(brightness) ? brightness : 1;
    GLint savedTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedTexture);
    uint32_t texture = mixTexture;
    if (!texture) {
        if (!IsActive()) {
            if (b < 1) DrawFade(1 - std::max(b, 0.0f));
            return;
        }
        if (w <= 0 || h <= 0) return;
        texture = CopyWindow(w, h);
        if (!texture) return;
    }
    const float aspect = w > 0 && h > 0 ? static_cast<float>(w) / static_cast<float>(h) : 1;

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClear(GL_COLOR_BUFFER_BIT);
    glPushMatrix();

    static const float kQuad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    static const float kQuadCoords[8] = {0, 0, 0, 1, 1, 0, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (fCornerMode) {
        PrepareCorners();
        glVertexPointer(2, GL_FLOAT, 0, fVertices);
        glTexCoordPointer(4, GL_FLOAT, 0, fTexCoords);
    } else {
        double m[16];
        Matrix(aspect, m);
        glMultMatrixd(m);
        glVertexPointer(2, GL_FLOAT, 0, kQuad);
        glTexCoordPointer(2, GL_FLOAT, 0, kQuadCoords);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (buildMipmaps) {
        glGenerateMipmap(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glFinish();
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    glColor4f(b, b, b, 1);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedTexture));
}

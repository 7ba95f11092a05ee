#include "Orbilume/CSources/Models/UMat4.h"

#include <cmath>
#include <cstring>

namespace {

// Column c of m times s, added to acc (four lanes at a time).
inline void MulAdd(float* acc, const float* col, float s) {
    for (int r = 0; r < 4; ++r) acc[r] += col[r] * s;
}

}  // namespace

void UMat4::Identity(float* m) {
    std::memset(m, 0, 16 * sizeof(float));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void UMat4::Multiply(float* a, const float* b) {
    float cols[16];
    std::memcpy(cols, a, sizeof(cols));
    for (int j = 0; j < 4; ++j) {
        float acc[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; ++k) MulAdd(acc, cols + k * 4, b[j * 4 + k]);
        std::memcpy(a + j * 4, acc, sizeof(acc));
    }
}

bool UMat4::Invert(const float* src, float* dst) {
    float w[16];
    std::memcpy(w, src, sizeof(w));
    Identity(dst);
    auto at = [](float* m, int r, int c) -> float& { return m[c * 4 + r]; };
    for (int k = 0; k < 4; ++k) {
        int p = k;
        float pivot = 0, pivotAbs = 0;
        for (int r = k; r < 4; ++r) {
            float v = at(w, r, k);
            float a = std::fabs(v);
            bool take = a > pivotAbs ? pivotAbs < 1.0f : a >= 1.0f;
            if (take) {
                pivot = v;
                pivotAbs = a;
                p = r;
            }
        }
        if (pivot == 0.0f) return false;
        if (p != k) {
            for (int c = k; c < 4; ++c) std::swap(at(w, k, c), at(w, p, c));
            for (int c = 0; c < 4; ++c) std::swap(at(dst, k, c), at(dst, p, c));
        }
        if (pivot != 1.0f) {
            float inv = 1.0f / pivot;
            for (int c = k; c < 4; ++c) at(w, k, c) *= inv;
            for (int c = 0; c < 4; ++c) at(dst, k, c) *= inv;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == k) continue;
            float t = at(w, r, k);
            if (t == 0.0f) continue;
            for (int c = k + 1; c < 4; ++c) at(w, r, c) -= t * at(w, k, c);
            for (int c = 0; c < 4; ++c) at(dst, r, c) -= t * at(dst, k, c);
        }
    }
    return true;
}

void UMat4::Translate(float* m, float x, float y, float z) {
    float acc[4];
    std::memcpy(acc, m + 12, sizeof(acc));
    MulAdd(acc, m, x);
    MulAdd(acc, m + 4, y);
    MulAdd(acc, m + 8, z);
    std::memcpy(m + 12, acc, sizeof(acc));
}

void UMat4::Scale(float* m, float x, float y, float z) {
    for (int r = 0; r < 4; ++r) {
        m[r] *= x;
        m[4 + r] *= y;
        m[8 + r] *= z;
    }
}

void UMat4::Rotate(float* m, float angle, float x, float y, float z) {
    if (angle == 0.0f) return;
    float l2 = x * x + y * y + z * z;
    if (!(l2 > 0.0f)) return;
    float l = std::sqrt(l2);
    x /= l;
    y /= l;
    z /= l;
    auto rad = static_cast<float>(static_cast<double>(angle) * 0.017453292519943295);
    float s = std::sin(rad);
    float c = std::cos(rad);
    float k = 1.0f - c;
    float r[16];
    Identity(r);
    r[0] = x * x + (1.0f - x * x) * c;
    r[5] = y * y + (1.0f - y * y) * c;
    r[10] = z * z + (1.0f - z * z) * c;
    r[4] = x * y * k - z * s;  // (0, 1)
    r[1] = x * y * k + z * s;  // (1, 0)
    r[8] = x * z * k + y * s;  // (0, 2)
    r[2] = x * z * k - y * s;  // (2, 0)
    r[9] = y * z * k - x * s;  // (1, 2)
    r[6] = y * z * k + x * s;  // (2, 1)
    Multiply(m, r);
}

UVec3 UVec3::Normalized(const UVec3& v) {
    float l2 = Dot(v, v);
    if (!(l2 > 0.0f)) return v;
    float l = std::sqrt(l2);
    return {v.x / l, v.y / l, v.z / l};
}

void UMat4::LookAt(float* m, float eyeX, float eyeY, float eyeZ, float atX, float atY, float atZ, float upX,
                   float upY, float upZ) {
    UVec3 f = UVec3::Normalized({atX - eyeX, atY - eyeY, atZ - eyeZ});
    UVec3 s = UVec3::Normalized(UVec3::Cross(f, {upX, upY, upZ}));
    UVec3 u = UVec3::Cross(s, f);
    float l[16];
    Identity(l);
    l[0] = s.x, l[4] = s.y, l[8] = s.z;
    l[1] = u.x, l[5] = u.y, l[9] = u.z;
    l[2] = -f.x, l[6] = -f.y, l[10] = -f.z;
    Multiply(m, l);
    Translate(m, -eyeX, -eyeY, -eyeZ);
}

void UMat4::Skew(float* m, float angle, float ax, float ay, float az, float bx, float by, float bz) {
    UVec3 a{ax, ay, az};
    UVec3 e0 = UVec3::Normalized({bx, by, bz});
    float r0 = UVec3::Dot(a, e0);
    UVec3 e1 = UVec3::Normalized({a.x - r0 * e0.x, a.y - r0 * e0.y, a.z - r0 * e0.z});
    float r1 = UVec3::Dot(a, e1);
    auto rad = static_cast<float>(static_cast<double>(angle) * 3.141592653589793 / 180.0);
    float s = std::sin(rad);
    float c = std::cos(rad);
    float den = c * r1 - s * r0;
    if (!(den > 0.0f)) return;
    float d = r1 != 0.0f ? (c * r0 + s * r1) / den - r0 / r1 : 0.0f;
    const float v0[3] = {e0.x, e0.y, e0.z};
    const float v1[3] = {e1.x, e1.y, e1.z};
    float k[16];
    Identity(k);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) k[j * 4 + i] += d * v0[i] * v1[j];
    Multiply(m, k);
}

std::array<float, 4> UMat4::Transform4(const float* v, const float* m) {
    float acc[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c) MulAdd(acc, m + c * 4, v[c]);
    return {acc[0], acc[1], acc[2], acc[3]};
}

std::array<float, 3> UMat4::Transform3(const float* v, const float* m) {
    std::array<float, 4> r = Transform4(v, m);
    return {r[0], r[1], r[2]};
}

std::array<float, 2> UMat4::TransformPoint2(float x, float y, const float* m) {
    const float v[4] = {x, y, 0, 1};
    std::array<float, 4> r = Transform4(v, m);
    return {r[0], r[1]};
}

std::array<float, 2> UMat4::TransformVector2(float x, float y, const float* m) {
    const float v[4] = {x, y, 0, 0};
    std::array<float, 4> r = Transform4(v, m);
    return {r[0], r[1]};
}

void UBox3::SetEmpty(float* box) {
    for (int a = 0; a < 3; ++a) {
        box[a * 2] = kBig;
        box[a * 2 + 1] = -kBig;
    }
}

bool UBox3::IsFilled(const float* box) {
    return box[1] >= box[0] && box[3] >= box[2] && box[5] >= box[4];
}

void UBox3::Merge(float* a, const float* b) {
    for (int i = 0; i < 3; ++i) {
        if (a[i * 2] >= b[i * 2]) a[i * 2] = b[i * 2];
        if (b[i * 2 + 1] >= a[i * 2 + 1]) a[i * 2 + 1] = b[i * 2 + 1];
    }
}

void UBox3::Transform(float* box, const float* m) {
    float out[6];
    SetEmpty(out);
    for (int corner = 0; corner < 8; ++corner) {
        const float v[4] = {box[corner & 1], box[2 + ((corner >> 1) & 1)], box[4 + ((corner >> 2) & 1)],
                            1.0f};
        std::array<float, 3> p = UMat4::Transform3(v, m);
        for (int a = 0; a < 3; ++a) {
            out[a * 2] = std::fmin(out[a * 2], p[a]);
            out[a * 2 + 1] = std::fmax(out[a * 2 + 1], p[a]);
        }
    }
    std::memcpy(box, out, sizeof(out));
}

float UBox3::Radius(const float* box) {
    float e = box[1] - box[0];
    e = std::fmax(e, box[3] - box[2]);
    e = std::fmax(e, box[5] - box[4]);
    return 0.5f * e;
}

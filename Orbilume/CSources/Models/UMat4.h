#pragma once

#include <array>

// 4 x 4 single-precision matrices, column-major as OpenGL keeps them: element [c * 4 + r] is row r of
// column c, column 3 the translation. Operations that multiply on the right change a matrix as the GL
// call of the same kind changes the current matrix. Angles in degrees. No allocation, no lock: any
// thread may call them on matrices it owns.
class UMat4 {
public:
    static void Identity(float* m);
    // a = a * b.
    static void Multiply(float* a, const float* b);
    // Gauss-Jordan in single precision; false when the source is singular (dst then holds a partial
    // result).
    [[nodiscard]] static bool Invert(const float* src, float* dst);
    static void Translate(float* m, float x, float y, float z);
    static void Scale(float* m, float x, float y, float z);
    // An angle of 0 or a zero axis leaves the matrix bit for bit.
    static void Rotate(float* m, float angle, float x, float y, float z);
    // The classic look-at view matrix, times the translation by -eye; a degenerate up leaves s zero.
    static void LookAt(float* m, float eyeX, float eyeY, float eyeZ, float atX, float atY, float atZ,
                       float upX, float upY, float upZ);
    // Skews along the translation axis b by the angle about the rotation axis a.
    static void Skew(float* m, float angle, float ax, float ay, float az, float bx, float by, float bz);

    // M * v with no division by w.
    static std::array<float, 3> Transform3(const float* v4, const float* m);
    static std::array<float, 4> Transform4(const float* v4, const float* m);
    static std::array<float, 2> TransformPoint2(float x, float y, const float* m);
    static std::array<float, 2> TransformVector2(float x, float y, const float* m);
};

struct UVec3 {
    float x = 0, y = 0, z = 0;

    static UVec3 Cross(const UVec3& a, const UVec3& b) {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
    static float Dot(const UVec3& a, const UVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    // Divided by its length when its squared length is above 0; a zero vector stays zero.
    static UVec3 Normalized(const UVec3& v);
};

// Axis-aligned boxes: six floats min x, max x, min y, max y, min z, max z.
class UBox3 {
public:
    static constexpr float kBig = 3.4028235e38f;
    // Minima kBig, maxima -kBig.
    static void SetEmpty(float* box);
    // max >= min on all three axes.
    static bool IsFilled(const float* box);
    // Grows a to contain b.
    static void Merge(float* a, const float* b);
    // The box of the eight transformed corners, written over the box.
    static void Transform(float* box, const float* m);
    // Half the largest extent.
    static float Radius(const float* box);
};

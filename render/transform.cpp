#include "render/transform.h"

#include <cmath>

#include "render/device.h"

Camera camera;
static Matrix sharedWorld;

Matrix& matrixIdentity(Matrix& m) {
    m = Matrix{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

// A rotation in the plane of axes i and j: m[i][j] = sin a, m[j][i] = -sin a.
static void matrixRotation(Matrix& m, float a, int i, int j) {
    matrixIdentity(m);
    const float c = float(std::cos(double(a)));
    const float s = float(std::sin(double(a)));
    m.m[i][i] = c;
    m.m[i][j] = s;
    m.m[j][i] = -s;
    m.m[j][j] = c;
}

void matrixRotationX(Matrix& m, float a) {
    matrixRotation(m, a, 1, 2);
}
void matrixRotationY(Matrix& m, float a) {
    matrixRotation(m, a, 2, 0);
}
void matrixRotationZ(Matrix& m, float a) {
    matrixRotation(m, a, 0, 1);
}

void matrixMultiply(Matrix& r, const Matrix& a, const Matrix& b) {
    r = Matrix{};
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            double sum = 0.0;
            for (int k = 0; k < 4; k++) sum += double(a.m[i][k]) * double(b.m[k][j]);
            r.m[i][j] = float(sum);
        }
    }
}

Matrix& worldMatrix(float tx, float ty, float tz, float ax, float ay, float az) {
    Matrix rx, ry, rz, t;
    matrixRotationX(rx, ax);
    matrixRotationY(ry, ay);
    matrixRotationZ(rz, az);
    matrixMultiply(t, rx, ry);
    matrixMultiply(sharedWorld, t, rz);
    sharedWorld.m[3][0] = tx;
    sharedWorld.m[3][1] = ty;
    sharedWorld.m[3][2] = tz;
    sharedWorld.m[3][3] = 1.0f;
    return sharedWorld;
}

bool perspectiveMatrix(Matrix& m, float fov, float aspect, float nearZ, float farZ) {
    const double half = std::sin(double(fov) / 2.0);
    if (std::fabs(double(farZ) - double(nearZ)) < double(0.01f) || std::fabs(half) < double(0.01f))
        return false;
    const double k = std::cos(double(fov) / 2.0) / half;
    const double q = double(farZ) / (double(farZ) - double(nearZ));
    m = Matrix{};
    m.m[0][0] = float(k * double(aspect));
    m.m[1][1] = float(k);
    m.m[2][2] = float(q);
    m.m[2][3] = 1.0f;
    m.m[3][2] = float(-q * double(nearZ));
    return true;
}

bool transformPoint(Vector3& out, const Vector3& p, const Matrix& m) {
    const double x = p.x, y = p.y, z = p.z;
    const double w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    if (std::fabs(w) < double(0.00001f)) return false;
    out.x = float((x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0]) / w);
    out.y = float((x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1]) / w);
    out.z = float((x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]) / w);
    return true;
}

float dot3(const Vector3& a, const Vector3& b) {
    return float(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z);
}

void setCamera(float x, float y, float z) {
    camera.angleX = camera.angleY = camera.angleZ = 0.0f;
    camera.right = {1.0f, 0.0f, 0.0f};
    camera.up = {0.0f, 1.0f, 0.0f};
    camera.look = {0.0f, 0.0f, 1.0f};
    camera.position = {x, y, z};
}

// The axes come from the three angles (yaw about up, pitch about right, roll
// about look); the game keeps them at 0, which leaves the unit axes.
static void rebuildCameraAxes() {
    Matrix yaw, pitch, roll, t, r;
    matrixRotationY(yaw, camera.angleY);
    matrixRotationX(pitch, camera.angleX);
    matrixRotationZ(roll, camera.angleZ);
    matrixMultiply(t, roll, pitch);
    matrixMultiply(r, t, yaw);
    camera.right = {r.m[0][0], r.m[0][1], r.m[0][2]};
    camera.up = {r.m[1][0], r.m[1][1], r.m[1][2]};
    camera.look = {r.m[2][0], r.m[2][1], r.m[2][2]};
}

void updateView() {
    rebuildCameraAxes();
    Matrix view;
    matrixIdentity(view);
    const Vector3* axes[3] = {&camera.right, &camera.up, &camera.look};
    for (int c = 0; c < 3; c++) {
        view.m[0][c] = axes[c]->x;
        view.m[1][c] = axes[c]->y;
        view.m[2][c] = axes[c]->z;
        view.m[3][c] = -dot3(camera.position, *axes[c]);
    }
    view.m[3][3] = 1.0f;
    setTransform(TransformView, view);
}

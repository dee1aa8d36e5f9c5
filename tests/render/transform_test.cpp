// Matrices, the projection, the camera and the view the device receives.
#include <cmath>

#include <gtest/gtest.h>

#include "render/device.h"
#include "render/transform.h"
#include "tests/render/render_test_util.h"

namespace {

TEST(Transform, WorldMatrixTurnsAboutZThenTranslates) {
    for (float a : {0.0f, 0.7f, 1.5707964f, 3.1415927f, -2.0f}) {
        const Matrix& w = worldMatrix(0.25f, -0.5f, 0.0f, 0.0f, 0.0f, a);
        Vector3 out{};
        ASSERT_TRUE(transformPoint(out, {0.0f, 0.03f, 1.0f}, w));
        EXPECT_NEAR(out.x, 0.25 - 0.03 * std::sin(a), 1e-6) << a;
        EXPECT_NEAR(out.y, -0.5 + 0.03 * std::cos(a), 1e-6) << a;
        EXPECT_FLOAT_EQ(out.z, 1.0f);
        ASSERT_TRUE(transformPoint(out, {0.0f, 1.0f, 0.0f}, worldMatrix(0, 0, 0, 0, 0, a)));
        EXPECT_FLOAT_EQ(out.x, float(-std::sin(double(a))));
        EXPECT_FLOAT_EQ(out.y, float(std::cos(double(a))));
        EXPECT_FLOAT_EQ(out.z, 0.0f);
    }
    // The rotations' signs and the x, y, z order of composition.
    Matrix rx, ry, rz, t, r;
    matrixRotationX(rx, 0.5f);
    EXPECT_FLOAT_EQ(rx.m[1][2], float(std::sin(0.5)));
    EXPECT_FLOAT_EQ(rx.m[2][1], -float(std::sin(0.5)));
    matrixRotationY(ry, 0.5f);
    EXPECT_FLOAT_EQ(ry.m[0][2], -float(std::sin(0.5)));
    EXPECT_FLOAT_EQ(ry.m[2][0], float(std::sin(0.5)));
    matrixRotationZ(rz, 0.5f);
    EXPECT_FLOAT_EQ(rz.m[0][1], float(std::sin(0.5)));
    matrixMultiply(t, rx, ry);
    matrixMultiply(r, t, rz);
    const Matrix& w = worldMatrix(1, 2, 3, 0.5f, 0.5f, 0.5f);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_EQ(w.m[i][j], r.m[i][j]);
    EXPECT_EQ(w.m[3][0], 1.0f);
    EXPECT_EQ(w.m[3][2], 3.0f);
    EXPECT_EQ(w.m[3][3], 1.0f);
    // One shared matrix: the next call overwrites it.
    EXPECT_EQ(&worldMatrix(0, 0, 0, 0, 0, 0), &w);
}

TEST(Transform, PerspectiveAndItsFailures) {
    Matrix m;
    ASSERT_TRUE(perspectiveMatrix(m, 0.9f, 0.75f, 0.01f, 1250.0f));
    EXPECT_NEAR(m.m[0][0], 1.5526, 1e-4);
    EXPECT_NEAR(m.m[1][1], 2.0702, 1e-4);
    EXPECT_NEAR(m.m[2][2], 1.000008, 1e-6);
    EXPECT_NEAR(m.m[3][2], -0.0100001, 1e-7);
    EXPECT_EQ(m.m[2][3], 1.0f);
    EXPECT_EQ(m.m[3][3], 0.0f);
    EXPECT_EQ(m.m[0][1], 0.0f);

    Matrix kept;
    for (auto& row : kept.m)
        for (float& v : row) v = 7.0f;
    EXPECT_FALSE(perspectiveMatrix(kept, 0.9f, 0.75f, 5.0f, 5.0f));
    EXPECT_FALSE(perspectiveMatrix(kept, 0.0f, 0.75f, 0.01f, 1250.0f));
    EXPECT_FALSE(perspectiveMatrix(kept, 0.9f, 0.75f, 1.0f, 1.005f));
    for (auto& row : kept.m)
        for (float v : row) EXPECT_EQ(v, 7.0f);

    // A point at w = 0 cannot be transformed; the output is left alone.
    Vector3 out{9, 9, 9};
    EXPECT_FALSE(transformPoint(out, {1, 1, 0}, m));
    EXPECT_EQ(out.x, 9.0f);
    EXPECT_FLOAT_EQ(dot3({1, 2, 3}, {4, 5, 6}), 32.0f);
}

TEST(Transform, CameraViewOnTheDevice) {
    freshDevice();
    setCamera(0.1f, -0.3f, -0.2f);
    EXPECT_EQ(camera.look.z, 1.0f);
    EXPECT_EQ(camera.angleX, 0.0f);
    // setCamera installs nothing; updateView does.
    EXPECT_EQ(graphics.states.view.m[3][0], 0.0f);
    updateView();
    const Matrix& v = graphics.states.view;
    EXPECT_FLOAT_EQ(v.m[3][0], -0.1f);
    EXPECT_FLOAT_EQ(v.m[3][1], 0.3f);
    EXPECT_FLOAT_EQ(v.m[3][2], 0.2f);
    EXPECT_EQ(v.m[0][0], 1.0f);
    EXPECT_EQ(v.m[1][1], 1.0f);
    EXPECT_EQ(v.m[2][2], 1.0f);
    EXPECT_EQ(v.m[3][3], 1.0f);

    // With the camera at depth -0.2 the pitch is 1.2 away: the screen spans
    // about +-0.77 across and +-0.58 along around the camera.
    setCamera(0.0f, 0.0f, -0.2f);
    updateView();
    setTexture(nullptr);
    setTransform(TransformWorld, worldMatrix(0, 0, 0, 0, 0, 0));
    const WorldVertex band[4] = {{-0.77f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                 {0.77f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                 {0.77f, 0.58f, 1, 0xFFFFFFFF, 0, 0},
                                 {-0.77f, 0.58f, 1, 0xFFFFFFFF, 0, 0}};
    drawWorldFan(band);
    // x = +-0.77 falls on 1.2 and 638.8, y = 0.58 just above row 0, y = 0.5 on 32.98.
    EXPECT_EQ(pixelAt(1, 0), 0u);
    EXPECT_EQ(pixelAt(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(638, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(639, 0), 0u);
    EXPECT_EQ(pixelAt(320, 32), 0xFFFFFFFFu);
    EXPECT_EQ(pixelAt(320, 33), 0u);
    releaseGraphics();
}

} // namespace

#include "render/transform.h"

// Placeholder until the transforms land.
Camera camera;
static Matrix worldShared;
Matrix& matrixIdentity(Matrix& m) { return m = Matrix{}; }
void matrixRotationX(Matrix&, float) {}
void matrixRotationY(Matrix&, float) {}
void matrixRotationZ(Matrix&, float) {}
void matrixMultiply(Matrix&, const Matrix&, const Matrix&) {}
Matrix& worldMatrix(float, float, float, float, float, float) { return worldShared; }
bool perspectiveMatrix(Matrix&, float, float, float, float) { return false; }
bool transformPoint(Vector3&, const Vector3&, const Matrix&) { return false; }
float dot3(const Vector3&, const Vector3&) { return 0; }
void setCamera(float, float, float) {}
void updateView() {}

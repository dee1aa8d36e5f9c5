// Matrices (row vectors, p' = p . M), the projection, the camera and the view.
#pragma once

struct Matrix {
    float m[4][4];
};

struct Vector3 {
    float x, y, z;
};

struct Camera {
    Vector3 position;
    float angleX, angleY, angleZ; // always 0
    Vector3 right, up, look;
};
extern Camera camera;

Matrix& matrixIdentity(Matrix& m);
void matrixRotationX(Matrix& m, float a);
void matrixRotationY(Matrix& m, float a);
void matrixRotationZ(Matrix& m, float a);
void matrixMultiply(Matrix& r, const Matrix& a, const Matrix& b); // r = a . b
// Rotation about x, y, z, then the translation; returns the one shared world matrix.
Matrix& worldMatrix(float tx, float ty, float tz, float ax, float ay, float az);
bool perspectiveMatrix(Matrix& m, float fov, float aspect, float nearZ, float farZ);
bool transformPoint(Vector3& out, const Vector3& p, const Matrix& m);
float dot3(const Vector3& a, const Vector3& b);
void setCamera(float x, float y, float z);
void updateView(); // builds the view matrix and installs it on the device

// Camera and projection matrices in the engine's convention: left-handed, row vectors, clip z in
// [0, 1].
#pragma once
#include "core/vmath.h"

Matrix44 LookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up);
Matrix44 PerspectiveFovLH(float fovY, float aspect, float zn, float zf);
Matrix44 OrthoLH(float w, float h, float zn, float zf);
// Rotation of v by angle radians about the unit axis (right-hand rule).
Vector3 RotateAboutAxis(const Vector3& v, const Vector3& axis, float angle);
Vector3 Cross(const Vector3& a, const Vector3& b);
float Dot(const Vector3& a, const Vector3& b);
// (v, 1) x m without the division by w.
Vector3 TransformPoint(const Vector3& v, const Matrix44& m);
// (v, 0) x m: a direction.
Vector3 TransformNormal(const Vector3& v, const Matrix44& m);

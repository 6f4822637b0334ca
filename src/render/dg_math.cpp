#include "render/dg_math.h"

#include <cmath>

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Matrix44 LookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up) {
  Vector3 z, x;
  Vector3(at.x - eye.x, at.y - eye.y, at.z - eye.z).Normalize(z);
  Cross(up, z).Normalize(x);
  const Vector3 y = Cross(z, x);
  Matrix44 m;
  m.m[0][0] = x.x, m.m[0][1] = y.x, m.m[0][2] = z.x, m.m[0][3] = 0;
  m.m[1][0] = x.y, m.m[1][1] = y.y, m.m[1][2] = z.y, m.m[1][3] = 0;
  m.m[2][0] = x.z, m.m[2][1] = y.z, m.m[2][2] = z.z, m.m[2][3] = 0;
  m.m[3][0] = -Dot(x, eye), m.m[3][1] = -Dot(y, eye), m.m[3][2] = -Dot(z, eye), m.m[3][3] = 1;
  return m;
}

Matrix44 PerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovY / 2.0f), xs = ys / aspect;
  Matrix44 m;
  m.m[0][0] = xs;
  m.m[1][1] = ys;
  m.m[2][2] = zf / (zf - zn);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -zn * zf / (zf - zn);
  m.m[3][3] = 0.0f;
  return m;
}

Matrix44 OrthoLH(float w, float h, float zn, float zf) {
  Matrix44 m;
  m.m[0][0] = 2.0f / w;
  m.m[1][1] = 2.0f / h;
  m.m[2][2] = 1.0f / (zf - zn);
  m.m[3][2] = zn / (zn - zf);
  return m;
}

Vector3 RotateAboutAxis(const Vector3& v, const Vector3& k, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const Vector3 kxv = Cross(k, v);
  const float kd = Dot(k, v) * (1.0f - c);
  return Vector3(v.x * c + kxv.x * s + k.x * kd, v.y * c + kxv.y * s + k.y * kd, v.z * c + kxv.z * s + k.z * kd);
}

Vector3 TransformPoint(const Vector3& v, const Matrix44& m) {
  return Vector3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
                 v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
                 v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]);
}

Vector3 TransformNormal(const Vector3& v, const Matrix44& m) {
  return Vector3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                 v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                 v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]);
}

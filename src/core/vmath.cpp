#include "core/vmath.h"

#include <cmath>
#include <utility>

namespace {

float Clamp255(float v) { return v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v); }

// cos and sin of an angle in degrees, snapped so that right angles give exact 0 and +-1.
void SnappedCosSin(float deg, float& c, float& s) {
  const float rad = deg * kDegToRad;
  c = std::cos(rad);
  s = std::sin(rad);
  if (std::fabs(c) >= 1.0f) s = 0.0f;
  if (std::fabs(s) >= 1.0f) c = 0.0f;
}

// asin of a unit-vector component; rounding may leave it a hair outside -1..1.
float SafeAsin(float v) { return std::asin(v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v)); }

}  // namespace

Color& Color::Set(float nr, float ng, float nb, float na) {
  r = nr;
  g = ng;
  b = nb;
  a = na;
  return *this;
}

bool Color::operator!=(const Color& o) const { return r != o.r || g != o.g || b != o.b || a != o.a; }

void Color::Clamp() {
  r = Clamp255(r);
  g = Clamp255(g);
  b = Clamp255(b);
  a = Clamp255(a);
}

Vector3& Vector3::Set(float nx, float ny, float nz) {
  x = nx;
  y = ny;
  z = nz;
  return *this;
}

void Vector3::Normalize(Vector3& out) const {
  const float len = std::sqrt(x * x + y * y + z * z);
  if (len == 0.0f) {
    out = *this;
    return;
  }
  out.Set(x / len, y / len, z / len);
}

float Vector3::AngleDegXY() const {
  Vector3 n;
  Normalize(n);
  const float deg = SafeAsin(n.x) * kRadToDeg;
  return n.y < 0.0f ? 180.0f - deg : deg;
}

float Vector3::AngleDegYZ() const {
  Vector3 n;
  Normalize(n);
  const float deg = -SafeAsin(n.y) * kRadToDeg;
  return n.z < 0.0f ? 180.0f - deg : deg;
}

Matrix44& Matrix44::Identity() {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) m[r][c] = (r == c) ? 1.0f : 0.0f;
  }
  return *this;
}

void Matrix44::Multiply(const Matrix44& rhs, Matrix44& out) const {
  // Into a temporary: out may be one of the operands.
  Matrix44 result;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      result.m[r][c] = m[r][0] * rhs.m[0][c] + m[r][1] * rhs.m[1][c] + m[r][2] * rhs.m[2][c] + m[r][3] * rhs.m[3][c];
    }
  }
  out = result;
}

void Matrix44::TransformCoord(const Vector3& v, Vector3& out) const {
  float p[4];
  for (int c = 0; c < 4; ++c) p[c] = v.x * m[0][c] + v.y * m[1][c] + v.z * m[2][c] + m[3][c];
  if (p[3] != 0.0f) {
    p[0] /= p[3];
    p[1] /= p[3];
    p[2] /= p[3];
  }
  out.Set(p[0], p[1], p[2]);
}

Matrix44& Matrix44::RotationX(float deg) {
  float c, s;
  SnappedCosSin(deg, c, s);
  Identity();
  m[1][1] = c;
  m[1][2] = s;
  m[2][1] = -s;
  m[2][2] = c;
  return *this;
}

Matrix44& Matrix44::RotationY(float deg) {
  float c, s;
  SnappedCosSin(deg, c, s);
  Identity();
  m[0][0] = c;
  m[0][2] = -s;
  m[2][0] = s;
  m[2][2] = c;
  return *this;
}

Matrix44& Matrix44::RotationZ(float deg) {
  float c, s;
  SnappedCosSin(deg, c, s);
  Identity();
  m[0][0] = c;
  m[0][1] = s;
  m[1][0] = -s;
  m[1][1] = c;
  return *this;
}

Matrix44& Matrix44::Translation(float x, float y, float z) {
  Identity();
  m[3][0] = x;
  m[3][1] = y;
  m[3][2] = z;
  return *this;
}

Matrix44& Matrix44::Scaling(float x, float y, float z) {
  Identity();
  m[0][0] = x;
  m[1][1] = y;
  m[2][2] = z;
  return *this;
}

void Matrix44::GetTranslation(Vector3& out) const { out.Set(m[3][0], m[3][1], m[3][2]); }

void Matrix44::GetScale(Vector3& out) const {
  float len[3];
  for (int r = 0; r < 3; ++r) len[r] = std::sqrt(m[r][0] * m[r][0] + m[r][1] * m[r][1] + m[r][2] * m[r][2]);
  out.Set(len[0], len[1], len[2]);
}

void Matrix44::RemoveTranslationScale(Matrix44& out) const {
  Vector3 t, s;
  GetTranslation(t);
  GetScale(s);
  // A zero-length row has no scale to remove; dividing by it would fill the matrix with inf/NaN.
  const auto inv = [](float v) { return v != 0.0f ? 1.0f / v : 1.0f; };
  Matrix44 step;
  Multiply(MakeTranslationMatrix(-t.x, -t.y, -t.z), step);
  step.Multiply(MakeScalingMatrix(inv(s.x), inv(s.y), inv(s.z)), out);
}

int Matrix44::Inverse(Matrix44& out) const {
  Matrix44 a = *this;
  Matrix44 inv;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    float best = std::fabs(a.m[col][col]);
    for (int r = col + 1; r < 4; ++r) {
      const float v = std::fabs(a.m[r][col]);
      if (v > best) {
        best = v;
        pivot = r;
      }
    }
    if (best == 0.0f) return 0;
    if (pivot != col) {
      for (int c = 0; c < 4; ++c) {
        std::swap(a.m[pivot][c], a.m[col][c]);
        std::swap(inv.m[pivot][c], inv.m[col][c]);
      }
    }
    const float p = a.m[col][col];
    for (int c = 0; c < 4; ++c) {
      a.m[col][c] /= p;
      inv.m[col][c] /= p;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const float f = a.m[r][col];
      if (f == 0.0f) continue;
      for (int c = 0; c < 4; ++c) {
        a.m[r][c] -= f * a.m[col][c];
        inv.m[r][c] -= f * inv.m[col][c];
      }
    }
  }
  out = inv;
  return 1;
}

Matrix44 MakeIdentityMatrix() { return Matrix44(); }
Matrix44 MakeRotationXMatrix(float deg) { return Matrix44().RotationX(deg); }
Matrix44 MakeRotationYMatrix(float deg) { return Matrix44().RotationY(deg); }
Matrix44 MakeTranslationMatrix(float x, float y, float z) { return Matrix44().Translation(x, y, z); }
Matrix44 MakeScalingMatrix(float x, float y, float z) { return Matrix44().Scaling(x, y, z); }

bool FRect::Contains(float px, float py) const { return x <= px && px <= x + width && y <= py && py <= y + height; }

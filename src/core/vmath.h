// Small value types: colour, vector, 4x4 matrix (row vectors: p' = p x M, translation in the
// fourth row) and rectangle. Angles are in degrees.
#pragma once

inline constexpr float kDegToRad = 0.0174532924f;
inline constexpr float kRadToDeg = 57.2957763671875f;

struct Color {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 255.0f;  // each 0..255

  Color() = default;
  Color(float r, float g, float b, float a) : r(r), g(g), b(b), a(a) {}
  Color& Set(float r, float g, float b, float a);
  bool operator!=(const Color& o) const;
  // Each component into 0..255.
  void Clamp();
};

struct Vector3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;

  Vector3() = default;
  Vector3(float x, float y, float z) : x(x), y(y), z(z) {}
  Vector3& Set(float x, float y, float z);
  // The unit vector; a zero vector is copied unchanged.
  void Normalize(Vector3& out) const;
  // asin(x) of the unit vector in degrees; 180 minus that when y < 0.
  float AngleDegXY() const;
  // -asin(y) of the unit vector in degrees; 180 minus that when z < 0.
  float AngleDegYZ() const;
};

struct Matrix44 {
  float m[4][4];  // m[row][column]

  Matrix44() { Identity(); }
  Matrix44& Identity();
  // out = this x rhs; out may be this or rhs.
  void Multiply(const Matrix44& rhs, Matrix44& out) const;
  // out = (v, 1) x this, divided by the resulting w (not divided when w is 0).
  void TransformCoord(const Vector3& v, Vector3& out) const;
  // Rotations snap so that right angles and whole turns give exact 0 and +-1 entries.
  Matrix44& RotationX(float deg);
  Matrix44& RotationY(float deg);
  Matrix44& RotationZ(float deg);
  Matrix44& Translation(float x, float y, float z);
  Matrix44& Scaling(float x, float y, float z);
  // The fourth row's x, y, z.
  void GetTranslation(Vector3& out) const;
  // Lengths of the first three rows.
  void GetScale(Vector3& out) const;
  // out = this x Translation(-t) x Scaling(1/s); a zero-length row counts as scale 1.
  void RemoveTranslationScale(Matrix44& out) const;
  // Gauss-Jordan with partial pivoting. Returns 1, or 0 for a singular matrix (out unchanged).
  int Inverse(Matrix44& out) const;
};

Matrix44 MakeIdentityMatrix();
Matrix44 MakeRotationXMatrix(float deg);
Matrix44 MakeRotationYMatrix(float deg);
Matrix44 MakeTranslationMatrix(float x, float y, float z);
Matrix44 MakeScalingMatrix(float x, float y, float z);

struct FRect {
  float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;

  FRect() = default;
  FRect(float x, float y, float width, float height) : x(x), y(y), width(width), height(height) {}
  // Both edges included.
  bool Contains(float px, float py) const;
};

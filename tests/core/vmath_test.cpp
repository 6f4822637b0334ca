#include "core/vmath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Rows = float[4][4];

void ExpectMatrixExact(const Matrix44& m, const Rows& want, const char* what) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], want[r][c]) << what << " m" << r << c;
}

void ExpectMatrixNear(const Matrix44& m, const Matrix44& want, float tol, const char* what) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], want.m[r][c], tol) << what << " m" << r << c;
}

Matrix44 FromRows(const Rows& rows) {
  Matrix44 m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = rows[r][c];
  return m;
}

TEST(VmathTest, DefaultsAndConstants) {
  const Color c;
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_EQ(c.a, 255.0f);
  EXPECT_EQ(FRect().width, 0.0f);
  EXPECT_EQ(Vector3().z, 0.0f);
  ExpectMatrixExact(Matrix44(), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, "default");
  EXPECT_EQ(kDegToRad, 0.0174532924f);
  EXPECT_EQ(kRadToDeg, 57.2957763671875f);
}

TEST(VmathTest, ColorSetCompareClamp) {
  Color c;
  Color& same = c.Set(300, -4, 12.5f, 256);
  EXPECT_EQ(&same, &c);
  EXPECT_TRUE(c != Color());
  Color d = c;
  EXPECT_FALSE(d != c);
  d.a = 255;
  EXPECT_TRUE(d != c);
  c.Clamp();
  EXPECT_EQ(c.r, 255.0f);
  EXPECT_EQ(c.g, 0.0f);
  EXPECT_EQ(c.b, 12.5f);
  EXPECT_EQ(c.a, 255.0f);
}

// Right angles and whole turns give exact 0 and +-1 entries (c, s of the angle).
TEST(VmathTest, RotationsAtRightAnglesAreExact) {
  struct Case {
    float deg;
    float c, s;
  };
  const Case cases[] = {{0, 1, 0}, {90, 0, 1}, {180, -1, 0}, {270, 0, -1}, {360, 1, 0}, {-90, 0, -1}};
  for (const Case& k : cases) {
    const float c = k.c, s = k.s;
    const Rows x = {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}};
    const Rows y = {{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}};
    const Rows z = {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    ExpectMatrixExact(Matrix44().RotationX(k.deg), x, "X");
    ExpectMatrixExact(MakeRotationXMatrix(k.deg), x, "MakeX");
    ExpectMatrixExact(Matrix44().RotationY(k.deg), y, "Y");
    ExpectMatrixExact(MakeRotationYMatrix(k.deg), y, "MakeY");
    ExpectMatrixExact(Matrix44().RotationZ(k.deg), z, "Z");
  }
  // Other angles are plain cos/sin.
  const Matrix44 r30 = MakeRotationXMatrix(30);
  EXPECT_NEAR(r30.m[1][1], std::sqrt(3.0f) / 2, 1e-6f);
  EXPECT_NEAR(r30.m[1][2], 0.5f, 1e-6f);
}

TEST(VmathTest, RowVectorConvention) {
  Vector3 out;
  MakeTranslationMatrix(10, 20, 30).TransformCoord(Vector3(1, 2, 3), out);
  EXPECT_EQ(out.x, 11.0f);
  EXPECT_EQ(out.y, 22.0f);
  EXPECT_EQ(out.z, 33.0f);
  // Scale, then translate: p x S x T.
  Matrix44 st;
  MakeScalingMatrix(2, 3, 4).Multiply(MakeTranslationMatrix(1, 1, 1), st);
  st.TransformCoord(Vector3(1, 1, 1), out);
  EXPECT_EQ(out.x, 3.0f);
  EXPECT_EQ(out.y, 4.0f);
  EXPECT_EQ(out.z, 5.0f);
  // Z by 90 turns x into y.
  MakeIdentityMatrix().RotationZ(90).TransformCoord(Vector3(1, 0, 0), out);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.y, 1.0f);
  Vector3 t, s;
  st.GetTranslation(t);
  st.GetScale(s);
  EXPECT_EQ(t.x, 1.0f);
  EXPECT_EQ(s.y, 3.0f);
}

TEST(VmathTest, TransformCoordDividesByW) {
  Matrix44 p;  // w = z
  p.m[2][3] = 1;
  p.m[3][3] = 0;
  Vector3 out;
  p.TransformCoord(Vector3(4, 6, 2), out);
  EXPECT_EQ(out.x, 2.0f);
  EXPECT_EQ(out.y, 3.0f);
  EXPECT_EQ(out.z, 1.0f);
  p.TransformCoord(Vector3(4, 6, 0), out);  // w = 0: left undivided instead of inf
  EXPECT_EQ(out.x, 4.0f);
  EXPECT_EQ(out.y, 6.0f);
  EXPECT_EQ(out.z, 0.0f);
}

TEST(VmathTest, MultiplyIntoAnOperand) {
  const Matrix44 a = FromRows({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
  const Matrix44 b = FromRows({{2, 0, 1, 0}, {0, 1, 0, 3}, {1, 0, 0, 1}, {0, 2, 1, 0}});
  // Row 0 of a x b by hand: (1*2+3*1, 2*1+4*2, 1*1+4*1, 2*3+3*1) = (5, 10, 5, 9).
  Matrix44 expected;
  a.Multiply(b, expected);
  const float row0[4] = {5, 10, 5, 9};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(expected.m[0][c], row0[c]);
  Matrix44 lhs = a;
  lhs.Multiply(b, lhs);
  ExpectMatrixNear(lhs, expected, 0, "out = this");
  Matrix44 rhs = b;
  a.Multiply(rhs, rhs);
  ExpectMatrixNear(rhs, expected, 0, "out = rhs");
  Matrix44 sq = a;
  sq.Multiply(sq, sq);
  Matrix44 sqExpected;
  a.Multiply(a, sqExpected);
  ExpectMatrixNear(sq, sqExpected, 0, "out = this = rhs");
}

TEST(VmathTest, InverseOfRegularMatrices) {
  const Matrix44 cases[] = {
      MakeTranslationMatrix(3, -4, 5),
      FromRows({{0, 1, 0, 0}, {2, 0, 0, 0}, {0, 0, 4, 0}, {1, 2, 3, 1}}),  // needs a row swap
      FromRows({{2, 1, 0, 0}, {1, 3, 1, 0}, {0, 1, 4, 1}, {0, 0, 1, 5}}),
  };
  for (const Matrix44& m : cases) {
    Matrix44 inv;
    ASSERT_EQ(m.Inverse(inv), 1);
    Matrix44 product;
    m.Multiply(inv, product);
    ExpectMatrixNear(product, MakeIdentityMatrix(), 1e-5f, "m x inverse");
  }
  Matrix44 t;
  ASSERT_EQ(MakeTranslationMatrix(3, -4, 5).Inverse(t), 1);
  EXPECT_NEAR(t.m[3][0], -3.0f, 1e-6f);
  Matrix44 self = MakeScalingMatrix(2, 4, 8);
  ASSERT_EQ(self.Inverse(self), 1);
  EXPECT_EQ(self.m[1][1], 0.25f);
}

TEST(VmathTest, InverseOfSingularMatricesReturnsZero) {
  const Matrix44 cases[] = {
      FromRows({{1, 2, 3, 4}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}),  // zero row
      FromRows({{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 0, 1, 0}, {0, 0, 0, 1}}),  // dependent rows
      MakeScalingMatrix(1, 0, 1),
  };
  for (const Matrix44& m : cases) {
    Matrix44 out = MakeTranslationMatrix(7, 7, 7);
    EXPECT_EQ(m.Inverse(out), 0);
    EXPECT_EQ(out.m[3][0], 7.0f);  // left as it was
  }
}

TEST(VmathTest, RemoveTranslationScale) {
  // Rotation, scale and translation; removing them leaves the rotation part.
  Matrix44 rs, m;
  MakeScalingMatrix(2, 2, 2).Multiply(MakeRotationXMatrix(90), rs);
  rs.Multiply(MakeTranslationMatrix(5, 6, 7), m);
  Matrix44 out;
  m.RemoveTranslationScale(out);
  Vector3 t, s;
  out.GetScale(s);
  EXPECT_NEAR(s.x, 1.0f, 1e-6f);
  EXPECT_NEAR(s.y, 1.0f, 1e-6f);
  EXPECT_NEAR(s.z, 1.0f, 1e-6f);
  out.GetTranslation(t);
  EXPECT_NEAR(t.x, 0.0f, 1e-6f);
  EXPECT_NEAR(t.y, 0.0f, 1e-6f);
  EXPECT_NEAR(t.z, 0.0f, 1e-6f);

  // A zero scale on one axis: that row has no scale to remove, and nothing becomes inf or NaN.
  Matrix44 flat;
  MakeScalingMatrix(3, 0, 1).Multiply(MakeTranslationMatrix(1, 2, 3), flat);
  flat.RemoveTranslationScale(out);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_TRUE(std::isfinite(out.m[r][c])) << r << c;
  EXPECT_EQ(out.m[0][0], 1.0f);
  EXPECT_EQ(out.m[1][1], 0.0f);
  EXPECT_EQ(out.m[3][1], 0.0f);
}

TEST(VmathTest, NormalizeAndAngles) {
  Vector3 out(9, 9, 9);
  Vector3().Normalize(out);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.y, 0.0f);
  EXPECT_EQ(out.z, 0.0f);
  Vector3(0, 3, 4).Normalize(out);
  EXPECT_NEAR(out.y, 0.6f, 1e-6f);
  EXPECT_NEAR(out.z, 0.8f, 1e-6f);

  struct Case {
    Vector3 v;
    float xy, yz;
  };
  // xy = asin(x) in degrees, 180 - that when y < 0; yz = -asin(y), 180 - that when z < 0.
  const Case cases[] = {
      {{0, 1, 0}, 0, -90},   {{1, 1, 0}, 45, -45},   {{1, 0, 0}, 90, 0},     {{1, -1, 0}, 135, 45},
      {{0, -1, 1}, 180, 45}, {{-1, -1, 0}, 225, 45}, {{-1, 1, 0}, -45, -45}, {{0, 1, -1}, 0, 225},
      {{0, 0, 0}, 0, 0},     {{3, 0, 0}, 90, 0},     {{0, 0, -1}, 0, 180},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(c.v.AngleDegXY(), c.xy, 1e-4f) << c.v.x << "," << c.v.y << "," << c.v.z;
    EXPECT_NEAR(c.v.AngleDegYZ(), c.yz, 1e-4f) << c.v.x << "," << c.v.y << "," << c.v.z;
  }
}

TEST(VmathTest, FRectContainsIncludesAllEdges) {
  const FRect r(10, 20, 30, 40);
  struct Case {
    float x, y;
    bool in;
  };
  const Case cases[] = {{10, 20, true},    {40, 60, true},     {10, 60, true},     {40, 20, true},
                        {25, 20, true},    {10, 40, true},     {40, 40, true},     {25, 60, true},
                        {9.9f, 30, false}, {40.1f, 30, false}, {25, 19.9f, false}, {25, 60.1f, false}};
  for (const Case& c : cases) EXPECT_EQ(r.Contains(c.x, c.y), c.in) << c.x << "," << c.y;
  EXPECT_TRUE(FRect().Contains(0, 0));
}

}  // namespace
